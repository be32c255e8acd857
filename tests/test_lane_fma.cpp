// The vector layer's fused multiply-add and multiply-subtract round once, as
// the scalar std::fma does; this file is built for the lanes' instruction set.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp/lanes/cpu.h"
#include "dsp/lanes/simd8.h"

#if DSP_HAVE_V8
// (1 + 2^-12)^2 - (1 + 2^-11) is 2^-24 with one rounding and 0 with two;
// the same through the multiply-subtract, whose exact zero must be +0.
TEST(Lanes, VectorMultiplyAddRoundsOnce)
{
    ASSERT_TRUE(lanes_supported());
    const float a = 1.0f + std::ldexp(1.0f, -12);
    const float c = -(1.0f + std::ldexp(1.0f, -11));
    ASSERT_EQ(std::fmaf(a, a, c), std::ldexp(1.0f, -24));
    float out[8];
    v8_store(out, v8_fma(v8_set1(a), v8_set1(a), v8_set1(c)));
    for (float x : out) EXPECT_EQ(x, std::ldexp(1.0f, -24));
    v8_store(out, v8_fms(v8_set1(a), v8_set1(a), v8_set1(-c)));
    for (float x : out) EXPECT_EQ(x, std::ldexp(1.0f, -24));
    // An exact cancellation gives +0, as the scalar fused multiply-add does.
    v8_store(out, v8_fms(v8_set1(2.0f), v8_set1(3.0f), v8_set1(6.0f)));
    for (float x : out) EXPECT_FALSE(std::signbit(x));
}

// select(mask, if_true, if_false): the first value where the mask is set.
TEST(Lanes, SelectTakesTheFirstValueWhereTheMaskIsSet)
{
    const bool flags[8] = {true, false, true, false, false, false, true, true};
    float out[8];
    v8_store(out, v8_select(v8_mask(flags), v8_set1(1.0f), v8_set1(2.0f)));
    for (int k = 0; k < 8; ++k) EXPECT_EQ(out[k], flags[k] ? 1.0f : 2.0f) << k;
}
#endif
