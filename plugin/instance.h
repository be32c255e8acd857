// The per-instance record the host holds as its handle.
#pragma once

#include <cstdint>

#include "control/ramps.h"
#include "flow/dsp_state.h"
#include "plugin/ports.h"

struct PluginInstance {
    DspState* dsp;                 // owned
    double host_rate;
    float* ports[PORT_COUNT];      // host buffers; control ports hold one float
    GainRamp ramps[RAMP_COUNT];    // dry_db, wet_a_db, wet_b_db, decay_ms
    float last_value[PORT_COUNT];  // non-ramped controls; NaN = not seen yet
    bool started;                  // the first run has set the start-up lengths
};

// Allocate an instance for a sample rate; null if the rate is unusable or
// memory is short.
PluginInstance* instance_create(double sample_rate);
// Everything but the port connections back to the state right after creation.
void instance_reset(PluginInstance* self);
void instance_destroy(PluginInstance* self);
