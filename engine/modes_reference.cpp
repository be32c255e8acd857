#include "engine/modes.h"

// The modes as written first: whole blocks through one building block after
// the other, one tank_step and one delay-line tick at a time. The reference
// that the modes in use (modes.cpp) must equal bit for bit; tests only.

#include <cmath>
#include <cstring>

// Diffusion stage and delay stage: the front end of modes 0 to 3.
static void front_end(DspState* dsp, const float* in, float* work, uint32_t n, float k)
{
    diffusion_stage_process(&dsp->diffusion, in, work, n);
    delay_stage_process_reference(dsp->delay_lines, work, n, k);
}

// Tanks 0, 1 and 2 side by side on the same input, their sum into out.
static void three_tanks(DspState* dsp, const float* work, float* out, uint32_t n)
{
    tank_replace_reference(&dsp->tanks[0], work, out, n);
    tank_add_reference(&dsp->tanks[1], work, out, n);
    tank_add_reference(&dsp->tanks[2], work, out, n);
}

// Mode 0: no tank; the delay stage's plain sum on both sides.
static void mode0_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    front_end(dsp, in, wet_l, n, 1.0f);
    std::memcpy(wet_r, wet_l, n * sizeof(float));
}

// Mode 1: tanks 0 + 1 make the right side, 2 + 3 the left, then each side
// takes cross_mix of the other.
static void mode1_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(dsp, in, work, n, 0.25f);
    tank_replace_reference(&dsp->tanks[0], work, wet_r, n);
    tank_add_reference(&dsp->tanks[1], work, wet_r, n);
    tank_replace_reference(&dsp->tanks[2], work, wet_l, n);
    tank_add_reference(&dsp->tanks[3], work, wet_l, n);
    const float c = dsp->cross_mix;
    for (uint32_t i = 0; i < n; ++i) {
        const float l = wet_l[i];
        const float r = wet_r[i];
        wet_l[i] = std::fma(c, r, l);
        wet_r[i] = std::fma(c, l, r);
    }
}

// Mode 2: tanks 0, 1, 2 in parallel, their average into the stereo tank 3.
static void mode2_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(dsp, in, work, n, 0.25f);
    three_tanks(dsp, work, wet_r, n);
    for (uint32_t i = 0; i < n; ++i) work[i] = wet_r[i] * 0.33333334f;
    tank_stereo_reference(&dsp->tanks[3], work, wet_l, wet_r, n);
}

// Mode 3: tanks 1 and 2 in series, each adding its reverb to what it gets,
// into the stereo tank 3. Tank 0 is stepped too (its output is discarded) so
// that it keeps advancing as in the other tank modes.
static void mode3_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(dsp, in, work, n, 0.25f);
    tank_replace_reference(&dsp->tanks[0], work, wet_r, n);
    tank_add_reference(&dsp->tanks[1], work, work, n);
    tank_add_reference(&dsp->tanks[2], work, work, n);
    tank_stereo_reference(&dsp->tanks[3], work, wet_l, wet_r, n);
}

// Mode 4: diffusion, tanks 0, 1, 2 summed, two chains of delay lines
// (0 -> 1 and 3 -> 2) averaged, into the stereo tank 3.
static void mode4_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    diffusion_stage_process(&dsp->diffusion, in, work, n);
    three_tanks(dsp, work, wet_r, n);
    ModDelayLine* lines = dsp->delay_lines;
    for (uint32_t i = 0; i < n; ++i) {
        const float x = wet_r[i];
        const float a = mod_delay_tick(&lines[0], x);
        const float a2 = mod_delay_tick(&lines[1], a);
        const float b = mod_delay_tick(&lines[3], x);
        const float b2 = mod_delay_tick(&lines[2], b);
        work[i] = 0.5f * (a2 + b2);
    }
    tank_stereo_reference(&dsp->tanks[3], work, wet_l, wet_r, n);
}

void mode_process_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    switch (dsp->mode) {
    case MODE_DELAY_LINES: mode0_reference(dsp, in, wet_l, wet_r, n); break;
    case MODE_PARALLEL_TANKS: mode1_reference(dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_INTO_ONE: mode2_reference(dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_IN_SERIES: mode3_reference(dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_INTO_DELAYS: mode4_reference(dsp, in, wet_l, wet_r, n); break;
    default:
        std::memset(wet_l, 0, n * sizeof(float));
        std::memset(wet_r, 0, n * sizeof(float));
        break;
    }
}
