// The operations in which every per-sample step of the signal path is
// written once, here for plain numbers: float samples, double-precision
// intermediates, 64-bit integer positions and bool masks. The vector layers
// (dsp/lanes/simd8.h, dsp/lanes/simd4.h) give the same names for their lane
// types, so that one step function serves the scalar reference and the
// lanes. Each operation is one IEEE operation with its own rounding;
// lane_fma and lane_fms round once.
//
// Everything here and in the step headers has internal linkage (static):
// the translation units of the vector paths are compiled for their own
// instruction set, and an inline function shared between them and the
// baseline code could end up as one copy built for the wrong one.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/convert.h"

// For the few steps that must be inlined into the lanes' span loops, whatever
// the inliner makes of the loops' size: a call there costs more than the step.
#define DSP_ALWAYS_INLINE inline __attribute__((always_inline))

// A lane type's value with x in every lane (x exact in the lane type).
template <typename F>
static inline F lane_splat(double x);
template <>
inline float lane_splat<float>(double x) { return static_cast<float>(x); }
template <>
inline double lane_splat<double>(double x) { return x; }

static inline float lane_add(float a, float b) { return a + b; }
static inline float lane_sub(float a, float b) { return a - b; }
static inline float lane_mul(float a, float b) { return a * b; }
// a * b + c and a * b - c, each with one rounding.
static inline float lane_fma(float a, float b, float c) { return std::fma(a, b, c); }
static inline float lane_fms(float a, float b, float c) { return std::fma(a, b, -c); }
static inline float lane_neg(float a) { return -a; }
static inline float lane_div(float a, float b) { return a / b; }
static inline float lane_abs(float a) { return std::fabs(a); }
static inline float lane_floor(float a) { return std::floor(a); }
static inline bool lane_ge(float a, float b) { return a >= b; }
static inline bool lane_lt(float a, float b) { return a < b; }
static inline bool lane_gt(float a, float b) { return a > b; }
static inline float lane_select(bool mask, float if_true, float if_false) { return mask ? if_true : if_false; }

static inline double lane_add(double a, double b) { return a + b; }
static inline double lane_sub(double a, double b) { return a - b; }
static inline double lane_mul(double a, double b) { return a * b; }
static inline double lane_to_double(float a) { return static_cast<double>(a); }
static inline float lane_to_float(double a) { return static_cast<float>(a); }

static inline int64_t lane_add(int64_t a, int64_t b) { return a + b; }
static inline int64_t lane_sub(int64_t a, int64_t b) { return a - b; }
static inline bool lane_negative(int64_t a) { return a < 0; }
static inline int64_t lane_select(bool mask, int64_t if_true, int64_t if_false) { return mask ? if_true : if_false; }
// Truncation toward zero, saturating (defined for every input).
static inline int64_t lane_to_int(float a) { return to_i64(a); }
// The same, bounded below so that a small position minus it cannot overflow.
static inline int64_t lane_to_int_bounded(float a)
{
    const int64_t i = to_i64(a);
    return i < -(INT64_C(1) << 62) ? -(INT64_C(1) << 62) : i;
}
static inline float lane_to_float(int64_t a) { return static_cast<float>(a); }
