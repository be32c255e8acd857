#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/mod_delay.h"

namespace {

struct Lines {
    ModDelayLine line[MOD_DELAY_COUNT];
    Lines()
    {
        for (ModDelayLine& l : line) mod_delay_setup(&l);
    }
};

// The fixed lowpass on its own, as a reference.
struct Lowpass {
    float w[4] = {0, 0, 0, 0};
    float operator()(float u)
    {
        const float v = (((0.17293644f * u - 0.49543488f * w[0]) - 0.92745388f * w[1]) -
                         0.01951078f * w[2]) - 0.32458356f * w[3];
        const float y = ((v + 4.0f * (w[0] + w[2])) + 6.0f * w[1]) + w[3];
        w[3] = w[2];
        w[2] = w[1];
        w[1] = w[0];
        w[0] = v;
        return y;
    }
};

}  // namespace

TEST(ModDelay, UnitSpeedIsALowpassedDelayWithoutCrossfade)
{
    Lines lines;
    ModDelayLine* line = &lines.line[0];
    line->speed = 1.0f;
    line->lfo_depth = 0.0f;
    line->mix = 1.0f;
    line->feedback = 0.0f;
    Lowpass reference;
    const uint64_t delay = line->size - 8000;  // read head 8000 ahead of the write head
    std::vector<float> input(30000, 0.0f);
    input[5] = 1.0f;
    input[100] = -0.25f;
    for (size_t i = 0; i < input.size(); ++i) {
        const float expected_in = i >= delay ? input[i - delay] : 0.0f;
        const float expected = reference(expected_in);
        ASSERT_EQ(mod_delay_tick(line, input[i]), expected) << i;
        ASSERT_FALSE(line->fading) << i;
    }
}

TEST(ModDelay, CreationValuesCrossfadeWhenTheHeadsMeet)
{
    Lines lines;
    ModDelayLine* line = &lines.line[0];
    // Read head at 8000 moving at 0.5, write head at 0 moving at 1: they meet
    // after about 16000 samples; the jump comes 66 samples (plus the offset) early.
    uint64_t calls = 0;
    float read_before = 0.0f;
    uint64_t write_before = 0;
    while (!line->fading && calls < 20000) {
        read_before = line->read_pos;
        write_before = line->write_pos;
        mod_delay_tick(line, 0.0f);
        ++calls;
    }
    ASSERT_TRUE(line->fading);
    const float distance = read_before + line->mod_offset - static_cast<float>(write_before);
    EXPECT_LE(std::trunc(distance), 66.0f + line->mod_offset);
    EXPECT_GT(distance, 60.0f);
    // The read head restarts half a circle (16000) ahead of the write head.
    const float jumped = static_cast<float>(write_before) + 16000.0f + line->speed;
    EXPECT_EQ(line->read_pos, jumped);
    EXPECT_EQ(line->fade_pos, read_before);
}

TEST(ModDelay, CrossfadeGainsStepOverTheFadeLength)
{
    Lines lines;
    ModDelayLine* line = &lines.line[0];
    line->read_pos = 30.0f;
    line->lfo_depth = 0.0f;
    ASSERT_EQ(line->fade_length, 128u);
    mod_delay_tick(line, 0.0f);  // write 0, read 30: inside the guard, jump
    ASSERT_TRUE(line->fading);
    for (int k = 1; k <= 128; ++k) {
        mod_delay_tick(line, 0.0f);
        EXPECT_FLOAT_EQ(line->fade_in_gain, k * 0.0078125f);
        EXPECT_FLOAT_EQ(line->fade_out_gain, 1.0f - k * 0.0078125f);
        EXPECT_EQ(line->fading, k < 128) << k;
    }
}

TEST(ModDelay, ShorterCrossfadeDuringAFadeKeepsGainsInRange)
{
    Lines lines;
    set_crossfade(lines.line, 100.0f, 48000.0f);
    set_pitch(&lines.line[0], 7.0f);
    set_feedback(lines.line, 100.0f);
    ModDelayLine* line = &lines.line[0];
    float peak = 0.0f;
    for (int i = 0; i < 96000; ++i) {
        if (i == 20000) set_crossfade(lines.line, 1.0f, 48000.0f);
        const float x = (i % 480) < 240 ? 0.5f : -0.5f;
        const float y = mod_delay_tick(line, x);
        ASSERT_GE(line->fade_in_gain, 0.0f);
        ASSERT_LE(line->fade_in_gain, 1.0f);
        ASSERT_GE(line->fade_out_gain, 0.0f);
        ASSERT_LE(line->fade_out_gain, 1.0f);
        peak = std::fmax(peak, std::fabs(y));
    }
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 100.0f);
}

TEST(ModDelay, SettersGiveTheDocumentedSizesAndLengths)
{
    Lines lines;
    set_delay_time(lines.line, 500.0f, 48000.0f);
    EXPECT_EQ(lines.line[0].size, 21600u);
    EXPECT_EQ(lines.line[1].size, 22896u);
    EXPECT_EQ(lines.line[2].size, 24269u);
    EXPECT_EQ(lines.line[3].size, 25725u);
    set_delay_time(lines.line, 120.0f, 44100.0f);
    EXPECT_EQ(lines.line[0].size, 4762u);
    EXPECT_EQ(lines.line[1].size, 5048u);
    EXPECT_EQ(lines.line[2].size, 5351u);
    EXPECT_EQ(lines.line[3].size, 5672u);

    set_crossfade(lines.line, 2.6667f, 48000.0f);
    EXPECT_EQ(lines.line[0].fade_length, 128u);
    set_crossfade(lines.line, 30.0f, 44100.0f);
    EXPECT_EQ(lines.line[2].fade_length, 1323u);
    EXPECT_EQ(lines.line[2].fade_step, 1.0f / 1323.0f);
    // speed 0.5: guard = 1323 * 0.5 + 1
    EXPECT_EQ(lines.line[2].guard, 662);

    set_modulation(lines.line, 10.0f);
    EXPECT_EQ(lines.line[0].lfo_depth, 10.0f * 1.6999999f);
    EXPECT_EQ(lines.line[0].lfo_increment, 0.5f * 2.0833333e-05f);
    EXPECT_EQ(lines.line[3].lfo_increment, ((0.5f * 1.2f) * 1.2f) * 1.2f * 2.0833333e-05f);

    set_pitch(&lines.line[1], 12.0f);
    EXPECT_NEAR(lines.line[1].speed, 2.0f, 1e-5f);
    EXPECT_EQ(lines.line[0].speed, 0.5f);
}

TEST(ModDelay, TriangleModulationRestartsAtPhaseOne)
{
    Lines lines;
    ModDelayLine* line = &lines.line[0];
    line->lfo_increment = 0.25f;
    line->lfo_depth = 8.0f;
    const float expected[] = {2.0f, 4.0f, 2.0f, 0.0f, 2.0f};  // phase .25 .5 .75 1->0 .25
    for (float e : expected) {
        mod_delay_tick(line, 0.0f);
        EXPECT_EQ(line->mod_offset, e);
    }
}

TEST(ModDelay, BadSetterValuesStayDefined)
{
    const float bad[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, -5.0f, 0.0f};
    for (float v : bad) {
        Lines lines;
        set_delay_time(lines.line, v, 48000.0f);
        set_crossfade(lines.line, v, 48000.0f);
        set_modulation(lines.line, v);
        set_mix(lines.line, v);
        set_feedback(lines.line, v);
        for (ModDelayLine& l : lines.line) set_pitch(&l, v);
        set_pitch(&lines.line[3], 12.0f);  // a head faster than the write head
        for (ModDelayLine& l : lines.line) {
            EXPECT_GE(l.size, 1u);
            EXPECT_LE(l.size, 32000u);
            EXPECT_GE(l.fade_length, 1u);
            EXPECT_LE(l.fade_length, 32000u);
        }
        for (int i = 0; i < 3000; ++i)
            for (ModDelayLine& l : lines.line) {
                mod_delay_tick(&l, 0.5f);
                ASSERT_LT(l.write_pos, l.size);
            }
    }
}
