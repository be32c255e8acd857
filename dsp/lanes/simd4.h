// Four lanes for the four delay lines: SSE/AVX on x86-64, NEON on 64-bit ARM;
// floats, 32-bit integers and, for the steps done in double precision, four
// doubles. Each operation is one IEEE operation per lane with the scalar
// code's rounding (no contraction: the build uses -ffp-contract=off). Where
// neither instruction set is available DSP_HAVE_V4 is 0.
#pragma once

#include <cstdint>

#include "dsp/lane_scalar.h"

#if defined(__AVX__)
#include <immintrin.h>
#define DSP_HAVE_V4 1
typedef __m128 V4;    // floats
typedef __m128i V4i;  // 32-bit integers
typedef __m256d V4d;  // doubles

inline V4 v4_load(const float* p) { return _mm_loadu_ps(p); }
inline void v4_store(float* p, V4 v) { _mm_storeu_ps(p, v); }
inline V4i v4i_load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void v4i_store(int32_t* p, V4i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline V4 v4_set1(float x) { return _mm_set1_ps(x); }
inline V4i v4i_set1(int32_t x) { return _mm_set1_epi32(x); }
inline V4 v4_add(V4 a, V4 b) { return _mm_add_ps(a, b); }
inline V4 v4_sub(V4 a, V4 b) { return _mm_sub_ps(a, b); }
inline V4 v4_mul(V4 a, V4 b) { return _mm_mul_ps(a, b); }
inline V4 v4_floor(V4 a) { return _mm_floor_ps(a); }
// Masks: all ones where true.
inline V4 v4_ge(V4 a, V4 b) { return _mm_cmpge_ps(a, b); }
inline V4 v4_lt(V4 a, V4 b) { return _mm_cmplt_ps(a, b); }
inline V4 v4_gt(V4 a, V4 b) { return _mm_cmpgt_ps(a, b); }
inline V4 v4_and(V4 a, V4 b) { return _mm_and_ps(a, b); }
inline V4 v4_or(V4 a, V4 b) { return _mm_or_ps(a, b); }
inline V4 v4_andnot(V4 a, V4 b) { return _mm_andnot_ps(a, b); }  // ~a & b
// if_true where the mask is set, else if_false.
inline V4 v4_select(V4 mask, V4 if_true, V4 if_false) { return _mm_blendv_ps(if_false, if_true, mask); }
inline bool v4_any(V4 mask) { return _mm_movemask_ps(mask) != 0; }
inline V4 v4_true() { return _mm_castsi128_ps(_mm_set1_epi32(-1)); }
inline V4 v4_from_bits(const uint32_t* p)
{
    return _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
inline void v4_store_bits(uint32_t* p, V4 mask)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_castps_si128(mask));
}
inline V4i v4i_add(V4i a, V4i b) { return _mm_add_epi32(a, b); }
inline V4i v4i_sub(V4i a, V4i b) { return _mm_sub_epi32(a, b); }
inline V4 v4i_eq(V4i a, V4i b) { return _mm_castsi128_ps(_mm_cmpeq_epi32(a, b)); }
inline V4 v4i_lt(V4i a, V4i b) { return _mm_castsi128_ps(_mm_cmplt_epi32(a, b)); }
inline V4i v4i_select(V4 mask, V4i if_true, V4i if_false)
{
    return _mm_castps_si128(_mm_blendv_ps(_mm_castsi128_ps(if_false), _mm_castsi128_ps(if_true), mask));
}
// Truncation toward zero; the caller keeps values within the int32 range.
inline V4i v4_truncate(V4 a) { return _mm_cvttps_epi32(a); }
inline V4 v4i_to_float(V4i a) { return _mm_cvtepi32_ps(a); }
inline V4d v4_to_double(V4 a) { return _mm256_cvtps_pd(a); }
inline V4 v4d_to_float(V4d a) { return _mm256_cvtpd_ps(a); }
inline V4d v4d_set1(double x) { return _mm256_set1_pd(x); }
template <int K>
inline float v4_lane(V4 v) { return _mm_cvtss_f32(_mm_permute_ps(v, K)); }
template <int K>
inline int32_t v4i_lane(V4i v) { return _mm_extract_epi32(v, K); }
// One float from each of four addresses.
inline V4 v4_gather(const float* p0, const float* p1, const float* p2, const float* p3)
{
    return _mm_setr_ps(*p0, *p1, *p2, *p3);
}
// Two adjacent floats from each of four addresses: first[k] = pk[0],
// second[k] = pk[1].
inline void v4_gather_pairs(const float* p0, const float* p1, const float* p2, const float* p3,
                            V4* first, V4* second)
{
    const __m128 l01 = _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p0))),
                                    reinterpret_cast<const __m64*>(p1));
    const __m128 l23 = _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p2))),
                                    reinterpret_cast<const __m64*>(p3));
    *first = _mm_shuffle_ps(l01, l23, _MM_SHUFFLE(2, 0, 2, 0));
    *second = _mm_shuffle_ps(l01, l23, _MM_SHUFFLE(3, 1, 3, 1));
}
// {a0, b0, a2, b2}.
inline V4 v4_trn1(V4 a, V4 b) { return _mm_blend_ps(a, _mm_moveldup_ps(b), 0xA); }
// (v0 + v1) + (v2 + v3).
inline float v4_pair_sum(V4 v)
{
    const __m128 pairs = _mm_add_ps(v, _mm_permute_ps(v, 0xB1));  // v0+v1, v1+v0, v2+v3, v3+v2
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_movehl_ps(pairs, pairs)));
}
inline V4d v4d_add(V4d a, V4d b) { return _mm256_add_pd(a, b); }
inline V4d v4d_sub(V4d a, V4d b) { return _mm256_sub_pd(a, b); }
inline V4d v4d_mul(V4d a, V4d b) { return _mm256_mul_pd(a, b); }

#elif defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#define DSP_HAVE_V4 1
typedef float32x4_t V4;
typedef int32x4_t V4i;
typedef struct {
    float64x2_t lo, hi;
} V4d;

inline V4 v4_load(const float* p) { return vld1q_f32(p); }
inline void v4_store(float* p, V4 v) { vst1q_f32(p, v); }
inline V4i v4i_load(const int32_t* p) { return vld1q_s32(p); }
inline void v4i_store(int32_t* p, V4i v) { vst1q_s32(p, v); }
inline V4 v4_set1(float x) { return vdupq_n_f32(x); }
inline V4i v4i_set1(int32_t x) { return vdupq_n_s32(x); }
inline V4 v4_add(V4 a, V4 b) { return vaddq_f32(a, b); }
inline V4 v4_sub(V4 a, V4 b) { return vsubq_f32(a, b); }
inline V4 v4_mul(V4 a, V4 b) { return vmulq_f32(a, b); }
inline V4 v4_floor(V4 a) { return vrndmq_f32(a); }
inline V4 v4_mask(uint32x4_t m) { return vreinterpretq_f32_u32(m); }
inline uint32x4_t v4_bits(V4 a) { return vreinterpretq_u32_f32(a); }
inline V4 v4_ge(V4 a, V4 b) { return v4_mask(vcgeq_f32(a, b)); }
inline V4 v4_lt(V4 a, V4 b) { return v4_mask(vcltq_f32(a, b)); }
inline V4 v4_gt(V4 a, V4 b) { return v4_mask(vcgtq_f32(a, b)); }
inline V4 v4_and(V4 a, V4 b) { return v4_mask(vandq_u32(v4_bits(a), v4_bits(b))); }
inline V4 v4_or(V4 a, V4 b) { return v4_mask(vorrq_u32(v4_bits(a), v4_bits(b))); }
inline V4 v4_andnot(V4 a, V4 b) { return v4_mask(vbicq_u32(v4_bits(b), v4_bits(a))); }
inline V4 v4_select(V4 mask, V4 if_true, V4 if_false) { return vbslq_f32(v4_bits(mask), if_true, if_false); }
inline bool v4_any(V4 mask) { return vmaxvq_u32(v4_bits(mask)) != 0; }
inline V4 v4_true() { return v4_mask(vdupq_n_u32(0xFFFFFFFFu)); }
inline V4 v4_from_bits(const uint32_t* p) { return v4_mask(vld1q_u32(p)); }
inline void v4_store_bits(uint32_t* p, V4 mask) { vst1q_u32(p, v4_bits(mask)); }
inline V4i v4i_add(V4i a, V4i b) { return vaddq_s32(a, b); }
inline V4i v4i_sub(V4i a, V4i b) { return vsubq_s32(a, b); }
inline V4 v4i_eq(V4i a, V4i b) { return v4_mask(vceqq_s32(a, b)); }
inline V4 v4i_lt(V4i a, V4i b) { return v4_mask(vcltq_s32(a, b)); }
inline V4i v4i_select(V4 mask, V4i if_true, V4i if_false) { return vbslq_s32(v4_bits(mask), if_true, if_false); }
inline V4i v4_truncate(V4 a) { return vcvtq_s32_f32(a); }
inline V4 v4i_to_float(V4i a) { return vcvtq_f32_s32(a); }
inline V4d v4_to_double(V4 a) { return V4d{vcvt_f64_f32(vget_low_f32(a)), vcvt_high_f64_f32(a)}; }
inline V4 v4d_to_float(V4d a) { return vcvt_high_f32_f64(vcvt_f32_f64(a.lo), a.hi); }
inline V4d v4d_set1(double x) { return V4d{vdupq_n_f64(x), vdupq_n_f64(x)}; }
template <int K>
inline float v4_lane(V4 v) { return vgetq_lane_f32(v, K); }
template <int K>
inline int32_t v4i_lane(V4i v) { return vgetq_lane_s32(v, K); }
inline V4 v4_gather(const float* p0, const float* p1, const float* p2, const float* p3)
{
    V4 v = vld1q_dup_f32(p0);
    v = vld1q_lane_f32(p1, v, 1);
    v = vld1q_lane_f32(p2, v, 2);
    return vld1q_lane_f32(p3, v, 3);
}
inline void v4_gather_pairs(const float* p0, const float* p1, const float* p2, const float* p3,
                            V4* first, V4* second)
{
    const float32x4_t l01 = vcombine_f32(vld1_f32(p0), vld1_f32(p1));
    const float32x4_t l23 = vcombine_f32(vld1_f32(p2), vld1_f32(p3));
    *first = vuzp1q_f32(l01, l23);
    *second = vuzp2q_f32(l01, l23);
}
inline V4 v4_trn1(V4 a, V4 b) { return vtrn1q_f32(a, b); }
inline float v4_pair_sum(V4 v)
{
    const float32x4_t pairs = vpaddq_f32(v, v);  // v0+v1, v2+v3, ...
    return vgetq_lane_f32(pairs, 0) + vgetq_lane_f32(pairs, 1);
}
inline V4d v4d_add(V4d a, V4d b) { return V4d{vaddq_f64(a.lo, b.lo), vaddq_f64(a.hi, b.hi)}; }
inline V4d v4d_sub(V4d a, V4d b) { return V4d{vsubq_f64(a.lo, b.lo), vsubq_f64(a.hi, b.hi)}; }
inline V4d v4d_mul(V4d a, V4d b) { return V4d{vmulq_f64(a.lo, b.lo), vmulq_f64(a.hi, b.hi)}; }

#else
#define DSP_HAVE_V4 0
#endif

#if DSP_HAVE_V4
// The generic names in which the shared per-sample steps are written
// (dsp/lane_ops.h has them for plain floats, doubles and integers).
inline V4 lane_add(V4 a, V4 b) { return v4_add(a, b); }
inline V4 lane_sub(V4 a, V4 b) { return v4_sub(a, b); }
inline V4 lane_mul(V4 a, V4 b) { return v4_mul(a, b); }
inline V4 lane_ge(V4 a, V4 b) { return v4_ge(a, b); }
inline V4 lane_lt(V4 a, V4 b) { return v4_lt(a, b); }
inline V4 lane_gt(V4 a, V4 b) { return v4_gt(a, b); }
inline V4 lane_select(V4 mask, V4 if_true, V4 if_false) { return v4_select(mask, if_true, if_false); }
inline V4d lane_add(V4d a, V4d b) { return v4d_add(a, b); }
inline V4d lane_sub(V4d a, V4d b) { return v4d_sub(a, b); }
inline V4d lane_mul(V4d a, V4d b) { return v4d_mul(a, b); }
inline V4d lane_to_double(V4 a) { return v4_to_double(a); }
inline V4 lane_to_float(V4d a) { return v4d_to_float(a); }
inline V4i lane_add(V4i a, V4i b) { return v4i_add(a, b); }
inline V4i lane_sub(V4i a, V4i b) { return v4i_sub(a, b); }
inline V4 lane_negative(V4i a) { return v4i_lt(a, v4i_set1(0)); }
inline V4i lane_select(V4 mask, V4i if_true, V4i if_false) { return v4i_select(mask, if_true, if_false); }
// Truncation toward zero; the lanes keep positions within the int32 range.
inline V4i lane_to_int(V4 a) { return v4_truncate(a); }
// Positions in lanes stay within two circles: no bound is needed before a
// difference.
inline V4i lane_to_int_bounded(V4 a) { return v4_truncate(a); }
inline V4 lane_to_float(V4i a) { return v4i_to_float(a); }
template <>
inline V4 lane_splat<V4>(double x) { return v4_set1(static_cast<float>(x)); }
template <>
inline V4d lane_splat<V4d>(double x) { return v4d_set1(x); }
#endif
