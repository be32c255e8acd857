// Time keeping over silence against plain processing: the float walks
// against repeated additions, a silent delay line's and tank's time keeping
// against their per-sample steps: every field equal.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "dsp/float_walk.h"
#include "dsp/mod_delay.h"
#include "dsp/mod_delay_steps.h"
#include "dsp/tank.h"

namespace {

struct Random {
    uint64_t s;
    uint32_t next()
    {
        s = s * UINT64_C(6364136223846793005) + UINT64_C(1442695040888963407);
        return static_cast<uint32_t>(s >> 33);
    }
    float between(float lo, float hi)
    {
        return lo + (hi - lo) * static_cast<float>(next() >> 8) / 16777216.0f;
    }
};

uint32_t bits_of(float x)
{
    uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

}  // namespace

TEST(Idle, FloatWalksEqualRepeatedAdditions)
{
    Random r{7};
    uint64_t walked = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        // Starting points and steps over many binades, steps whose lowest bit
        // makes halfway sums in some binade, limits near and far.
        float x = std::ldexp(r.between(1.0f, 2.0f), static_cast<int>(r.next() % 40) - 30);
        float s = std::ldexp(r.between(1.0f, 2.0f), static_cast<int>(r.next() % 30) - 28);
        if (trial % 4 == 0) s = std::ldexp(static_cast<float>(1 + 2 * (r.next() % 64)), -(int)(r.next() % 30));
        const float limit = trial % 3 == 0 ? x * r.between(1.0f, 4.0f) : 32000.0f;
        const uint64_t n = 1 + r.next() % 5000;

        float fast = x;
        const uint64_t taken = float_walk_up(&fast, s, n, limit);
        float slow = x;
        for (uint64_t j = 0; j < taken; ++j) {
            slow = slow + s;
            ASSERT_LT(slow, limit) << "trial " << trial << " step " << j;
        }
        ASSERT_EQ(bits_of(slow), bits_of(fast)) << "up, trial " << trial << " taken " << taken;
        walked += taken;

        float down = x;
        const uint64_t down_taken = float_walk_down(&down, s, n);
        float slow_down = x;
        for (uint64_t j = 0; j < down_taken; ++j) slow_down = slow_down - s;
        ASSERT_GT(slow_down, 0.0f);
        ASSERT_EQ(bits_of(slow_down), bits_of(down)) << "down, trial " << trial;
        walked += down_taken;
    }
    EXPECT_GT(walked, 1000000u);  // the walks do take long runs at once
}

namespace {

// A delay line with random settings and positions, its circle silent.
void random_silent_line(ModDelayLine* line, Random* r)
{
    mod_delay_setup(line);
    ModDelayLine lines[MOD_DELAY_COUNT];
    for (ModDelayLine& l : lines) l = *line;
    set_delay_time(lines, r->between(1.0f, 600.0f), 48000.0f);
    set_crossfade(lines, r->between(1.0f, 100.0f), 48000.0f);
    set_modulation(lines, r->next() % 4 == 0 ? 0.0f : r->between(0.0f, 100.0f));
    *line = lines[r->next() % MOD_DELAY_COUNT];
    const float pitches[] = {0.0f, 12.0f, -12.0f, 7.0f, -24.0f, 24.0f, 0.3f, -48.0f, 48.0f};
    set_pitch(line, r->next() % 2 ? pitches[r->next() % 9] : r->between(-48.0f, 48.0f));
    const float fsize = static_cast<float>(line->size);
    line->write_pos = r->next() % line->size;
    line->read_pos = r->between(0.0f, 1.0f) * fsize;
    if (!(line->read_pos < fsize)) line->read_pos = 0.0f;
    line->lfo_phase = r->between(0.0f, 1.0f);
    if (r->next() % 3 == 0) {
        // In the middle of a crossfade.
        line->fading = true;
        line->fade_pos = r->between(0.0f, 1.0f) * fsize;
        if (!(line->fade_pos < fsize)) line->fade_pos = 0.0f;
        line->fade_countdown = 1 + r->next() % line->fade_length;
        line->fade_in_gain = 1.0f - line->fade_step * static_cast<float>(line->fade_countdown);
        if (line->fade_in_gain < 0.0f) line->fade_in_gain = 0.0f;
        line->fade_out_gain = 1.0f - line->fade_in_gain;
    }
}

}  // namespace

TEST(Idle, SilentDelayLineKeepsTimeAsItsTicksDo)
{
    Random r{11};
    auto walked = std::make_unique<ModDelayLine>();
    auto ticked = std::make_unique<ModDelayLine>();
    int jumps = 0;
    for (int trial = 0; trial < 300; ++trial) {
        random_silent_line(ticked.get(), &r);
        std::memcpy(walked.get(), ticked.get(), sizeof(ModDelayLine));
        // Several stretches, so that each starts from a walked state.
        for (int stretch = 0; stretch < 4; ++stretch) {
            const uint64_t n = 1 + r.next() % (stretch == 0 ? 40000 : 3000);
            const bool was_fading = ticked->fading;
            for (uint64_t j = 0; j < n; ++j) {
                mod_delay_tick(ticked.get(), 0.0f);
                jumps += !was_fading && ticked->fading ? 1 : 0;
            }
            mod_delay_keep_time(walked.get(), n);
            ASSERT_EQ(0, std::memcmp(walked.get(), ticked.get(), sizeof(ModDelayLine)))
                << "trial " << trial << " stretch " << stretch << " n " << n;
        }
    }
    EXPECT_GT(jumps, 100);  // head jumps and crossfades did happen in the silence
}

TEST(Idle, SilentTankKeepsTimeThroughLengthChanges)
{
    Random r{5};
    auto walked = std::make_unique<FdnTank>();
    auto stepped = std::make_unique<FdnTank>();
    auto tanks = std::make_unique<FdnTank[]>(TANK_COUNT);  // the lengths come from a full setup
    for (int trial = 0; trial < 12; ++trial) {
        tank_setup(stepped.get(), 48000.0f);
        // Beyond each circle: what a longer circle left there, which a
        // growing step overwrites.
        for (TankLine& line : stepped->lines)
            for (int i = 0; i < TANK_LINE_BUFFER; ++i)
                line.buffer[i] = i >= 101 + (int)(r.next() % 600) ? r.between(-1.0f, 1.0f) : 0.0f;
        for (TankLine& line : stepped->lines) {
            line.plan.length = 101;
            line.plan.next_length = 0;
            line.write_pos = r.next() % 101;
        }
        std::memcpy(walked.get(), stepped.get(), sizeof(FdnTank));
        for (int change = 0; change < 3; ++change) {
            // New room sizes: lengths move step by step at wraps, up or down.
            Rng rng;
            rng_seed(&rng, 1);
            for (int k = 0; k < TANK_COUNT; ++k) std::memcpy(&tanks[k], stepped.get(), sizeof(FdnTank));
            setup_tank_lines(tanks.get(), r.between(0.5f, 30.0f), r.between(10.0f, 120.0f), &rng);
            for (int k = 0; k < TANK_LINES; ++k) {
                stepped->lines[k].plan = tanks[0].lines[k].plan;
                walked->lines[k].plan = tanks[0].lines[k].plan;
            }
            const uint64_t n = 1 + r.next() % 120000;
            for (uint64_t j = 0; j < n; ++j) tank_step(stepped.get(), 0.0f);
            tank_keep_time(walked.get(), n);
            ASSERT_EQ(0, std::memcmp(walked.get(), stepped.get(), sizeof(FdnTank)))
                << "trial " << trial << " change " << change;
        }
    }
}
