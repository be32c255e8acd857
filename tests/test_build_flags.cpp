// The output depends on every rounding: a build that lets the compiler fuse
// a * b + c, or that uses fast-math, gives other delay lengths and samples.
// These checks fail if the flags set once for every target go missing.
#include <gtest/gtest.h>

#include <cmath>

#ifdef __FAST_MATH__
#error "built with fast-math: rounding is part of the behaviour"
#endif

TEST(BuildFlags, MultiplyAddIsNotContracted)
{
    // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24: rounded, the product loses 2^-24,
    // which a fused multiply-add would keep.
    volatile float va = 1.0f + 0x1p-12f;
    volatile float vc = -(1.0f + 0x1p-11f);
    const float a = va, c = vc;
    const float plain = a * a + c;
    EXPECT_EQ(plain, 0.0f);
    EXPECT_EQ(std::fma(a, a, c), 0x1p-24f) << "std::fma must stay one rounding";
}

TEST(BuildFlags, NoFiniteMathAssumptions)
{
    volatile float zero = 0.0f;
    const float nan = zero / zero;
    EXPECT_TRUE(std::isnan(nan));
    EXPECT_FALSE(nan == nan);
}
