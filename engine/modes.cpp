#include "engine/modes.h"

#include <cmath>
#include <cstring>

// The stages the modes are wired from. The modes in use take the lane-parallel
// building blocks; the reference takes the same blocks one sample at a time,
// and must give the same bits (tests).
typedef struct {
    void (*diffusion)(DiffusionStage*, const float*, float*, uint32_t);
    void (*tank_replace)(FdnTank*, const float*, float*, uint32_t);
    void (*tank_add)(FdnTank*, const float*, float*, uint32_t);
    void (*tank_stereo)(FdnTank*, const float*, float*, float*, uint32_t);
    void (*delay_stage)(ModDelayLine*, float*, uint32_t, float);
    void (*delay_chains)(ModDelayLine*, const float*, float*, uint32_t);
} Stages;

static const Stages FAST = {diffusion_stage_process, tank_replace,        tank_add,
                            tank_stereo,             delay_stage_process, delay_chains_process};
static const Stages REFERENCE = {diffusion_stage_process_reference, tank_replace_reference,
                                 tank_add_reference,                tank_stereo_reference,
                                 delay_stage_process_reference,     delay_chains_process_reference};

// Diffusion stage and delay stage: the front end of modes 0 to 3.
static void front_end(const Stages* st, DspState* dsp, const float* in, float* work, uint32_t n,
                      float k)
{
    st->diffusion(&dsp->diffusion, in, work, n);
    st->delay_stage(dsp->delay_lines, work, n, k);
}

// Tanks 0, 1 and 2 side by side on the same input, their sum into out.
static void three_tanks(const Stages* st, DspState* dsp, const float* work, float* out, uint32_t n)
{
    st->tank_replace(&dsp->tanks[0], work, out, n);
    st->tank_add(&dsp->tanks[1], work, out, n);
    st->tank_add(&dsp->tanks[2], work, out, n);
}

// Mode 0: no tank; the delay stage's plain sum on both sides.
static void mode0(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                  uint32_t n)
{
    front_end(st, dsp, in, wet_l, n, 1.0f);
    std::memcpy(wet_r, wet_l, n * sizeof(float));
}

// Mode 1: tanks 0 + 1 make the right side, 2 + 3 the left, then each side
// takes cross_mix of the other.
static void mode1(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                  uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(st, dsp, in, work, n, 0.25f);
    st->tank_replace(&dsp->tanks[0], work, wet_r, n);
    st->tank_add(&dsp->tanks[1], work, wet_r, n);
    st->tank_replace(&dsp->tanks[2], work, wet_l, n);
    st->tank_add(&dsp->tanks[3], work, wet_l, n);
    const float c = dsp->cross_mix;
    for (uint32_t i = 0; i < n; ++i) {
        const float l = wet_l[i];
        const float r = wet_r[i];
        wet_l[i] = std::fma(c, r, l);
        wet_r[i] = std::fma(c, l, r);
    }
}

// Mode 2: tanks 0, 1, 2 in parallel, their average into the stereo tank 3.
static void mode2(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                  uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(st, dsp, in, work, n, 0.25f);
    three_tanks(st, dsp, work, wet_r, n);
    for (uint32_t i = 0; i < n; ++i) work[i] = wet_r[i] * 0.33333334f;
    st->tank_stereo(&dsp->tanks[3], work, wet_l, wet_r, n);
}

// Mode 3: tanks 1 and 2 in series, each adding its reverb to what it gets,
// into the stereo tank 3. Tank 0 is stepped too (its output is discarded) so
// that it keeps advancing as in the other tank modes.
static void mode3(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                  uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(st, dsp, in, work, n, 0.25f);
    st->tank_replace(&dsp->tanks[0], work, wet_r, n);
    st->tank_add(&dsp->tanks[1], work, work, n);
    st->tank_add(&dsp->tanks[2], work, work, n);
    st->tank_stereo(&dsp->tanks[3], work, wet_l, wet_r, n);
}

// Mode 4: diffusion, tanks 0, 1, 2 summed, two chains of delay lines
// (0 -> 1 and 3 -> 2) averaged, into the stereo tank 3.
static void mode4(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                  uint32_t n)
{
    float work[BLOCK_SIZE];
    st->diffusion(&dsp->diffusion, in, work, n);
    three_tanks(st, dsp, work, wet_r, n);
    st->delay_chains(dsp->delay_lines, wet_r, work, n);
    st->tank_stereo(&dsp->tanks[3], work, wet_l, wet_r, n);
}

static void run_mode(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                     uint32_t n)
{
    switch (dsp->mode) {
    case MODE_DELAY_LINES: mode0(st, dsp, in, wet_l, wet_r, n); break;
    case MODE_PARALLEL_TANKS: mode1(st, dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_INTO_ONE: mode2(st, dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_IN_SERIES: mode3(st, dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_INTO_DELAYS: mode4(st, dsp, in, wet_l, wet_r, n); break;
    default:
        std::memset(wet_l, 0, n * sizeof(float));
        std::memset(wet_r, 0, n * sizeof(float));
        break;
    }
}

void mode_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    run_mode(&FAST, dsp, in, wet_l, wet_r, n);
}

void mode_process_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    run_mode(&REFERENCE, dsp, in, wet_l, wet_r, n);
}
