// Many repetitions of one single-precision addition at once, bit for bit.
//
// A quantity that moves by the same step every sample (a modulation phase, a
// read head, a crossfade gain) is x = fl(x + s) repeated. While x stays in one
// binade (one exponent), every sum rounds to the same grid of spacing u, so
// each repetition adds the same multiple r of u: n of them add n * r * u,
// exactly. These functions take as many repetitions as stay inside the binade
// and short of a limit; the caller takes the step that crosses over itself,
// with the step function the signal path uses, and goes on. A sum that falls
// exactly halfway between two grid points (rounded to the even one, which
// alternates) is never taken here.
#pragma once

#include <cstdint>

#include "dsp/convert.h"

// A positive normal float as K * 2^exponent with K in [2^23, 2^24): its bits
// are the binade's exponent field and K's lower 23 bits, so adding j to the
// bits adds j grid steps (up to the binade's top, 2^24 steps, where the carry
// makes exactly the next power of two).
typedef struct {
    uint32_t bits;
    uint64_t k;
    int exponent;  // biased exponent field, 1 ... 254
} FloatGrid;

static inline bool float_grid(float x, FloatGrid* g)
{
    g->bits = float_bits(x);
    g->exponent = static_cast<int>(g->bits >> 23);  // sign bit 0 for x > 0
    g->k = (g->bits & 0x7FFFFFu) | 0x800000u;
    return x > 0.0f && g->exponent >= 1 && g->exponent <= 254;
}

// s in units of x's grid, rounded to the nearest whole step r; false where a
// grid point plus s falls exactly halfway (rounded to even: the step would
// alternate) or s is not a positive normal float.
static inline bool grid_step(float s, int x_exponent, uint64_t* r)
{
    FloatGrid gs;
    if (!float_grid(s, &gs)) return false;
    const int shift = x_exponent - gs.exponent;  // s/u = K_s * 2^-shift
    if (shift <= 0) {
        if (-shift > 30) return false;
        *r = gs.k << -shift;
        return true;
    }
    if (shift > 25) {  // below half a step: K_s < 2^24 <= 2^(shift - 1)
        *r = 0;
        return true;
    }
    const uint64_t half = UINT64_C(1) << (shift - 1);
    const uint64_t rem = gs.k & ((half << 1) - 1);
    if (rem == half) return false;
    *r = (gs.k >> shift) + (rem > half ? 1u : 0u);
    return true;
}

// Up to n repetitions of x = fl(x + s) (x, s positive and normal, x below
// `limit`), each result within x's binade (or exactly its top) and below
// `limit`. Returns how many were taken (possibly 0) and leaves x after them.
static inline uint64_t float_walk_up(float* x, float s, uint64_t n, float limit)
{
    FloatGrid g, gl;
    uint64_t r = 0;
    if (!float_grid(*x, &g) || !(*x < limit) || !float_grid(limit, &gl) ||
        !grid_step(s, g.exponent, &r))
        return 0;
    if (r == 0) return n;  // s is below half a step: x never moves
    const uint64_t top = UINT64_C(1) << 24;
    // Each exact sum K + (j - 1) r + s/u must stay <= 2^24 (s/u < r + 1).
    if (g.k + r + 1 > top) return 0;
    // (Quotients of numbers below 2^32: 32-bit divisions, which are cheap.)
    const uint32_t r32 = static_cast<uint32_t>(r);
    uint64_t take = static_cast<uint32_t>(top - g.k - r - 1) / r32 + 1;
    // Each result below the limit: K + j r < limit/u = K_L * 2^(e_L - e_x).
    // A limit 2^32 or more steps away lies beyond the binade's 2^24.
    const int up = gl.exponent - g.exponent;  // >= 0 since x < limit
    if (up < 8 && (gl.k << up) <= top) {  // else the limit lies beyond the binade's top
        const uint64_t below = (gl.k << up) - 1;  // the last grid point under the limit
        if (below < g.k + r) return 0;
        const uint64_t before_limit = static_cast<uint32_t>(below - g.k) / r32;
        if (before_limit < take) take = before_limit;
    }
    if (n < take) take = n;
    *x = float_from_bits(g.bits + static_cast<uint32_t>(take * r));
    return take;
}

// Up to n repetitions of x = fl(x - s) (x, s positive and normal), each
// result within x's binade. Returns how many were taken.
static inline uint64_t float_walk_down(float* x, float s, uint64_t n)
{
    FloatGrid g;
    uint64_t r = 0;
    if (!float_grid(*x, &g) || !grid_step(s, g.exponent, &r)) return 0;
    if (r == 0) return n;
    const uint64_t bottom = UINT64_C(1) << 23;
    // Each exact difference K - (j - 1) r - s/u must stay >= 2^23.
    if (g.k < bottom + r + 1) return 0;
    uint64_t take = static_cast<uint32_t>(g.k - bottom - r - 1) / static_cast<uint32_t>(r) + 1;
    if (n < take) take = n;
    *x = float_from_bits(g.bits - static_cast<uint32_t>(take * r));
    return take;
}
