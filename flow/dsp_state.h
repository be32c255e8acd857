// All audio processing state of one instance, allocated once and never
// resized: about 4.8 MB, nearly all of it delay memory.
#pragma once

#include <cstdint>

#include "dsp/diffuser.h"
#include "dsp/mod_delay.h"
#include "dsp/random.h"
#include "dsp/tank.h"

enum { BLOCK_SIZE = 16 };

typedef struct {
    float sample_rate;
    float cross_mix;      // 1 - width/100; the tanks hold copies
    float size_min;       // metres
    float size_max;
    float dry_gain;
    float wet_gain_a;
    float wet_gain_b;
    float decay_time;     // ms
    ModDelayLine delay_lines[MOD_DELAY_COUNT];
    FdnTank tanks[TANK_COUNT];
    DiffusionStage diffusion;
    int32_t mode;
    EarlyLine early_lines[2];
    Rng rng;              // jitter draws; seeded with 1, reseeded with 21
} DspState;

// Every field to its creation value, all signal memory to 0.
void dsp_state_setup(DspState* dsp, float sample_rate);
