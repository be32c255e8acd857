#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "dsp/tank.h"

namespace {

struct Tanks {
    FdnTank tank[TANK_COUNT];
    Rng rng;
    explicit Tanks(float rate = 48000.0f)
    {
        for (FdnTank& t : tank) tank_setup(&t, rate);
        rng_seed(&rng, 1);
    }
};

std::unique_ptr<Tanks> make_tanks(float rate = 48000.0f)
{
    return std::make_unique<Tanks>(rate);
}

// Takes every planned step at once, as the wraps would.
void settle(FdnTank* tank)
{
    for (TankLine& line : tank->lines) {
        while (line.plan.next_length != 0) tank_line_change_length(&line);
    }
}

double energy(const FdnTank* tank)
{
    double e = 0.0;
    for (const TankLine& line : tank->lines)
        for (uint64_t i = 0; i < line.plan.length; ++i) e += double(line.buffer[i]) * line.buffer[i];
    // The samples just read are in transit to the next write.
    for (float u : tank->line_out) e += double(u) * u;
    return e;
}

}  // namespace

TEST(TankSetup, LinearDistancesGiveTheDocumentedLengths)
{
    auto t = make_tanks();
    setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
    const uint64_t expected[8] = {1459, 3533, 5613, 7691, 9767, 11853, 13929, 15999};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(t->tank[2].line_lengths[k], expected[k]) << k;

    // The first pass alone gives 16001 for line 7.
    FdnTank* one = &t->tank[0];
    compute_line(one, 7, LINE_PASS_FIRST, &t->rng);
    EXPECT_EQ(one->line_lengths[7], 16001u);
}

TEST(TankSetup, DecayGainsAndFreeze)
{
    auto t = make_tanks();
    setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
    apply_decay(t->tank, 1000.0f);
    EXPECT_NEAR(t->tank[0].line_gain[0], 0.28659f, 2e-5f);
    EXPECT_NEAR(t->tank[0].line_gain[7], 0.035360f, 2e-6f);
    const float d = 1.0f / ((1000.0f * 0.001f) * 48000.0f);
    EXPECT_EQ(t->tank[3].line_gain[4], 0.35355338f * powf(0.001f, 9767.0f * d));

    apply_decay(t->tank, 170000.0f);
    EXPECT_LT(t->tank[1].line_gain[0], 0.35355338f);
    apply_decay(t->tank, 170001.0f);
    for (const FdnTank& tank : t->tank)
        for (float g : tank.line_gain) EXPECT_EQ(g, 0.35355338f);
}

TEST(TankSetup, DecayNotAboveZeroRemovesFeedback)
{
    auto t = make_tanks();
    setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
    for (float decay : {0.0f, -1000.0f, NAN}) {
        apply_decay(t->tank, decay);
        for (const FdnTank& tank : t->tank)
            for (float g : tank.line_gain) EXPECT_EQ(g, 0.0f) << decay;
        setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
        for (float g : t->tank[0].line_gain) EXPECT_EQ(g, 0.0f) << decay;
    }
}

TEST(TankSetup, JitterIsRepeatableAfterReseedingAndMovesOnOtherwise)
{
    auto t = make_tanks();
    for (FdnTank& tank : t->tank) tank.jitter = 0.1f;
    rng_seed(&t->rng, 21);
    setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
    uint64_t first[TANK_COUNT][8];
    std::memcpy(first, t->tank[0].line_lengths, sizeof first[0]);
    for (int i = 0; i < TANK_COUNT; ++i) std::memcpy(first[i], t->tank[i].line_lengths, sizeof first[i]);
    EXPECT_NE(0, std::memcmp(first[0], first[1], sizeof first[0])) << "tanks differ with jitter";

    rng_seed(&t->rng, 21);
    setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
    for (int i = 0; i < TANK_COUNT; ++i)
        EXPECT_EQ(0, std::memcmp(first[i], t->tank[i].line_lengths, sizeof first[i]));

    // A later size change continues the sequence: other jittered lengths.
    setup_tank_lines(t->tank, 10.0f, 110.0f, &t->rng);
    EXPECT_NE(0, std::memcmp(first[0], t->tank[0].line_lengths, sizeof first[0]));
    // Jitter only ever lengthens a line.
    const uint64_t plain[8] = {1459, 3533, 5613, 7691, 9767, 11853, 13929, 15999};
    for (int k = 0; k < 8; ++k) EXPECT_GE(t->tank[0].line_lengths[k] + 2, plain[k]);
}

TEST(TankSetup, FilterBankEnableRulesAndCutoffs)
{
    auto t = make_tanks();
    for (FdnTank& tank : t->tank) {
        tank.lp_low = 20000.0f;
        tank.lp_high = 1000.0f;
        tank.hp_low = 20.0f;
        tank.hp_high = 20.0f;
    }
    update_filter_bank(t->tank, FILTER_BANK_LOWPASS);
    EXPECT_FALSE(t->tank[0].lowpass_on[0]);
    for (int k = 1; k < 8; ++k) EXPECT_TRUE(t->tank[0].lowpass_on[k]) << k;
    EXPECT_EQ(t->tank[0].lowpass[1].coefficient, expf(17625.0f * -0.0001308997f));
    // The highpass bank was not touched.
    EXPECT_EQ(t->tank[0].highpass[0].coefficient, 0.9934764f);

    update_filter_bank(t->tank, FILTER_BANK_HIGHPASS);
    for (int k = 0; k < 8; ++k) EXPECT_FALSE(t->tank[3].highpass_on[k]);
    for (FdnTank& tank : t->tank) tank.hp_low = tank.hp_high = 21.0f;
    update_filter_bank(t->tank, FILTER_BANK_HIGHPASS);
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(t->tank[3].highpass_on[k]);

    for (FdnTank& tank : t->tank) {
        tank.lp_low = 9000.0f;
        tank.lp_high = 18000.0f;
    }
    update_filter_bank(t->tank, FILTER_BANK_LOWPASS);
    EXPECT_TRUE(t->tank[0].lowpass_on[7]);  // 16875 Hz
    uint32_t bits;
    const float constant = -0.0001308997f;
    std::memcpy(&bits, &constant, 4);
    EXPECT_EQ(bits, 0xB909421Fu);
}

TEST(TankProcess, ZeroGainsMakeABankOfPlainDelays)
{
    auto t = make_tanks();
    FdnTank* tank = &t->tank[0];
    setup_tank_lines(t->tank, 0.5f, 1.5f, &t->rng);
    settle(tank);
    for (float& g : tank->line_gain) g = 0.0f;
    const size_t n = 1200;
    std::vector<float> in(n, 0.0f), out(n, 0.0f);
    in[0] = 1.0f;
    in[7] = 0.5f;
    for (size_t s = 0; s < n; s += 16) tank_add_reference(tank, &in[s], &out[s], 16);
    for (size_t i = 0; i < n; ++i) {
        float expected = 0.0f;
        for (const TankLine& line : tank->lines)
            if (i >= line.plan.length) expected = expected + in[i - line.plan.length];
        ASSERT_EQ(out[i], expected) << i;
    }
}

namespace {

// Tank `index` with the lines of a room of these sizes in force and every
// line at the lossless gain (freeze), filters off.
FdnTank* frozen_tank(Tanks* t, int index, float size_min, float size_max)
{
    FdnTank* tank = &t->tank[index];
    setup_tank_lines(t->tank, size_min, size_max, &t->rng);
    settle(tank);
    for (float& g : tank->line_gain) g = tank->gain_scale;
    return tank;
}

}  // namespace

TEST(TankProcess, FrozenImpulseKeepsItsEnergy)
{
    auto t = make_tanks();
    FdnTank* tank = frozen_tank(t.get(), 1, 1.0f, 3.0f);
    float in[16] = {1.0f}, out[16];
    tank_replace_reference(tank, in, out, 16);
    const double after_entry = energy(tank);
    EXPECT_NEAR(after_entry, 8.0, 1e-6);
    float silence[16] = {};
    for (int b = 0; b < 2000; ++b) tank_replace_reference(tank, silence, out, 16);
    EXPECT_NEAR(energy(tank), after_entry, 1e-3);
}

// The modulated reads are an allpass, not an interpolation that dulls the
// highs on every pass: a frozen tank keeps a noise's level for twenty
// seconds while every line's read moves. Only the top octave loses a little
// (about 3 dB in 20 s, where its coefficient moves); a linear interpolation
// would lose tens of dB there.
TEST(TankProcess, FrozenModulatedTankKeepsEveryBand)
{
    auto t = make_tanks();
    FdnTank* tank = frozen_tank(t.get(), 2, 6.0f, 35.0f);
    tank_mod_setup(tank, 2, 48000.0f);
    tank->mod_depth = 68.0f;  // the swing at 50 %
    uint32_t seed = 7;
    float in[16], out[16];
    for (int b = 0; b < 300; ++b) {
        for (float& x : in) {
            seed = seed * 1664525u + 1013904223u;
            x = static_cast<float>(static_cast<int32_t>(seed)) * 1e-10f;
        }
        tank_replace_reference(tank, in, out, 16);
    }
    const float silence[16] = {};
    // Broadband level and the level of the first difference (the highs).
    auto levels = [&](int blocks, double* all, double* high) {
        *all = *high = 0.0;
        float last = 0.0f;
        for (int b = 0; b < blocks; ++b) {
            tank_replace_reference(tank, silence, out, 16);
            for (float y : out) {
                *all += double(y) * y;
                *high += double(y - last) * (y - last);
                last = y;
            }
        }
    };
    double all0, high0, all1, high1;
    levels(3000, &all0, &high0);
    for (int b = 0; b < 20 * 3000; ++b) tank_replace_reference(tank, silence, out, 16);
    levels(3000, &all1, &high1);
    EXPECT_NEAR(10.0 * std::log10(all1 / all0), 0.0, 1.0);
    EXPECT_NEAR(10.0 * std::log10(high1 / high0), 0.0, 4.0);
}

TEST(TankProcess, ShrinkingResamplesForward)
{
    auto line = std::make_unique<TankLine>();
    line->plan = LengthPlan{32000, 24000, 0};
    for (int i = 0; i < 32000; ++i) line->buffer[i] = static_cast<float>(i);
    tank_line_change_length(line.get());
    EXPECT_EQ(line->plan.length, 24000u);
    EXPECT_EQ(line->plan.next_length, 0u);
    EXPECT_EQ(line->buffer[0], 0.0f);
    EXPECT_EQ(line->buffer[3], 4.0f);
    EXPECT_NEAR(line->buffer[1], 4.0f / 3.0f, 1e-4f);
    EXPECT_NEAR(line->buffer[23999], 31998.666f, 0.01f);
}

TEST(TankProcess, GrowingResamplesBackwardAndReadsTheCopiedStart)
{
    auto line = std::make_unique<TankLine>();
    line->plan = LengthPlan{24000, 32000, 0};
    for (int i = 0; i < 24000; ++i) line->buffer[i] = static_cast<float>(i + 1);
    tank_line_change_length(line.get());
    EXPECT_EQ(line->buffer[0], 1.0f);
    EXPECT_EQ(line->buffer[4], 4.0f);  // position 3.0
    // Sample 31999 reads old position 23999.25: between 24000 and the copy of buffer[0].
    EXPECT_NEAR(line->buffer[31999], 24000.0f + 0.25f * (1.0f - 24000.0f), 0.01f);
}

TEST(TankProcess, EqualLengthLeavesTheBufferAndPlansTheRest)
{
    auto line = std::make_unique<TankLine>();
    line->plan = LengthPlan{5000, 5000, 0};
    for (int i = 0; i < 5000; ++i) line->buffer[i] = std::sin(0.01f * i);
    std::vector<float> before(line->buffer, line->buffer + 5000);
    tank_line_change_length(line.get());
    EXPECT_EQ(0, std::memcmp(before.data(), line->buffer, 5000 * sizeof(float)));

    line->plan = LengthPlan{4000, 3000, 1459};
    tank_line_change_length(line.get());
    EXPECT_EQ(line->plan.length, 3000u);
    EXPECT_EQ(line->plan.next_length, 2250u);
    EXPECT_EQ(line->plan.target_length, 1459u);
}

TEST(TankProcess, FilterLimits)
{
    auto t = make_tanks();
    FdnTank* tank = &t->tank[0];
    setup_tank_lines(t->tank, 0.5f, 1.5f, &t->rng);
    settle(tank);
    for (float& g : tank->line_gain) g = 0.0f;
    for (int k = 0; k < 8; ++k) {
        tank->highpass_on[k] = k < 4;
        tank->highpass[k].coefficient = 0.0f;
        tank->lowpass_on[k] = k >= 4;
        tank->lowpass[k].coefficient = 0.0f;
    }
    std::vector<float> in(400, 0.0f);
    in[0] = 1.0f;
    for (size_t i = 0; i < in.size(); ++i) {
        tank_step(tank, in[i]);
        for (int k = 0; k < 4; ++k) ASSERT_EQ(tank->line_out[k], 0.0f);
        for (int k = 4; k < 8; ++k)
            ASSERT_EQ(tank->line_out[k], i == tank->lines[k].plan.length ? 1.0f : 0.0f);
    }
}

TEST(Random, MatchesTheCLibraryAndIsPrivate)
{
    Rng mine, other;
    rng_seed(&mine, 21);
    rng_seed(&other, 1);
    std::srand(21);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(rng_next(&mine), std::rand()) << i;
        if (i % 7 == 0) rng_next(&other);  // another instance does not disturb either
    }
    Rng one;
    rng_seed(&one, 1);
    std::srand(1);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(rng_next(&one), std::rand());
}

TEST(Random, InstancesLeaveTheProcessGeneratorAlone)
{
    std::srand(5);
    std::vector<int> expected(4);
    for (int& v : expected) v = std::rand();

    std::srand(5);
    std::vector<int> seen;
    seen.push_back(std::rand());
    auto t = make_tanks();
    for (FdnTank& tank : t->tank) tank.jitter = 0.3f;
    rng_seed(&t->rng, 21);
    setup_tank_lines(t->tank, 5.0f, 70.0f, &t->rng);  // 64 draws of its own
    seen.push_back(std::rand());
    seen.push_back(std::rand());
    seen.push_back(std::rand());
    EXPECT_EQ(seen, expected);
}

TEST(TankSetup, BadSizesAndShapesStayWithinTheLines)
{
    const float bad[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 0.0f};
    for (float v : bad) {
        auto t = make_tanks();
        for (FdnTank& tank : t->tank) {
            tank.shape = v;
            tank.jitter = v;
        }
        setup_tank_lines(t->tank, v, -v, &t->rng);
        apply_decay(t->tank, v);
        for (const FdnTank& tank : t->tank)
            for (const TankLine& line : tank.lines) {
                EXPECT_GE(line.plan.next_length, 101u);
                EXPECT_LE(line.plan.next_length, 32000u);
            }
        float in[16] = {0.5f}, out[16];
        for (int b = 0; b < 100; ++b) tank_replace_reference(&t->tank[0], in, out, 16);
    }
}
