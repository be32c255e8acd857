#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/mode_wiring.h"
#include "harness.h"
#include "instance/fp_guard.h"

namespace {

// Settings that make the front end transparent (no diffusion, delay lines
// passing their input exactly), so tank behaviour is visible directly.
void transparent_front_end(Host* host)
{
    host->controls[PORT_DIFFUSION_PCT] = 0.0f;
    host->controls[PORT_DELAY_MIX] = 0.0f;
}

}  // namespace

TEST(Modes, WidthZeroGivesIdenticalChannelsInEveryMode)
{
    for (int mode = 0; mode <= 4; ++mode) {
        Host host;
        host.controls[PORT_MODE_SEL] = static_cast<float>(mode);
        host.controls[PORT_WIDTH] = 0.0f;
        std::vector<float> l, r;
        host.render(noise_burst(24000, 4000), 256, &l, &r);
        EXPECT_TRUE(same_bits(l, r)) << mode;
        EXPECT_NE(l[20000], 0.0f) << mode;
    }
}

TEST(Modes, StereoTankSplitsEvenAndOddLines)
{
    for (int mode = 2; mode <= 4; ++mode) {
        Host host;
        host.controls[PORT_MODE_SEL] = static_cast<float>(mode);
        host.run(0);
        for (FdnTank& tank : host.dsp()->tanks) tank.cross_mix = 0.0f;
        std::vector<float> input = noise_burst(6000, 2000);
        for (size_t i = 0; i < input.size(); ++i) {
            host.in[0] = input[i];
            host.run(1);
            const float* l = host.dsp()->tanks[3].line_out;
            const float g = host.dsp()->wet_gain_b * host.dsp()->wet_gain_a;
            const float d = host.dsp()->dry_gain * input[i];
            ASSERT_EQ(host.out_l[0], std::fma(g, (l[0] + l[2]) + (l[4] + l[6]), d)) << i;
            ASSERT_EQ(host.out_r[0], std::fma(g, (l[1] + l[3]) + (l[5] + l[7]), d)) << i;
        }
    }
}

TEST(Modes, ParallelModeKeepsTheSidesApartWithoutCrossMix)
{
    Host a, b;
    for (Host* h : {&a, &b}) {
        h->run(0);
        h->dsp()->cross_mix = 0.0f;
    }
    std::vector<float> al, ar, bl, br;
    a.render(noise_burst(4000, 4000), 128, &al, &ar);
    b.render(noise_burst(4000, 4000), 128, &bl, &br);
    // Disturb the tanks of the right side only.
    for (int t = 0; t < 2; ++t)
        for (TankLine& line : b.dsp()->tanks[t].lines) line.buffer[3] += 0.5f;
    std::vector<float> silence(20000, 0.0f);
    a.render(silence, 128, &al, &ar);
    b.render(silence, 128, &bl, &br);
    EXPECT_TRUE(same_bits(al, bl));
    EXPECT_FALSE(same_bits(ar, br));
}

TEST(Modes, WetGainZeroLeavesOnlyTheDryPart)
{
    for (int mode = 0; mode <= 4; ++mode) {
        Host host;
        host.controls[PORT_MODE_SEL] = static_cast<float>(mode);
        std::vector<float> l, r;
        host.render(noise_burst(8000, 8000), 512, &l, &r);
        host.dsp()->wet_gain_a = 0.0f;
        std::vector<float> input = noise_burst(2000, 2000, 7);
        host.render(input, 512, &l, &r);
        const float dry = host.dsp()->dry_gain;
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_EQ(l[i], dry * input[i]) << mode;
            ASSERT_EQ(r[i], dry * input[i]) << mode;
        }
    }
}

TEST(Modes, ExchangingTheWetGainsChangesNothing)
{
    Host a, b;
    a.controls[PORT_WET_A_DB] = -10.0f;
    a.controls[PORT_WET_B_DB] = -3.0f;
    b.controls[PORT_WET_A_DB] = -3.0f;
    b.controls[PORT_WET_B_DB] = -10.0f;
    std::vector<float> input = noise_burst(12000, 6000), al, ar, bl, br;
    a.render(input, 1000, &al, &ar);  // ramps arrive within the first 2000 samples
    b.render(input, 1000, &bl, &br);
    al.erase(al.begin(), al.begin() + 2000);
    bl.erase(bl.begin(), bl.begin() + 2000);
    EXPECT_TRUE(same_bits(al, bl));
}

TEST(Modes, SwitchingModesLeavesUnusedTanksAsTheyWere)
{
    Host host;
    std::vector<float> l, r;
    host.render(noise_burst(10000, 10000), 256, &l, &r);
    auto tanks = std::make_unique<FdnTank[]>(TANK_COUNT);
    std::memcpy(tanks.get(), host.dsp()->tanks, sizeof(FdnTank) * TANK_COUNT);
    host.controls[PORT_MODE_SEL] = 0.0f;
    host.render(noise_burst(5000, 5000, 3), 256, &l, &r);
    EXPECT_EQ(0, std::memcmp(tanks.get(), host.dsp()->tanks, sizeof(FdnTank) * TANK_COUNT));
    host.controls[PORT_MODE_SEL] = 1.0f;
    host.render(std::vector<float>(5000, 0.0f), 256, &l, &r);
    EXPECT_NE(r.back(), 0.0f) << "the tail resumes";
}

TEST(Modes, ModeZeroIsTheSumOfTheFourDelayLines)
{
    Host host;
    host.controls[PORT_MODE_SEL] = 0.0f;
    host.controls[PORT_DIFFUSION_PCT] = 0.0f;
    host.controls[PORT_PITCH_1] = 5.0f;
    host.run(0);
    auto reference = std::make_unique<ModDelayLine[]>(MOD_DELAY_COUNT);
    std::memcpy(reference.get(), host.dsp()->delay_lines, sizeof(ModDelayLine) * MOD_DELAY_COUNT);
    std::vector<float> input = impulse(20000, 10), l, r;
    host.render(input, 64, &l, &r);
    EXPECT_TRUE(same_bits(l, r));
    const float d = host.dsp()->dry_gain;
    const float g = host.dsp()->wet_gain_b * host.dsp()->wet_gain_a;
    FpGuard guard;  // the same flush-to-zero environment as inside run
    fp_guard_enter(&guard);
    for (size_t i = 0; i < input.size(); ++i) {
        float out[4];
        for (int k = 0; k < 4; ++k) out[k] = mod_delay_tick(&reference[k], input[i]);
        const float wet = (out[0] + out[1]) + (out[2] + out[3]);
        ASSERT_EQ(l[i], std::fma(g, wet, d * input[i])) << i;
    }
    fp_guard_leave(&guard);
}

TEST(Modes, ImpulseLeavesATankLineAfterItsLengthFromTheFirstPeriod)
{
    Host host;
    transparent_front_end(&host);
    host.run(0);
    const uint64_t length = host.dsp()->tanks[0].line_lengths[0];
    ASSERT_EQ(host.dsp()->tanks[0].lines[0].plan.length, length);
    for (uint64_t i = 0; i <= length; ++i) {
        host.in[0] = i == 0 ? 1.0f : 0.0f;
        host.run(1);
        const float out = host.dsp()->tanks[0].line_out[0];
        if (i < length)
            ASSERT_EQ(out, 0.0f) << i;
        else
            EXPECT_NE(out, 0.0f);
    }
}

TEST(Modes, ModeFourIsSilentUntilTheParallelTanksAnswer)
{
    Host host;
    host.controls[PORT_MODE_SEL] = 4.0f;
    host.controls[PORT_DIFFUSION_PCT] = 0.0f;
    host.run(0);
    uint64_t shortest = UINT64_MAX;
    for (int t = 0; t < 3; ++t)
        for (const TankLine& line : host.dsp()->tanks[t].lines)
            shortest = std::min(shortest, line.plan.length);
    std::vector<float> l, r;
    host.render(impulse(shortest + 4000, 0), 64, &l, &r);
    for (uint64_t i = 1; i <= shortest; ++i) ASSERT_EQ(l[i], 0.0f) << i;
    float energy = 0.0f;
    for (float v : l) energy += v * v;
    EXPECT_GT(energy, 0.0f);
}

TEST(Modes, SeriesModeFeedsTheFrontEndStraightIntoTheLastTank)
{
    Host host;
    host.controls[PORT_MODE_SEL] = 3.0f;
    transparent_front_end(&host);
    host.run(0);
    // While tanks 1 and 2 are silent, tank 3 receives the input itself: its
    // line 0 answers after exactly its own length.
    const uint64_t length = host.dsp()->tanks[3].lines[0].plan.length;
    for (uint64_t i = 0; i <= length; ++i) {
        host.in[0] = i == 0 ? 1.0f : 0.0f;
        host.run(1);
    }
    EXPECT_NE(host.dsp()->tanks[3].line_out[0], 0.0f);
    EXPECT_NE(host.dsp()->tanks[0].lines[0].write_pos, 0u) << "tank 0 keeps advancing";
}

TEST(Modes, ModeFourChainsTheDelayLinesOnTheParallelTankSum)
{
    Host host;
    host.controls[PORT_MODE_SEL] = 4.0f;
    host.controls[PORT_SIZE_MIN] = 0.5f;  // short lines: the tanks answer soon
    host.controls[PORT_SIZE_MAX] = 2.0f;
    host.controls[PORT_PITCH_1] = 7.0f;
    host.controls[PORT_PITCH_2] = -5.0f;
    host.run(0);
    DspState* dsp = host.dsp();
    auto reference = std::make_unique<ModDelayLine[]>(MOD_DELAY_COUNT);
    std::memcpy(reference.get(), dsp->delay_lines, sizeof(ModDelayLine) * MOD_DELAY_COUNT);
    std::vector<float> input = noise_burst(3000, 400);
    FpGuard guard;
    for (size_t i = 0; i < input.size(); ++i) {
        host.in[0] = input[i];
        host.run(1);
        // The sum of tanks 0, 1 and 2 as the replace and add forms build it.
        const float* t0 = dsp->tanks[0].line_out;
        float s = ((t0[0] + t0[1]) + (t0[2] + t0[3])) + ((t0[4] + t0[5]) + (t0[6] + t0[7]));
        for (int t = 1; t < 3; ++t)
            for (int k = 0; k < 8; ++k) s = s + dsp->tanks[t].line_out[k];
        fp_guard_enter(&guard);
        const float a = mod_delay_tick(&reference[0], s);
        mod_delay_tick(&reference[1], a);
        const float b = mod_delay_tick(&reference[3], s);
        mod_delay_tick(&reference[2], b);
        fp_guard_leave(&guard);
        ASSERT_EQ(0, std::memcmp(reference.get(), dsp->delay_lines,
                                 sizeof(ModDelayLine) * MOD_DELAY_COUNT))
            << i;
    }
}

// Should a history ever turn non-finite, the block's reverb is silenced (the
// dry term still plays), every history is cleared and the tail starts again
// from silence with the settings, lengths and positions kept.
TEST(Modes, NonFiniteHistoryIsClearedWithinOneBlock)
{
    for (int mode = 0; mode <= 4; ++mode) {
        Host host;
        host.controls[PORT_MODE_SEL] = static_cast<float>(mode);
        std::vector<float> l, r;
        host.render(noise_burst(4096, 2048), 256, &l, &r);
        DspState* dsp = host.dsp();
        const uint64_t length = dsp->tanks[2].lines[3].plan.length;
        const uint64_t write_pos = dsp->delay_lines[1].write_pos;
        for (float& x : dsp->tanks[2].lines[3].buffer) x = NAN;
        for (float& x : dsp->delay_lines[1].buffer) x = NAN;

        std::vector<float> input(16, 0.25f);
        host.render(input, 16, &l, &r);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(l[i], dsp->dry_gain * 0.25f) << "mode " << mode;
            EXPECT_EQ(r[i], dsp->dry_gain * 0.25f) << "mode " << mode;
        }
        EXPECT_EQ(dsp->tanks[2].lines[3].plan.length, length);
        EXPECT_EQ(dsp->delay_lines[1].write_pos, (write_pos + 16) % dsp->delay_lines[1].size);

        host.render(std::vector<float>(4096, 0.0f), 256, &l, &r);
        for (size_t i = 0; i < l.size(); ++i) {
            ASSERT_EQ(l[i], 0.0f) << "mode " << mode << " sample " << i;
            ASSERT_EQ(r[i], 0.0f) << "mode " << mode << " sample " << i;
        }
        host.render(noise_burst(4096, 512), 256, &l, &r);
        float peak = 0.0f;
        for (float x : l) peak = std::fmax(peak, std::fabs(x));
        EXPECT_GT(peak, 0.0f) << "the reverb plays again, mode " << mode;
    }
}

// The modes' wiring table says which building blocks each mode hears; the
// processing must agree. Noise written into the memory of a block the table
// leaves out (or lists but overwrites, as tank 0 in mode 3) changes nothing;
// noise in a block it hears changes the output.
TEST(Modes, WiringTableNamesExactlyTheBlocksThatReachTheOutput)
{
    uint32_t seed = 99;
    auto noise = [&seed](float* data, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            seed = seed * 1664525u + 1013904223u;
            data[i] = static_cast<float>(static_cast<int32_t>(seed)) * (0.25f / 2147483648.0f);
        }
    };
    const std::vector<float> input = noise_burst(4096, 512);
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        const uint32_t heard = mode_heard_components(mode);
        for (int c = 0; c < COMPONENT_COUNT; ++c) {
            Host plain, poisoned;
            for (Host* h : {&plain, &poisoned}) {
                h->controls[PORT_MODE_SEL] = static_cast<float>(mode);
                h->run(0);
            }
            DspState* d = poisoned.dsp();
            if (c == COMPONENT_DIFFUSERS) {
                for (AllpassDiffuser& a : d->diffusion.diffusers) noise(a.buffer, DIFFUSER_MAX_LENGTH);
            } else if (c == COMPONENT_DELAY_LINES) {
                for (ModDelayLine& l : d->delay_lines) noise(l.buffer, MOD_DELAY_BUFFER);
            } else {
                for (TankLine& l : d->tanks[c - COMPONENT_TANK_0].lines) noise(l.buffer, TANK_LINE_BUFFER);
            }
            std::vector<float> l0, r0, l1, r1;
            plain.render(input, 256, &l0, &r0);
            poisoned.render(input, 256, &l1, &r1);
            const bool same = same_bits(l0, l1) && same_bits(r0, r1);
            EXPECT_EQ(same, (heard & (1u << c)) == 0) << "mode " << mode << ", component " << c;
        }
    }
    // The table's own reading: tanks unheard in mode 0, tank 0 unheard in mode 3.
    EXPECT_EQ(mode_heard_components(MODE_DELAY_LINES),
              (1u << COMPONENT_DIFFUSERS) | (1u << COMPONENT_DELAY_LINES));
    EXPECT_EQ(mode_heard_components(MODE_TANKS_IN_SERIES) & (1u << COMPONENT_TANK_0), 0u);
    // What runs includes what is not heard (tank 0 in mode 3), and never
    // less than what is heard.
    EXPECT_NE(mode_run_components(MODE_TANKS_IN_SERIES) & (1u << COMPONENT_TANK_0), 0u);
    for (int mode = 0; mode < MODE_COUNT; ++mode)
        EXPECT_EQ(mode_run_components(mode) & mode_heard_components(mode), mode_heard_components(mode));
    EXPECT_EQ(mode_run_components(MODE_COUNT), 0u);
}

// Which controls act in which mode follows from the control table (the blocks
// each control acts on) and the wiring table (the blocks each mode hears);
// the window dims the others. Moving a control across its range changes the
// output exactly where it is said to act.
TEST(Modes, ControlsActExactlyWhereTheTablesSay)
{
    const std::vector<float> input = noise_burst(24000, 2048, 21);  // long enough for a feedback echo
    for (int mode = 0; mode < MODE_COUNT; ++mode) {
        for (const PortInfo& info : PORT_TABLE) {
            if (info.kind != PORT_KIND_CONTROL_IN || info.index == PORT_MODE_SEL || info.toggled)
                continue;
            std::vector<float> out[2][2];
            for (int k = 0; k < 2; ++k) {
                Host host;
                host.controls[PORT_MODE_SEL] = static_cast<float>(mode);
                host.controls[info.index] = k == 0 ? info.minimum : info.maximum;
                host.render(input, 512, &out[k][0], &out[k][1]);
            }
            const bool changed = !same_bits(out[0][0], out[1][0]) || !same_bits(out[0][1], out[1][1]);
            EXPECT_EQ(changed, control_acts_in_mode(info, mode)) << info.symbol << " in mode " << mode;
        }
    }
}
