#include "engine/modes.h"

#include "dsp/lanes/cpu.h"

#include <cmath>
#include <cstring>

// The stages the modes are wired from. Where the CPU has the vector lanes the
// modes take the lane-parallel building blocks; the reference takes the same
// blocks one sample at a time, and must give the same bits (tests).
typedef struct {
    void (*diffusion)(DiffusionStage*, const float*, float*, uint32_t);
    void (*tank_replace)(FdnTank*, const float*, float*, uint32_t);
    void (*tank_add)(FdnTank*, const float*, float*, uint32_t);
    void (*tank_stereo)(FdnTank*, const float*, float*, float*, uint32_t);
    void (*delay_stage)(ModDelayLine*, float*, uint32_t, float);
    void (*delay_chains)(ModDelayLine*, const float*, float*, uint32_t);
} Stages;

static const Stages LANES = {diffusion_stage_process,   tank_replace_lanes,
                             tank_add_lanes,            tank_stereo_lanes,
                             delay_stage_process_lanes, delay_chains_process_lanes};
static const Stages REFERENCE = {diffusion_stage_process_reference, tank_replace_reference,
                                 tank_add_reference,                tank_stereo_reference,
                                 delay_stage_process_reference,     delay_chains_process_reference};

// Width in mode 1: each side takes c of the other.
FMA_CLONES static void cross_mix(float c, float* wet_l, float* wet_r, uint32_t n)
{
    for (uint32_t j = 0; j < n; ++j) {
        const float l = wet_l[j];
        const float r = wet_r[j];
        wet_l[j] = std::fma(c, r, l);
        wet_r[j] = std::fma(c, l, r);
    }
}

// One mode's stages in order, as its wiring lists them.
static void run_wiring(const Stages* st, const ModeWiring* wiring, DspState* dsp, const float* in,
                       float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    float* const writable[BUS_COUNT] = {nullptr, work, wet_l, wet_r};
    const float* const readable[BUS_COUNT] = {in, work, wet_l, wet_r};
    for (int i = 0; i < wiring->count; ++i) {
        const Stage& s = wiring->stages[i];
        const float* from = readable[s.from];
        float* to = writable[s.to];
        FdnTank* tank = s.component >= COMPONENT_TANK_0 ? &dsp->tanks[s.component - COMPONENT_TANK_0]
                                                        : nullptr;
        switch (s.kind) {
        case STAGE_DIFFUSION: st->diffusion(&dsp->diffusion, from, to, n); break;
        case STAGE_DELAYS: st->delay_stage(dsp->delay_lines, to, n, s.gain); break;
        case STAGE_DELAY_CHAINS: st->delay_chains(dsp->delay_lines, from, to, n); break;
        case STAGE_TANK_REPLACE: st->tank_replace(tank, from, to, n); break;
        case STAGE_TANK_ADD: st->tank_add(tank, from, to, n); break;
        case STAGE_TANK_STEREO: st->tank_stereo(tank, from, wet_l, wet_r, n); break;
        case STAGE_SCALE:
            for (uint32_t j = 0; j < n; ++j) to[j] = from[j] * s.gain;
            break;
        case STAGE_COPY: std::memcpy(to, from, n * sizeof(float)); break;
        case STAGE_CROSS_MIX: cross_mix(dsp->cross_mix, wet_l, wet_r, n); break;
        }
    }
}

static void run_mode(const Stages* st, DspState* dsp, const float* in, float* wet_l, float* wet_r,
                     uint32_t n)
{
    if (dsp->mode >= 0 && dsp->mode < MODE_COUNT) {
        run_wiring(st, &MODE_WIRINGS[dsp->mode], dsp, in, wet_l, wet_r, n);
        return;
    }
    std::memset(wet_l, 0, n * sizeof(float));
    std::memset(wet_r, 0, n * sizeof(float));
}

void mode_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    run_mode(dsp->lanes ? &LANES : &REFERENCE, dsp, in, wet_l, wet_r, n);
}

void mode_process_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    run_mode(&REFERENCE, dsp, in, wet_l, wet_r, n);
}

void mode_keep_time(DspState* dsp, uint64_t n)
{
    const uint32_t run = mode_run_components(dsp->mode);
    if (n == 0) return;
    if (run & (1u << COMPONENT_DIFFUSERS)) diffusion_stage_keep_time(&dsp->diffusion, n);
    if (run & (1u << COMPONENT_DELAY_LINES))
        for (ModDelayLine& line : dsp->delay_lines) mod_delay_keep_time(&line, n);
    for (int t = 0; t < TANK_COUNT; ++t)
        if (run & (1u << (COMPONENT_TANK_0 + t))) tank_keep_time(&dsp->tanks[t], n);
}
