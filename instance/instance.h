// One plugin instance as every plugin format's shell holds it: the engine,
// the control state and the host's buffers.
#pragma once

#include "control/scan.h"

struct PluginInstance {
    DspState* dsp;                 // owned
    double host_rate;
    float* ports[PORT_COUNT];      // host buffers in the mono plugin's order
    float* in_r;                   // the stereo variant's right input
    bool stereo;                   // the stereo-input variant
    ControlState controls;         // last values and gain ramps
};

// Allocate an instance for a sample rate; null if the rate is unusable or
// memory is short.
PluginInstance* instance_create(double sample_rate, bool stereo);
// Everything but the port connections back to the state right after creation.
void instance_reset(PluginInstance* self);
void instance_destroy(PluginInstance* self);

// Audio thread: one host period of n samples from the connected buffers,
// under the audio floating-point mode (flush-to-zero), which is restored
// before returning.
void instance_run(PluginInstance* self, uint32_t n);
