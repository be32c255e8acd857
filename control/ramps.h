// Gain ramps: a value that moves toward its target by a fixed step once per
// 16-sample block, so that level and decay changes glide instead of jumping.
#pragma once

#include <cstdint>

#include "control/control_actions.h"

// Every ramp has a period of 1: it steps at every block, and its counter is
// 0 whenever it steps. Period and counter stay as part of the ramp's defined
// record (the idle path keeps the counter exactly as the blocks would).
typedef struct {
    uint64_t period;   // blocks from one step to the next
    uint64_t counter;
    float target;      // also the last value seen on the ramp's port
    float current;
    float step;
} GainRamp;

// Creation values: targets and starting points, steps per block.
void ramps_setup(GainRamp ramps[RAMP_COUNT]);

// One block's step of a ramp; true when `current` changed.
bool ramp_advance(GainRamp* ramp);

// No ramp moves (each stands at its target): blocks only count.
bool ramps_at_rest(const GainRamp ramps[RAMP_COUNT]);
// The ramps over `blocks` blocks at rest: what as many advance_ramps calls
// leave.
void ramps_rest(GainRamp ramps[RAMP_COUNT], uint64_t blocks);

// Advance the four ramps in order and hand each value that moved to its
// control's setter.
void advance_ramps(GainRamp ramps[RAMP_COUNT], DspState* dsp);

// Start-up: every ramp jumps to its target and its setter is applied, so the
// first block already plays the levels and decay time the controls ask for.
void start_ramps(GainRamp ramps[RAMP_COUNT], DspState* dsp);
