#include "engine/block.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/convert.h"
#include "dsp/lanes/cpu.h"
#include "engine/idle.h"
#include "engine/modes.h"

// Exponent bits all set: an infinity or a NaN. Integer tests, so that the
// compiler may take them in any order and vectorise them.
static uint32_t non_finite(float x)
{
    return (float_bits(x) & 0x7F800000u) == 0x7F800000u;
}

static uint32_t any_non_finite(const float* x, uint32_t n)
{
    uint32_t bad = 0;
    for (uint32_t i = 0; i < n; ++i) bad |= non_finite(x[i]);
    return bad;
}

// True when the wet block and the newest value of every recursion are
// finite: the tank line outputs, the delay lines' lowpass and the diffusers'
// damping. A non-finite value in any history reaches one of these in the
// block that reads it, even where the wet signal does not show it yet (a
// tank whose output feeds another tank's lines).
static bool block_is_finite(const DspState* dsp, const float* wet_l, const float* wet_r,
                            uint32_t m)
{
    uint32_t bad = any_non_finite(wet_l, m) | any_non_finite(wet_r, m);
    for (const FdnTank& tank : dsp->tanks) bad |= any_non_finite(tank.line_out, TANK_LINES);
    for (const ModDelayLine& line : dsp->delay_lines) bad |= non_finite(line.filter_history.history[0]);
    for (const AllpassDiffuser& d : dsp->diffusion.diffusers) bad |= non_finite(d.damping_state);
    return bad == 0;
}

// The bypass: each output moves from the processed signal towards its own
// side's dry input (mono: the input on both sides) and back, a linear fade
// of enable_step per sample. At 0 the output is the dry input bit for bit;
// at 1 it is the processed signal untouched.
static void bypass_fade(DspState* dsp, const float* dry_l, const float* dry_r, float* out_l,
                        float* out_r, uint32_t m)
{
    float g = dsp->enable_gain;
    const float target = dsp->enable_target, step = dsp->enable_step;
    for (uint32_t i = 0; i < m; ++i) {
        if (g < target)
            g = g + step < target ? g + step : target;
        else if (g > target)
            g = g - step > target ? g - step : target;
        if (g == 0.0f) {
            out_l[i] = dry_l[i];
            out_r[i] = dry_r[i];
        } else if (g != 1.0f) {
            out_l[i] = dry_l[i] + g * (out_l[i] - dry_l[i]);
            out_r[i] = dry_r[i] + g * (out_r[i] - dry_r[i]);
        }
    }
    dsp->enable_gain = g;
}

// Output mix: dry_gain * input + wet_gain_a * wet_gain_b * wet, in place.
FMA_CLONES static void output_mix(const DspState* dsp, const float* dry_l, const float* dry_r,
                                  float* wet_l, float* wet_r, uint32_t m)
{
    const float g = dsp->wet_gain_b * dsp->wet_gain_a;
    const float dry_gain = dsp->dry_gain;
    for (uint32_t i = 0; i < m; ++i) {
        wet_l[i] = std::fma(g, wet_l[i], dry_gain * dry_l[i]);
        wet_r[i] = std::fma(g, wet_r[i], dry_gain * dry_r[i]);
    }
}

static void read_input(const float* in, uint32_t start, float* dry, uint32_t m)
{
    if (in)
        std::memcpy(dry, in + start, m * sizeof(float));
    else
        std::memset(dry, 0, m * sizeof(float));
}

void engine_process_block(DspState* dsp, const AudioBuffers* io, uint32_t start, uint32_t m)
{
    float dry_l[BLOCK_SIZE];
    float dry_r_stereo[BLOCK_SIZE];
    float clean[BLOCK_SIZE] = {};  // zeroed: the compiler cannot see that m <= BLOCK_SIZE
    read_input(io->in_l, start, dry_l, m);
    const float* dry_r = dry_l;
    if (io->stereo) {
        read_input(io->in_r, start, dry_r_stereo, m);
        dry_r = dry_r_stereo;
    }
    // Non-finite or absurdly large input would poison the tanks for good; it
    // enters the building blocks as silence (the dry path keeps it).
    uint32_t heard = 0;  // any bit of the cleaned input (-0 counts as heard)
    for (uint32_t i = 0; i < m; ++i) {
        const float x = io->stereo ? 0.5f * (dry_l[i] + dry_r[i]) : dry_l[i];
        clean[i] = std::fabs(x) <= INPUT_LIMIT ? x : 0.0f;
        heard |= float_bits(clean[i]);
    }

    float wet_l[BLOCK_SIZE];
    float wet_r[BLOCK_SIZE];
    if (dsp->watch.idle && heard == 0) {
        idle_block(dsp, wet_l, wet_r, m);
    } else {
        if (dsp->watch.idle) engine_wake(dsp);
        mode_process(dsp, clean, wet_l, wet_r, m);

        // Defence in depth: should a feedback path ever turn non-finite, this
        // block's reverb is silent and the tail starts again from silence
        // rather than staying NaN until the host re-activates the plugin. No
        // known setting gets here; the check costs a few dozen bit tests per
        // block.
        if (!block_is_finite(dsp, wet_l, wet_r, m)) {
            std::memset(wet_l, 0, m * sizeof(float));
            std::memset(wet_r, 0, m * sizeof(float));
            engine_clear_history(dsp);
        }
        if (heard == 0)
            idle_watch_block(dsp, wet_l, wet_r, m);
        else
            dsp->watch.counting = false;  // sound: the quiet counts start again later
    }

    output_mix(dsp, dry_l, dry_r, wet_l, wet_r, m);
    if (dsp->enable_gain != 1.0f || dsp->enable_target != 1.0f)
        bypass_fade(dsp, dry_l, dry_r, wet_l, wet_r, m);
    if (io->out_l) std::memcpy(io->out_l + start, wet_l, m * sizeof(float));
    if (io->out_r) std::memcpy(io->out_r + start, wet_r, m * sizeof(float));
}

// Whether the samples i0 ... i1 - 1 of an input are all +0 (a missing input
// reads as silence): compared with a block of +0 by the C library's memcmp,
// which uses the widest vectors the CPU has.
static bool input_silent(const float* in, uint32_t i0, uint32_t i1)
{
    static const float ZEROS[1024] = {};
    if (!in) return true;
    for (uint32_t i = i0; i < i1; i += 1024) {
        const uint32_t count = i1 - i < 1024 ? i1 - i : 1024;
        if (std::memcmp(in + i, ZEROS, count * sizeof(float)) != 0) return false;
    }
    return true;
}

// n samples of one value; +0 (the usual case) by memset, for the same reason.
static void fill(float* out, uint32_t n, float value)
{
    if (float_bits(value) == 0)
        std::memset(out, 0, n * sizeof(float));
    else
        std::fill(out, out + n, value);
}

uint32_t engine_idle_span(DspState* dsp, const AudioBuffers* io, uint32_t start, uint32_t n)
{
    if (!dsp->watch.idle || dsp->enable_gain != dsp->enable_target) return 0;
    const auto silent = [io](uint32_t i0, uint32_t i1) {
        return input_silent(io->in_l, i0, i1) && (!io->stereo || input_silent(io->in_r, i0, i1));
    };
    // Mostly the whole span is silent: one pass decides; else block by block
    // up to the first that is not.
    uint32_t taken = silent(start, start + n) ? n : 0;
    while (taken < n) {
        const uint32_t m = n - taken < BLOCK_SIZE ? n - taken : uint32_t{BLOCK_SIZE};
        if (!silent(start + taken, start + taken + m)) break;
        taken += m;
    }
    if (taken == 0) return 0;
    idle_count(dsp, taken);
    const IdleWatch* w = &dsp->watch;
    // Every sample is what engine_process_block gives for a +0 input: the
    // output mix of the resting wet signal and a dry +0, or (bypassed) the
    // dry +0 itself.
    float out_l = 0.0f, out_r = 0.0f;
    if (dsp->enable_gain == 1.0f) {
        float wet_l[1] = {w->wet_l}, wet_r[1] = {w->wet_r};
        const float dry[1] = {0.0f};
        output_mix(dsp, dry, dry, wet_l, wet_r, 1);
        out_l = wet_l[0];
        out_r = wet_r[0];
    }
    if (io->out_l) fill(io->out_l + start, taken, out_l);
    if (io->out_r) fill(io->out_r + start, taken, out_r);
    return taken;
}
