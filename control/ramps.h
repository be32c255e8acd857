// Gain ramps: a value that moves toward its target by a fixed step once per
// 16-sample block, so that level and decay changes glide instead of jumping.
#pragma once

#include <cstdint>

typedef struct {
    uint64_t period;   // blocks from one step to the next
    uint64_t counter;
    float target;      // also the last value seen on the ramp's port
    float current;
    float step;
} GainRamp;

typedef enum { RAMP_DRY, RAMP_WET_A, RAMP_WET_B, RAMP_DECAY, RAMP_COUNT } RampIndex;

struct PluginInstance;

void ramps_setup(GainRamp ramps[RAMP_COUNT]);

// One block's step of a ramp; true when `current` changed.
bool ramp_advance(GainRamp* ramp);

// Linear gain of a level in dB: 10^(dB * 0.05), the power in double precision.
float db_to_gain(float db);

// Advance the four ramps in order and apply the ones that moved.
void advance_ramps(PluginInstance* self);
