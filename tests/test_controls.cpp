#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <fstream>
#include <sstream>
#include <vector>

#include "harness.h"

TEST(Scan, FirstRunAppliesEveryControl)
{
    Host host(44100.0);
    host.controls[PORT_SIZE_MIN] = 12.0f;
    host.controls[PORT_JITTER] = 0.0f;
    host.controls[PORT_DIFFUSION_PCT] = 40.0f;
    host.controls[PORT_DELAY_MS] = 120.0f;
    host.controls[PORT_XFADE_MS] = 30.0f;
    host.controls[PORT_WIDTH] = 100.0f;
    host.run(0);
    DspState* dsp = host.dsp();
    for (const FdnTank& tank : dsp->tanks) EXPECT_EQ(tank.line_lengths[0], 1607u);
    EXPECT_EQ(dsp->delay_lines[0].size, 4762u);
    EXPECT_EQ(dsp->delay_lines[3].size, 5672u);
    EXPECT_EQ(dsp->delay_lines[1].fade_length, 1323u);
    EXPECT_EQ(dsp->diffusion.diffusion, 40.0f * 0.01f);
    EXPECT_EQ(dsp->diffusion.diffusers[2].coefficient, (40.0f * 0.01f) * 0.8333334f);
    EXPECT_EQ(dsp->cross_mix, std::fma(-100.0f, 0.01f, 1.0f));
    EXPECT_EQ(dsp->tanks[3].cross_mix, dsp->cross_mix);
    // Lines start at their final length at once.
    EXPECT_EQ(dsp->tanks[0].lines[0].plan.length, 1607u);
    EXPECT_EQ(dsp->tanks[0].lines[0].plan.next_length, 0u);

    host.controls[PORT_SIZE_MIN] = 0.0f;
    host.controls[PORT_SIZE_MAX] = 0.0f;
    host.run(0);
    for (const FdnTank& tank : dsp->tanks)
        for (uint64_t n : tank.line_lengths) EXPECT_EQ(n, 101u);
    // Later size changes glide: planned, not taken.
    EXPECT_EQ(dsp->tanks[0].lines[0].plan.length, 1607u);
    EXPECT_EQ(dsp->tanks[0].lines[0].plan.next_length, 1205u);
    EXPECT_EQ(dsp->tanks[0].lines[0].plan.target_length, 101u);
}

// Periods in which no port changed skip the scan; a port connected late
// (here with a value of all zero bits, never seen before) is still applied.
TEST(Scan, APortConnectedLateIsAppliedAfterQuietPeriods)
{
    Host host;
    host.desc->connect_port(host.handle, PORT_DELAY_MS, nullptr);
    for (int p = 0; p < 3; ++p) host.run(16);
    EXPECT_EQ(host.dsp()->delay_lines[0].size, uint64_t{MOD_DELAY_MAX_SIZE});  // never set
    float late = 0.0f;
    host.desc->connect_port(host.handle, PORT_DELAY_MS, &late);
    host.run(16);
    EXPECT_EQ(host.dsp()->delay_lines[0].size, 1u);
    late = 120.0f;
    host.run(16);
    EXPECT_EQ(host.dsp()->delay_lines[0].size, 5184u);
}

TEST(Scan, ChangeTestNegativeZeroAndNonFiniteValues)
{
    Host host;
    host.controls[PORT_PITCH_0] = 0.0f;
    host.run(16);
    DspState* dsp = host.dsp();
    dsp->delay_lines[0].speed = 0.75f;  // would be reset by a re-application
    host.controls[PORT_PITCH_0] = -0.0f;
    host.run(16);
    EXPECT_EQ(dsp->delay_lines[0].speed, 0.75f);

    const float mode_before = static_cast<float>(dsp->mode);
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p) host.controls[p] = bad;
        std::vector<float> input = noise_burst(4096, 4096), l, r;
        host.render(input, 256, &l, &r);
        for (size_t i = 0; i < l.size(); ++i) ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]));
        EXPECT_EQ(static_cast<float>(dsp->mode), mode_before);
    }
    lively_test_controls(host.controls);
    host.controls[PORT_MODE_SEL] = 3.0f;
    host.run(16);
    EXPECT_EQ(dsp->mode, 3);
}

TEST(Scan, NonFiniteAtTheFirstScanKeepsCreationValuesUntilAFiniteOne)
{
    Host host;
    host.controls[PORT_MODE_SEL] = NAN;
    host.controls[PORT_DELAY_FEEDBACK] = INFINITY;
    host.run(16);
    EXPECT_EQ(host.dsp()->mode, 1);
    EXPECT_EQ(host.dsp()->delay_lines[0].feedback, 0.2f);
    host.controls[PORT_MODE_SEL] = 1.0f;  // equals the creation value, still applied
    host.controls[PORT_DELAY_FEEDBACK] = 0.0f;
    host.run(16);
    EXPECT_EQ(host.dsp()->delay_lines[0].feedback, 0.0f);
}

TEST(Scan, WidthAndModeConversions)
{
    Host host;
    const struct {
        float width, cross;
    } widths[] = {{100.0f, 2.2351742e-08f}, {0.0f, 1.0f}, {-100.0f, 2.0f},
                  // Beyond the declared range (a host, a state): held to it, so
                  // that the cross mix stays 0 ... 2 and the output bounded.
                  {1e30f, 2.2351742e-08f}, {1e6f, 2.2351742e-08f}, {-1e6f, 2.0f}};
    for (auto w : widths) {
        host.controls[PORT_WIDTH] = w.width;
        host.run(0);
        EXPECT_EQ(host.dsp()->cross_mix, w.cross) << w.width;
    }
    const struct {
        float sel;
        int32_t mode;
    } modes[] = {{2.7f, 2}, {-0.7f, 0}, {1e10f, 2147483647}, {1.9f, 1},
                 {-0.5f, 0}, {5.0f, 5},  {-1.0f, -1},        {-1e10f, INT32_MIN}};
    for (auto m : modes) {
        host.controls[PORT_MODE_SEL] = m.sel;
        host.run(0);
        EXPECT_EQ(host.dsp()->mode, m.mode) << m.sel;
    }
}

TEST(Scan, SafetyBoundsApplyBeforeTheAction)
{
    Host host;
    host.controls[PORT_PITCH_1] = 1e30f;
    host.controls[PORT_MOD_DEPTH] = 1e30f;
    host.controls[PORT_DELAY_FEEDBACK] = -1e30f;
    host.controls[PORT_DELAY_MIX] = 3.4e38f;
    host.controls[PORT_LP_LOW] = -1e30f;
    host.controls[PORT_WET_A_DB] = 1e30f;
    host.run(0);
    DspState* dsp = host.dsp();
    EXPECT_EQ(dsp->delay_lines[1].speed, powf(1.0594631f, 48.0f));
    EXPECT_EQ(dsp->delay_lines[0].lfo_depth, 100.0f * 1.6999999f);
    EXPECT_EQ(dsp->delay_lines[0].feedback,
              PORT_TABLE[PORT_DELAY_FEEDBACK].bound_low * FEEDBACK_PER_PERCENT);
    EXPECT_EQ(dsp->delay_lines[0].mix, 200.0f * 0.00990099f);
    EXPECT_EQ(dsp->tanks[0].lp_low, 0.0f);
    EXPECT_EQ(host.instance()->controls.ramps[RAMP_WET_A].target, 40.0f);
}

TEST(Scan, JitterAndShapeAreRepeatable)
{
    Host host;
    host.run(0);  // the first scan also runs the shape update, which draws more
    host.controls[PORT_JITTER] = 10.0f;
    host.run(0);
    uint64_t first[8];
    std::memcpy(first, host.dsp()->tanks[1].line_lengths, sizeof first);
    host.controls[PORT_JITTER] = 30.0f;
    host.run(0);
    EXPECT_NE(0, std::memcmp(first, host.dsp()->tanks[1].line_lengths, sizeof first));
    host.controls[PORT_JITTER] = 10.0f;
    host.run(0);
    EXPECT_EQ(0, std::memcmp(first, host.dsp()->tanks[1].line_lengths, sizeof first));

    // Jitter 0: all four tanks alike.
    host.controls[PORT_JITTER] = 0.0f;
    host.run(0);
    for (int t = 1; t < 4; ++t)
        EXPECT_EQ(0, std::memcmp(host.dsp()->tanks[0].line_lengths,
                                 host.dsp()->tanks[t].line_lengths, sizeof first));

    // The shape update's extra pass draws numbers: other lengths than the
    // jitter update for the same settings, but repeatable.
    host.controls[PORT_JITTER] = 10.0f;
    host.controls[PORT_SHAPE] = 20.0f;
    host.run(0);
    uint64_t shaped[8];
    std::memcpy(shaped, host.dsp()->tanks[1].line_lengths, sizeof shaped);
    host.controls[PORT_SHAPE] = 0.0f;
    host.run(0);
    host.controls[PORT_SHAPE] = 20.0f;
    host.run(0);
    EXPECT_EQ(0, std::memcmp(shaped, host.dsp()->tanks[1].line_lengths, sizeof shaped));
    EXPECT_EQ(host.dsp()->tanks[0].shape, std::fma(0.4f * 0.4f, 3.0f, 0.3f));
}

TEST(Scan, FilterEndPointsOfTheHighAndLowBanks)
{
    Host host;
    host.controls[PORT_HP_LOW] = 20.0f;
    host.controls[PORT_HP_HIGH] = 20.0f;
    host.controls[PORT_LP_LOW] = 18000.0f;
    host.controls[PORT_LP_HIGH] = 18000.0f;
    host.run(0);
    for (const FdnTank& tank : host.dsp()->tanks)
        for (int k = 0; k < 8; ++k) EXPECT_FALSE(tank.highpass_on[k] || tank.lowpass_on[k]);
    host.controls[PORT_LP_LOW] = 9000.0f;
    host.run(0);
    EXPECT_TRUE(host.dsp()->tanks[2].lowpass_on[7]);
    EXPECT_FALSE(host.dsp()->tanks[2].highpass_on[7]);
}

TEST(Ramps, LevelsMoveBlockByBlock)
{
    Host host;
    host.run(16);
    EXPECT_EQ(host.dsp()->wet_gain_a, 0.025118864f);  // -32 dB held from the first block
    host.controls[PORT_DRY_DB] = -1.0f;
    const float expected[] = {-0.37333333f, -0.74666667f, -1.0f};
    for (float e : expected) {
        host.run(16);
        EXPECT_FLOAT_EQ(host.instance()->controls.ramps[RAMP_DRY].current, e);
    }
    EXPECT_EQ(host.dsp()->dry_gain, static_cast<float>(std::pow(10.0, double(-1.0f * 0.05f))));
}

static void run_blocks(Host* host, int blocks)
{
    for (int b = 0; b < blocks; ++b) host->run(16);
}

TEST(Ramps, DecayGlidesAndFreezes)
{
    Host host;
    host.run(16);  // starts at the port's 10000
    host.controls[PORT_DECAY_MS] = 3000.0f;
    run_blocks(&host, 116);
    EXPECT_EQ(host.dsp()->decay_time, 3040.0f);
    host.run(16);
    EXPECT_EQ(host.dsp()->decay_time, 3000.0f);

    Host up;
    up.run(16);
    up.controls[PORT_DECAY_MS] = 200000.0f;
    run_blocks(&up, 2666);
    EXPECT_LT(up.dsp()->tanks[0].line_gain[0], up.dsp()->tanks[0].gain_scale);
    up.run(16);
    EXPECT_EQ(up.dsp()->decay_time, 170020.0f);
    for (const FdnTank& tank : up.dsp()->tanks)
        for (float g : tank.line_gain) EXPECT_EQ(g, tank.gain_scale);
    run_blocks(&up, 500);
    EXPECT_EQ(up.dsp()->decay_time, 200000.0f);
}

TEST(Ramps, NegativeDecayGivesNoFeedback)
{
    Host host;
    host.controls[PORT_DECAY_MS] = -5.0f;
    run_blocks(&host, 200);
    for (const FdnTank& tank : host.dsp()->tanks)
        for (float g : tank.line_gain) EXPECT_EQ(g, 0.0f);
}

// A feedback beyond the stable range (hosts that do not clamp, scripts) is
// held at the bound: the echoes of a 2 ms line decay instead of growing to
// infinity, and 100 % plays exactly as 94 %.
TEST(Scan, DelayFeedbackIsHeldAtTheStableBound)
{
    auto render = [](float feedback) {
        Host host(48000.0, 1024);
        host.controls[PORT_MODE_SEL] = 0.0f;
        host.controls[PORT_DELAY_FEEDBACK] = feedback;
        host.controls[PORT_MOD_DEPTH] = 0.0f;
        for (int k = 0; k < 4; ++k) host.controls[PORT_PITCH_0 + k] = 0.0f;
        host.controls[PORT_DELAY_MS] = 2.0f;
        std::vector<float> l, r;
        host.render(impulse(48000 * 3), 1024, &l, &r);
        return l;
    };
    const std::vector<float> full = render(100.0f);
    EXPECT_TRUE(same_bits(full, render(94.0f)));
    float early = 0.0f, late = 0.0f;
    for (size_t i = 0; i < full.size(); ++i) {
        ASSERT_TRUE(std::isfinite(full[i])) << i;
        float& peak = i < 48000 ? early : late;
        peak = std::fmax(peak, std::fabs(full[i]));
    }
    EXPECT_LT(late, early * 0.5f);
}

// The first run starts every ramp at its control's value: a render with
// both levels at -120 dB is silent from its first sample, and the decay time
// is the control's. Later changes glide as before.
TEST(Ramps, StartAtTheirTargetsInTheFirstRun)
{
    Host host;
    host.controls[PORT_DRY_DB] = -120.0f;
    host.controls[PORT_WET_A_DB] = -120.0f;
    host.controls[PORT_DECAY_MS] = 2500.0f;
    std::vector<float> l, r;
    host.render(noise_burst(480, 480), 64, &l, &r);
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_LE(std::fabs(l[i]), 1e-6f) << i;
        ASSERT_LE(std::fabs(r[i]), 1e-6f) << i;
    }
    EXPECT_EQ(host.dsp()->dry_gain, db_to_gain(-120.0f));
    EXPECT_EQ(host.dsp()->decay_time, 2500.0f);
    EXPECT_EQ(host.dsp()->tanks[0].decay_time, 2500.0f);

    host.controls[PORT_DRY_DB] = 0.0f;
    host.run(16);
    EXPECT_EQ(host.instance()->controls.ramps[RAMP_DRY].current, -120.0f + 0.37333333f);

    // activate is a new start: the ramps jump again.
    host.desc->activate(host.handle);
    host.run(0);
    EXPECT_EQ(host.dsp()->dry_gain, 1.0f);
    EXPECT_EQ(host.dsp()->decay_time, 2500.0f);
}

// The detailed control table (docs/development.md) is written for people;
// its names, ranges and units must still be the ones the plugin declares.
TEST(ControlTable, DocumentedTableListsEveryControlAsDeclared)
{
    std::ifstream file(BRUMMKISTE_SOURCE_DIR "/docs/development.md");
    ASSERT_TRUE(file.good());
    std::stringstream readme;
    readme << file.rdbuf();
    for (const PortInfo& info : PORT_TABLE) {
        if (info.kind != PORT_KIND_CONTROL_IN) continue;
        std::ostringstream row;
        row << "| " << info.name << " (`" << info.symbol << "`) | " << info.minimum << " ... "
            << info.maximum << " | " << UNIT_LABEL[info.unit] << (info.unit ? " |" : "|");
        EXPECT_NE(readme.str().find(row.str()), std::string::npos) << "row: " << row.str();
    }
}

// The documented loudness table gives the figures the window shows.
TEST(ControlTable, DocumentedLoudnessIsTheWindows)
{
    std::ifstream file(BRUMMKISTE_SOURCE_DIR "/docs/development.md");
    std::string line;
    int found = 0;
    while (std::getline(file, line)) {
        for (int mode = 0; mode < MODE_COUNT; ++mode) {
            if (line.rfind("| " + std::to_string(mode) + ", ", 0) != 0) continue;
            char figure[32];
            if (MODE_LOUDNESS_DB[mode] == 0.0f)
                std::snprintf(figure, sizeof figure, "| 0 dB |");
            else
                std::snprintf(figure, sizeof figure, "| %+.1f dB |", MODE_LOUDNESS_DB[mode]);
            EXPECT_NE(line.find(figure), std::string::npos) << line;
            ++found;
        }
    }
    EXPECT_EQ(found, MODE_COUNT);
}
