// What each control does to the engine: the binding of every control port
// to the engine setter that applies its value. The control scan and the gain
// ramps call through it; everything else reads only the control table.
#pragma once

#include "control/control_table.h"
#include "engine/settings.h"

typedef void (*ControlAction)(DspState* dsp, float value);

// The setter of a control port; null for the audio ports.
ControlAction control_action(PortIndex port);
