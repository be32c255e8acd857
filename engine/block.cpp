#include "engine/block.h"

#include <cmath>
#include <cstring>

#include "dsp/lanes/cpu.h"
#include "engine/modes.h"

// Exponent bits all set: an infinity or a NaN. Integer tests, so that the
// compiler may take them in any order and vectorise them.
static uint32_t non_finite(float x)
{
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits & 0x7F800000u) == 0x7F800000u;
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
    for (uint32_t i = 0; i < m; ++i) {
        const float x = io->stereo ? 0.5f * (dry_l[i] + dry_r[i]) : dry_l[i];
        clean[i] = std::fabs(x) <= INPUT_LIMIT ? x : 0.0f;
    }

    float wet_l[BLOCK_SIZE];
    float wet_r[BLOCK_SIZE];
    mode_process(dsp, clean, wet_l, wet_r, m);

    // Defence in depth: should a feedback path ever turn non-finite, this
    // block's reverb is silent and the tail starts again from silence rather
    // than staying NaN until the host re-activates the plugin. No known
    // setting gets here; the check costs a few dozen bit tests per block.
    if (!block_is_finite(dsp, wet_l, wet_r, m)) {
        std::memset(wet_l, 0, m * sizeof(float));
        std::memset(wet_r, 0, m * sizeof(float));
        engine_clear_history(dsp);
    }

    output_mix(dsp, dry_l, dry_r, wet_l, wet_r, m);
    if (dsp->enable_gain != 1.0f || dsp->enable_target != 1.0f)
        bypass_fade(dsp, dry_l, dry_r, wet_l, wet_r, m);
    if (io->out_l) std::memcpy(io->out_l + start, wet_l, m * sizeof(float));
    if (io->out_r) std::memcpy(io->out_r + start, wet_r, m * sizeof(float));
}
