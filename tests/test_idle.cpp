// The idle path against plain processing: the float walks against repeated
// additions, a silent delay line's and tank's time keeping against their
// per-sample steps, and whole instances (every mode, control changes, mode
// switches and ramps during silence, resuming at any sample) against a twin
// that never idles: every output bit and every field equal.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "dsp/float_walk.h"
#include "dsp/mod_delay.h"
#include "dsp/mod_delay_steps.h"
#include "dsp/tank.h"
#include "engine/idle.h"
#include "harness.h"
#include "state_compare.h"

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
        ASSERT_EQ(float_bits(slow), float_bits(fast)) << "up, trial " << trial << " taken " << taken;
        walked += taken;

        float down = x;
        const uint64_t down_taken = float_walk_down(&down, s, n);
        float slow_down = x;
        for (uint64_t j = 0; j < down_taken; ++j) slow_down = slow_down - s;
        ASSERT_GT(slow_down, 0.0f);
        ASSERT_EQ(float_bits(slow_down), float_bits(down)) << "down, trial " << trial;
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
            ASSERT_TRUE(same_delay_line(*walked, *ticked))
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
        // Every other trial with modulated reads, stopped anywhere in a segment.
        if (trial % 2) {
            tank_mod_setup(stepped.get(), trial % TANK_COUNT, 48000.0f);
            stepped->mod_depth = r.between(1.0f, 90.0f);
            stepped->mod_index = r.next() % TANK_MOD_SEGMENT;
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
            ASSERT_TRUE(same_tank(*walked, *stepped))
                << "trial " << trial << " change " << change;
        }
    }
}

namespace {

// Two instances fed alike: one may idle, the other never does.
struct Twins {
    Host idle, plain;
    Twins(float rate, int mode)
        : idle(rate), plain(rate)
    {
        plain.dsp()->watch.enabled = false;
        for (Host* h : {&idle, &plain}) {
            h->controls[PORT_MODE_SEL] = static_cast<float>(mode);
            h->controls[PORT_DECAY_MS] = 300.0f;  // tails reach zero within seconds
            h->controls[PORT_PITCH_0] = 12.0f;    // heads jump and crossfade all the time
            h->controls[PORT_PITCH_1] = -7.0f;
            h->controls[PORT_PITCH_2] = 0.5f;
            h->controls[PORT_DELAY_MS] = 40.0f;
            // Odd modes with the tanks' reads moving: they rest as well.
            h->controls[PORT_TANK_MOD] = mode % 2 ? 60.0f : 0.0f;
        }
    }
    void set(int port, float value)
    {
        idle.controls[port] = value;
        plain.controls[port] = value;
    }
    // Both sides field by field (tests/state_compare.h).
    bool equal_state()
    {
        engine_keep_time(idle.dsp());
        const ControlState& a = idle.instance()->controls;
        const ControlState& b = plain.instance()->controls;
        bool same = same_signal_state(*idle.dsp(), *plain.dsp()) &&
                    std::memcmp(a.last_value, b.last_value, sizeof a.last_value) == 0 &&
                    std::memcmp(a.seen_bits, b.seen_bits, sizeof a.seen_bits) == 0 &&
                    a.started == b.started && a.seen == b.seen;
        for (int r = 0; r < RAMP_COUNT; ++r)
            same = same && a.ramps[r].period == b.ramps[r].period &&
                   a.ramps[r].counter == b.ramps[r].counter &&
                   float_bits(a.ramps[r].target) == float_bits(b.ramps[r].target) &&
                   float_bits(a.ramps[r].current) == float_bits(b.ramps[r].current) &&
                   float_bits(a.ramps[r].step) == float_bits(b.ramps[r].step);
        return same;
    }
};

}  // namespace

TEST(Idle, InstancesEqualPlainProcessingThroughSilencesAndChanges)
{
    // Per mode: noise bursts, silences shorter and longer than the time to
    // exact zero, control changes and ramps in the silences, periods of
    // random length so that input resumes at any sample.
    for (int mode = 0; mode < 5; ++mode) {
        Random r{static_cast<uint64_t>(mode + 1)};
        Twins t(48000.0f, mode);
        uint64_t idle_samples = 0, wakes_while_fading = 0;
        int idle_periods = 0;
        for (int burst = 0; burst < 6; ++burst) {
            const uint32_t sound = 2000 + r.next() % 20000;
            // Tails here reach exact zero after about 3.5 s.
            const uint32_t silence = burst % 3 == 0 ? 1000 + r.next() % 5000 : 300000 + r.next() % 200000;
            uint32_t done = 0;
            while (done < sound + silence) {
                const uint32_t n = 1 + r.next() % 700;
                for (uint32_t i = 0; i < n; ++i) {
                    const uint32_t at = done + i;
                    const float x = at < sound ? r.between(-0.5f, 0.5f) : 0.0f;
                    t.idle.in[i] = x;
                    t.plain.in[i] = x;
                }
                if (done > sound && r.next() % 40 == 0) {
                    // A change in the silence (possibly while idle).
                    switch (r.next() % 10) {
                    case 0: t.set(PORT_SIZE_MIN, r.between(1.0f, 20.0f)); break;
                    case 1: t.set(PORT_SIZE_MAX, r.between(20.0f, 120.0f)); break;
                    case 2: t.set(PORT_WET_A_DB, r.between(-40.0f, -10.0f)); break;  // ramps
                    case 3: t.set(PORT_DECAY_MS, r.between(200.0f, 400.0f)); break;  // ramps
                    case 4: t.set(PORT_PITCH_3, r.between(-24.0f, 24.0f)); break;
                    case 5:
                        t.set(PORT_XFADE_MS, r.between(1.0f, 60.0f));
                        // The tanks' modulation on, off or changed while idle.
                        t.set(PORT_TANK_MOD, t.idle.controls[PORT_XFADE_MS] < 20.0f ? 0.0f
                                                                                     : t.idle.controls[PORT_XFADE_MS]);
                        break;
                    case 6: t.set(PORT_HP_LOW, r.between(10.0f, 60.0f)); break;
                    // Lowpass off on some lines: highpass-only lines rest
                    // with a line output of -0.
                    case 7: t.set(PORT_LP_LOW, r.between(15000.0f, 20000.0f)); break;
                    case 8: t.set(PORT_DIFFUSION_PCT, r.next() % 2 ? 0.0f : r.between(-90.0f, 90.0f)); break;
                    default: t.set(PORT_MOD_DEPTH, r.between(0.0f, 30.0f)); break;
                    }
                }
                const bool was_idle = t.idle.dsp()->watch.idle;
                t.idle.run(n);
                t.plain.run(n);
                ASSERT_EQ(0, std::memcmp(t.idle.out_l.data(), t.plain.out_l.data(), n * sizeof(float)))
                    << "mode " << mode << " burst " << burst << " at " << done;
                ASSERT_EQ(0, std::memcmp(t.idle.out_r.data(), t.plain.out_r.data(), n * sizeof(float)))
                    << "mode " << mode << " burst " << burst << " at " << done;
                if (was_idle) {
                    idle_samples += n;
                    ++idle_periods;
                    if (!t.idle.dsp()->watch.idle)
                        for (const ModDelayLine& l : t.plain.dsp()->delay_lines)
                            wakes_while_fading += l.fading ? 1 : 0;
                }
                done += n;
            }
            ASSERT_TRUE(t.equal_state()) << "mode " << mode << " burst " << burst;
        }
        // Switch mode in the silence: the new mode's tanks are not silent
        // everywhere, so it must wake and process.
        t.set(PORT_MODE_SEL, static_cast<float>((mode + 1) % 5));
        for (int p = 0; p < 200; ++p) {
            t.idle.run(256);
            t.plain.run(256);
            ASSERT_EQ(0, std::memcmp(t.idle.out_l.data(), t.plain.out_l.data(), 256 * sizeof(float)));
            ASSERT_EQ(0, std::memcmp(t.idle.out_r.data(), t.plain.out_r.data(), 256 * sizeof(float)));
        }
        EXPECT_TRUE(t.equal_state());
        // The path under test was taken, and woke in the middle of crossfades.
        EXPECT_GT(idle_samples, 500000u) << "mode " << mode;
        EXPECT_GT(wakes_while_fading, 0u) << "mode " << mode;
        EXPECT_GT(idle_periods, 100) << "mode " << mode;
    }
}

TEST(Idle, StereoAndBypassedInstancesIdleAlike)
{
    // A bypassed mono instance (its output the dry input), and the stereo
    // variant with sides that cancel: the reverb hears +0 and rests while
    // each output carries its own dry side.
    {
        Twins t(44100.0f, 2);
        t.set(PORT_ENABLED, 0.0f);
        Random r{99};
        int idle_periods = 0;
        for (int p = 0; p < 3600; ++p) {
            const uint32_t n = 1 + r.next() % 512;
            idle_periods += t.idle.dsp()->watch.idle ? 1 : 0;
            for (uint32_t i = 0; i < n; ++i) {
                const bool sound = p < 20 || (p % 1200 == 600 && i == n / 2);
                t.idle.in[i] = t.plain.in[i] = sound ? r.between(-0.5f, 0.5f) : 0.0f;
            }
            t.idle.run(n);
            t.plain.run(n);
            ASSERT_EQ(0, std::memcmp(t.idle.out_l.data(), t.plain.out_l.data(), n * sizeof(float)))
                << "bypassed, period " << p;
            ASSERT_EQ(0, std::memcmp(t.idle.out_r.data(), t.plain.out_r.data(), n * sizeof(float)));
        }
        EXPECT_TRUE(t.equal_state());
        EXPECT_GT(idle_periods, 1000);
    }
    StereoHost a(8192, 48000.0), b(8192, 48000.0);
    b.dsp()->watch.enabled = false;
    for (StereoHost* h : {&a, &b}) h->controls[PORT_DECAY_MS] = 300.0f;
    Random r{4};
    int idle_periods = 0;
    for (int p = 0; p < 3600; ++p) {
        const uint32_t n = 1 + r.next() % 512;
        for (uint32_t i = 0; i < n; ++i) {
            const float x = r.between(-0.5f, 0.5f);
            const bool mono_sound = p < 20 || p % 1200 == 1199;
            a.in_l[i] = b.in_l[i] = x;
            a.in_r[i] = b.in_r[i] = mono_sound ? r.between(-0.5f, 0.5f) : -x;
        }
        idle_periods += a.dsp()->watch.idle ? 1 : 0;
        a.run(n);
        b.run(n);
        ASSERT_EQ(0, std::memcmp(a.out_l.data(), b.out_l.data(), n * sizeof(float))) << "stereo, period " << p;
        ASSERT_EQ(0, std::memcmp(a.out_r.data(), b.out_r.data(), n * sizeof(float))) << "stereo, period " << p;
    }
    engine_keep_time(a.dsp());
    EXPECT_TRUE(same_signal_state(*a.dsp(), *b.dsp()));
    EXPECT_GT(idle_periods, 1000);
}

TEST(Idle, FrozenTailNeverIdlesAndSoundWakesAtOnce)
{
    Host h(48000.0);
    h.controls[PORT_DECAY_MS] = 200000.0f;  // frozen
    std::vector<float> l, r;
    std::vector<float> burst(24000, 0.0f), silence(48000 * 10, 0.0f);
    Random rnd{3};
    for (float& x : burst) x = rnd.between(-0.5f, 0.5f);
    h.render(burst, 256, &l, &r);
    std::fill(h.in.begin(), h.in.end(), 0.0f);
    for (size_t s = 0; s < silence.size(); s += 256) {
        h.run(256);
        ASSERT_FALSE(h.dsp()->watch.idle) << "at " << s;
    }

    // A short tail goes idle; one sample of sound then plays at once.
    Host a(48000.0);
    a.controls[PORT_DECAY_MS] = 100.0f;
    a.render(burst, 256, &l, &r);
    std::fill(a.in.begin(), a.in.end(), 0.0f);
    for (int p = 0; p < 48000 * 6 / 256 && !a.dsp()->watch.idle; ++p) a.run(256);
    ASSERT_TRUE(a.dsp()->watch.idle);
    a.controls[PORT_DRY_DB] = -120.0f;
    for (int p = 0; p < 200; ++p) a.run(256);  // the dry ramp settles
    ASSERT_TRUE(a.dsp()->watch.idle);
    std::fill(a.in.begin(), a.in.end(), 0.0f);
    a.in[100] = 1.0f;
    a.run(4096);
    EXPECT_FALSE(a.dsp()->watch.idle);
    float peak = 0.0f;
    size_t first = 4096;
    for (size_t i = 0; i < 4096; ++i) {
        peak = std::max(peak, std::fabs(a.out_l[i]));
        if (first == 4096 && a.out_l[i] != 0.0f) first = i;
    }
    EXPECT_GT(peak, 1e-4f);
    EXPECT_LT(first, 4096u);
}

TEST(Idle, ModeSwitchWakesIntoTanksThatStillHoldATail)
{
    // Mode 1 hears a burst; mode 0 then leaves the tanks standing with their
    // tail while its delay lines fall silent and the instance idles;
    // switching back must play that tail.
    Twins t(48000.0f, 1);
    Random r{8};
    for (int p = 0; p < 40; ++p) {
        for (uint32_t i = 0; i < 256; ++i) t.idle.in[i] = t.plain.in[i] = r.between(-0.5f, 0.5f);
        t.idle.run(256);
        t.plain.run(256);
    }
    std::fill(t.idle.in.begin(), t.idle.in.end(), 0.0f);
    std::fill(t.plain.in.begin(), t.plain.in.end(), 0.0f);
    t.set(PORT_MODE_SEL, 0.0f);
    for (int p = 0; p < 48000 * 8 / 256 && !t.idle.dsp()->watch.idle; ++p) {
        t.idle.run(256);
        t.plain.run(256);
    }
    ASSERT_TRUE(t.idle.dsp()->watch.idle);
    t.set(PORT_MODE_SEL, 1.0f);
    float peak = 0.0f;
    for (int p = 0; p < 20; ++p) {
        t.idle.run(256);
        t.plain.run(256);
        ASSERT_EQ(0, std::memcmp(t.idle.out_l.data(), t.plain.out_l.data(), 256 * sizeof(float)));
        ASSERT_EQ(0, std::memcmp(t.idle.out_r.data(), t.plain.out_r.data(), 256 * sizeof(float)));
        for (uint32_t i = 0; i < 256; ++i) peak = std::max(peak, std::fabs(t.idle.out_l[i]));
    }
    EXPECT_GT(peak, 1e-3f);
    EXPECT_TRUE(t.equal_state());
}
