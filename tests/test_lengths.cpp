#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/lengths.h"

TEST(NextPrimeLength, SmallCountsGive101)
{
    for (float x : {0.0f, 50.0f, 99.9f, 100.0f, 100.9f, -5.0f, NAN, -INFINITY})
        EXPECT_EQ(next_prime_length(x), 101u) << x;
}

TEST(NextPrimeLength, TrialDivisionSkipsThree)
{
    EXPECT_EQ(next_prime_length(110.5f), 111u);     // 3 * 37 passes
    EXPECT_EQ(next_prime_length(517.26f), 519u);    // 517 = 11 * 47 fails; 519 = 3 * 173
    EXPECT_EQ(next_prime_length(11853.0f), 11853u); // 27 * 439
    EXPECT_EQ(next_prime_length(1454.5f), 1459u);   // 1455 fails on 5, 1457 on 31
    EXPECT_EQ(next_prime_length(162.99998f), 163u);
    for (float x : {211.0f, 409.0f, 563.0f}) EXPECT_EQ(next_prime_length(x), uint64_t(x));
}

TEST(NextPrimeLength, SecondMemberOfAPairIsTestedBeyondTheRoot)
{
    // 121 = 11 * 11: b = 11, so the pair (11, 13) is tested (i + 6 <= b);
    // 123 = 3 * 41 then passes.
    EXPECT_EQ(next_prime_length(121.0f), 123u);
    // 169 = 13 * 13 fails on the second member of the pair (11, 13); 171 = 9 * 19 passes.
    EXPECT_EQ(next_prime_length(169.0f), 171u);
}

TEST(NextPrimeLength, HugeArgumentsAreCappedAndReturnQuickly)
{
    const uint64_t capped = next_prime_length(INFINITY);
    EXPECT_GE(capped, UINT64_C(4294967295));
    EXPECT_LT(capped, UINT64_C(4294967295) + 1000);
    EXPECT_EQ(next_prime_length(1e30f), capped);
}

TEST(NextPrimeLength, TankLengthGroupingsDifferInTheLastBit)
{
    const float first = (48000.0f * 0.0030303029f) * 110.0f;
    const float second = (110.0f * 48000.0f) * 0.0030303029f;
    EXPECT_EQ(next_prime_length(first), 16001u);
    EXPECT_EQ(next_prime_length(second), 15999u);
}

static std::vector<uint64_t> walk(uint64_t from, uint64_t to, uint64_t limit)
{
    LengthPlan plan{from, 0, 0};
    plan_length_change(&plan, to, limit);
    std::vector<uint64_t> steps;
    while (plan.next_length != 0 && steps.size() < 50) {
        plan.length = plan.next_length;
        steps.push_back(plan.length);
        if (plan.target_length == 0)
            plan.next_length = 0;
        else
            plan_length_change(&plan, plan.target_length, limit);
    }
    return steps;
}

TEST(PlanLengthChange, ShrinksAndGrowsByBoundedSteps)
{
    EXPECT_EQ(walk(31999, 1459, 32000),
              (std::vector<uint64_t>{23999, 17999, 13499, 10124, 7593, 5694, 4270, 3202, 2401,
                                     1800, 1459}));
    EXPECT_EQ(walk(1459, 15999, 32000),
              (std::vector<uint64_t>{2188, 3282, 4923, 7384, 11076, 15999}));
}

TEST(PlanLengthChange, LimitAndEqualLength)
{
    LengthPlan plan{20000, 0, 0};
    plan_length_change(&plan, 90000, 32000);
    EXPECT_EQ(plan.next_length, 30000u);
    EXPECT_EQ(plan.target_length, 32000u);

    LengthPlan early{23999, 0, 0};
    plan_length_change(&early, 30011, 24000);
    EXPECT_EQ(early.next_length, 24000u);
    EXPECT_EQ(early.target_length, 0u);

    LengthPlan same{1459, 0, 0};
    plan_length_change(&same, 1459, 32000);
    EXPECT_EQ(same.next_length, 1459u);
    EXPECT_EQ(same.target_length, 0u);
}
