// Eight float lanes for the tank's eight lines: AVX with FMA on x86-64, two
// NEON registers on 64-bit ARM. Only what the tank needs, each operation one
// IEEE operation per lane with the scalar code's rounding: v8_fma is one
// fused multiply-add (one rounding), and no operation here may be contracted
// (the build uses -ffp-contract=off). Where neither instruction set is
// available, DSP_HAVE_V8 is 0 and the scalar code runs alone.
#pragma once

#include <cstdint>

#include "dsp/lane_scalar.h"

#if defined(__AVX__) && defined(__FMA__)
#include <immintrin.h>
#define DSP_HAVE_V8 1
typedef __m256 V8;

inline V8 v8_load(const float* p) { return _mm256_loadu_ps(p); }
inline void v8_store(float* p, V8 v) { _mm256_storeu_ps(p, v); }
inline V8 v8_set1(float x) { return _mm256_set1_ps(x); }
inline V8 v8_add(V8 a, V8 b) { return _mm256_add_ps(a, b); }
inline V8 v8_sub(V8 a, V8 b) { return _mm256_sub_ps(a, b); }
inline V8 v8_mul(V8 a, V8 b) { return _mm256_mul_ps(a, b); }
// a * b + c and a * b - c, each with one rounding.
inline V8 v8_fma(V8 a, V8 b, V8 c) { return _mm256_fmadd_ps(a, b, c); }
inline V8 v8_fms(V8 a, V8 b, V8 c) { return _mm256_fmsub_ps(a, b, c); }
inline V8 v8_xor(V8 a, V8 b) { return _mm256_xor_ps(a, b); }
// if_true where the mask lane is all ones, else if_false.
inline V8 v8_select(V8 mask, V8 if_true, V8 if_false) { return _mm256_blendv_ps(if_false, if_true, mask); }
inline V8 v8_div(V8 a, V8 b) { return _mm256_div_ps(a, b); }
inline V8 v8_abs(V8 a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
// Rounded toward minus infinity (exact).
inline V8 v8_floor(V8 a) { return _mm256_floor_ps(a); }
// All ones where a > b (a < b).
inline V8 v8_gt(V8 a, V8 b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
inline V8 v8_lt(V8 a, V8 b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
// Eight 32-bit oscillator phases as positions (phase - 2^31) * 2^-31 in
// -1 ... 1 (the difference exact, then rounded to float once, then scaled
// exactly), and the phases moved on by their rates (modulo 2^32).
inline V8 v8_phase_positions(const uint32_t* phase)
{
    const __m256 bits = _mm256_loadu_ps(reinterpret_cast<const float*>(phase));
    const __m256i centred = _mm256_castps_si256(_mm256_xor_ps(bits, _mm256_set1_ps(-0.0f)));
    return _mm256_mul_ps(_mm256_cvtepi32_ps(centred), _mm256_set1_ps(4.656612873e-10f));
}
inline void v8_phases_advance(uint32_t* phase, const uint32_t* rate)
{
    for (int half = 0; half < 2; ++half) {
        __m128i* p = reinterpret_cast<__m128i*>(phase + 4 * half);
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rate + 4 * half));
        _mm_storeu_si128(p, _mm_add_epi32(_mm_loadu_si128(p), r));
    }
}

// Eight (first, second) pairs from p[0..15] into two vectors, and back.
inline void v8_load_pairs(const float* p, V8* first, V8* second)
{
    const __m256 a = _mm256_loadu_ps(p), b = _mm256_loadu_ps(p + 8);
    const __m256 lo = _mm256_permute2f128_ps(a, b, 0x20), hi = _mm256_permute2f128_ps(a, b, 0x31);
    *first = _mm256_shuffle_ps(lo, hi, 0x88);
    *second = _mm256_shuffle_ps(lo, hi, 0xDD);
}
inline void v8_store_pairs(float* p, V8 first, V8 second)
{
    const __m256 lo = _mm256_unpacklo_ps(first, second), hi = _mm256_unpackhi_ps(first, second);
    _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
    _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
}

// Rows r[0..7] become columns.
inline void v8_transpose(V8 r[8])
{
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, 0x44), s1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 s2 = _mm256_shuffle_ps(t1, t3, 0x44), s3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 s4 = _mm256_shuffle_ps(t4, t6, 0x44), s5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 s6 = _mm256_shuffle_ps(t5, t7, 0x44), s7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(s0, s4, 0x20);
    r[1] = _mm256_permute2f128_ps(s1, s5, 0x20);
    r[2] = _mm256_permute2f128_ps(s2, s6, 0x20);
    r[3] = _mm256_permute2f128_ps(s3, s7, 0x20);
    r[4] = _mm256_permute2f128_ps(s0, s4, 0x31);
    r[5] = _mm256_permute2f128_ps(s1, s5, 0x31);
    r[6] = _mm256_permute2f128_ps(s2, s6, 0x31);
    r[7] = _mm256_permute2f128_ps(s3, s7, 0x31);
}

#elif defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#define DSP_HAVE_V8 1
typedef struct {
    float32x4_t lo, hi;
} V8;

inline V8 v8_load(const float* p) { return V8{vld1q_f32(p), vld1q_f32(p + 4)}; }
inline void v8_store(float* p, V8 v)
{
    vst1q_f32(p, v.lo);
    vst1q_f32(p + 4, v.hi);
}
inline V8 v8_set1(float x) { return V8{vdupq_n_f32(x), vdupq_n_f32(x)}; }
inline V8 v8_add(V8 a, V8 b) { return V8{vaddq_f32(a.lo, b.lo), vaddq_f32(a.hi, b.hi)}; }
inline V8 v8_sub(V8 a, V8 b) { return V8{vsubq_f32(a.lo, b.lo), vsubq_f32(a.hi, b.hi)}; }
inline V8 v8_mul(V8 a, V8 b) { return V8{vmulq_f32(a.lo, b.lo), vmulq_f32(a.hi, b.hi)}; }
// a * b + c with one rounding (FMLA).
inline V8 v8_fma(V8 a, V8 b, V8 c)
{
    return V8{vfmaq_f32(c.lo, a.lo, b.lo), vfmaq_f32(c.hi, a.hi, b.hi)};
}
// a * b - c with one rounding, as a * b + (-c): negating c is exact, and an
// exact zero comes out +0 as from the scalar std::fma(a, b, -c) (negating
// c - a * b instead would give -0).
inline V8 v8_fms(V8 a, V8 b, V8 c)
{
    return V8{vfmaq_f32(vnegq_f32(c.lo), a.lo, b.lo), vfmaq_f32(vnegq_f32(c.hi), a.hi, b.hi)};
}
inline V8 v8_xor(V8 a, V8 b)
{
    return V8{vreinterpretq_f32_u32(veorq_u32(vreinterpretq_u32_f32(a.lo), vreinterpretq_u32_f32(b.lo))),
              vreinterpretq_f32_u32(veorq_u32(vreinterpretq_u32_f32(a.hi), vreinterpretq_u32_f32(b.hi)))};
}
inline V8 v8_select(V8 mask, V8 if_true, V8 if_false)
{
    return V8{vbslq_f32(vreinterpretq_u32_f32(mask.lo), if_true.lo, if_false.lo),
              vbslq_f32(vreinterpretq_u32_f32(mask.hi), if_true.hi, if_false.hi)};
}
inline V8 v8_div(V8 a, V8 b) { return V8{vdivq_f32(a.lo, b.lo), vdivq_f32(a.hi, b.hi)}; }
inline V8 v8_abs(V8 a) { return V8{vabsq_f32(a.lo), vabsq_f32(a.hi)}; }
inline V8 v8_floor(V8 a) { return V8{vrndmq_f32(a.lo), vrndmq_f32(a.hi)}; }
inline V8 v8_gt(V8 a, V8 b)
{
    return V8{vreinterpretq_f32_u32(vcgtq_f32(a.lo, b.lo)), vreinterpretq_f32_u32(vcgtq_f32(a.hi, b.hi))};
}
inline V8 v8_lt(V8 a, V8 b)
{
    return V8{vreinterpretq_f32_u32(vcltq_f32(a.lo, b.lo)), vreinterpretq_f32_u32(vcltq_f32(a.hi, b.hi))};
}
inline V8 v8_phase_positions(const uint32_t* phase)
{
    const uint32x4_t sign = vdupq_n_u32(0x80000000u);
    const float32x4_t scale = vdupq_n_f32(4.656612873e-10f);
    const int32x4_t lo = vreinterpretq_s32_u32(veorq_u32(vld1q_u32(phase), sign));
    const int32x4_t hi = vreinterpretq_s32_u32(veorq_u32(vld1q_u32(phase + 4), sign));
    return V8{vmulq_f32(vcvtq_f32_s32(lo), scale), vmulq_f32(vcvtq_f32_s32(hi), scale)};
}
inline void v8_phases_advance(uint32_t* phase, const uint32_t* rate)
{
    vst1q_u32(phase, vaddq_u32(vld1q_u32(phase), vld1q_u32(rate)));
    vst1q_u32(phase + 4, vaddq_u32(vld1q_u32(phase + 4), vld1q_u32(rate + 4)));
}

inline void v8_load_pairs(const float* p, V8* first, V8* second)
{
    const float32x4x2_t a = vld2q_f32(p), b = vld2q_f32(p + 8);
    *first = V8{a.val[0], b.val[0]};
    *second = V8{a.val[1], b.val[1]};
}
inline void v8_store_pairs(float* p, V8 first, V8 second)
{
    vst2q_f32(p, float32x4x2_t{{first.lo, second.lo}});
    vst2q_f32(p + 8, float32x4x2_t{{first.hi, second.hi}});
}

inline void transpose4(float32x4_t& a, float32x4_t& b, float32x4_t& c, float32x4_t& d)
{
    const float32x4_t t0 = vtrn1q_f32(a, b), t1 = vtrn2q_f32(a, b);
    const float32x4_t t2 = vtrn1q_f32(c, d), t3 = vtrn2q_f32(c, d);
    a = vreinterpretq_f32_f64(vtrn1q_f64(vreinterpretq_f64_f32(t0), vreinterpretq_f64_f32(t2)));
    b = vreinterpretq_f32_f64(vtrn1q_f64(vreinterpretq_f64_f32(t1), vreinterpretq_f64_f32(t3)));
    c = vreinterpretq_f32_f64(vtrn2q_f64(vreinterpretq_f64_f32(t0), vreinterpretq_f64_f32(t2)));
    d = vreinterpretq_f32_f64(vtrn2q_f64(vreinterpretq_f64_f32(t1), vreinterpretq_f64_f32(t3)));
}

// Rows r[0..7] become columns: four 4x4 blocks, the off-diagonal ones swapped.
inline void v8_transpose(V8 r[8])
{
    transpose4(r[0].lo, r[1].lo, r[2].lo, r[3].lo);
    transpose4(r[0].hi, r[1].hi, r[2].hi, r[3].hi);
    transpose4(r[4].lo, r[5].lo, r[6].lo, r[7].lo);
    transpose4(r[4].hi, r[5].hi, r[6].hi, r[7].hi);
    for (int k = 0; k < 4; ++k) {
        const float32x4_t upper_right = r[k].hi;
        r[k].hi = r[k + 4].lo;
        r[k + 4].lo = upper_right;
    }
}

#else
#define DSP_HAVE_V8 0
#endif

#if DSP_HAVE_V8
// A lane mask from eight flags: all ones where the flag is set.
inline V8 v8_mask(const bool flags[8])
{
    uint32_t bits[8];
    for (int k = 0; k < 8; ++k) bits[k] = flags[k] ? 0xFFFFFFFFu : 0u;
    float f[8];
    __builtin_memcpy(f, bits, sizeof f);
    return v8_load(f);
}
#endif

#if DSP_HAVE_V8
// The generic names in which the shared per-sample steps are written
// (dsp/lane_ops.h has them for plain floats).
inline V8 lane_add(V8 a, V8 b) { return v8_add(a, b); }
inline V8 lane_sub(V8 a, V8 b) { return v8_sub(a, b); }
inline V8 lane_mul(V8 a, V8 b) { return v8_mul(a, b); }
inline V8 lane_fma(V8 a, V8 b, V8 c) { return v8_fma(a, b, c); }
inline V8 lane_fms(V8 a, V8 b, V8 c) { return v8_fms(a, b, c); }
inline V8 lane_neg(V8 a) { return v8_xor(a, v8_set1(-0.0f)); }
inline V8 lane_select(V8 mask, V8 if_true, V8 if_false) { return v8_select(mask, if_true, if_false); }
inline V8 lane_div(V8 a, V8 b) { return v8_div(a, b); }
inline V8 lane_abs(V8 a) { return v8_abs(a); }
inline V8 lane_floor(V8 a) { return v8_floor(a); }
inline V8 lane_gt(V8 a, V8 b) { return v8_gt(a, b); }
inline V8 lane_lt(V8 a, V8 b) { return v8_lt(a, b); }
template <>
inline V8 lane_splat<V8>(double x) { return v8_set1(static_cast<float>(x)); }
#endif
