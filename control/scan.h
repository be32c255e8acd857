// The control side of one instance: the last value seen on each control, the
// gain ramps, and the run of one period (scan, start-up, blocks).
#pragma once

#include <cstdint>

#include "control/ramps.h"
#include "engine/block.h"

typedef struct {
    GainRamp ramps[RAMP_COUNT];    // dry_db, wet_a_db, wet_b_db, decay_ms
    float last_value[PORT_COUNT];  // non-ramped controls; NaN = not seen yet
    bool started;                  // the first run has done the start-up
    // Raw bits of each control port (in port order) at the last scan; for a
    // port that was missing, those of the value a new one is compared with.
    // Equal bits everywhere mean the scan has nothing to do.
    uint32_t seen_bits[CONTROL_COUNT];
    bool seen;
} ControlState;

// Creation values; also the reset that activate performs.
void controls_reset(ControlState* controls);

// Each control whose value changed since the last call is stored and applied,
// in scan order. `ports` are the host's buffers, indexed by PortIndex; a null
// control port counts as unchanged.
void scan_controls(ControlState* controls, DspState* dsp, float* const ports[PORT_COUNT]);

// One host period of n samples: the control scan, the start-up on the first
// call, then blocks of 16 samples (the last one possibly shorter), each with
// its ramp step before the signal path.
void run_period(ControlState* controls, DspState* dsp, float* const ports[PORT_COUNT],
                const AudioBuffers* io, uint32_t n);
