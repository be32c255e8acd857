// Renders a fixed set of scenarios and compares a hash of the output bits with
// stored values: any change of a single output bit in any mode, at any rate or
// period size, fails here. Optimisations must leave these hashes unchanged.
#include <gtest/gtest.h>

#include <cstdlib>

#include <cstdio>
#include <vector>

#include "regression_scenarios.h"

using namespace regression;

TEST(Regression, OutputBitsAreUnchanged)
{
    for (const Scenario& s : SCENARIOS) {
        const uint64_t h = render_scenario(s);
        EXPECT_EQ(h, s.hash) << s.name << ": got UINT64_C(0x" << std::hex << h << ")";
    }
}

// Which path the hashes above went through: the test command runs them on
// this CPU (lanes where it has them), with BRUMMKISTE_SCALAR set, and under
// an emulated CPU without AVX and FMA, and says which it expects.
TEST(Regression, InstancesTakeTheLanesOnlyWhereExpected)
{
    const char* expect = std::getenv("BRUMMKISTE_EXPECT_LANES");
    if (!expect) GTEST_SKIP() << "BRUMMKISTE_EXPECT_LANES not set";
    Host host;
    EXPECT_EQ(host.dsp()->lanes, expect[0] == '1');
}
