// Control port scan: at the start of every run call, each control whose value
// changed since the last call is stored and applied, in a fixed order.
#pragma once

struct PluginInstance;

void scan_controls(PluginInstance* self);

// Safety bounds applied to a control value before its action.
typedef struct {
    float low;
    float high;
} ControlBounds;

float bounded(float v, ControlBounds b);
