// The plugin window in a top-level window of its own, for the JACK programs,
// which have no host to give it a parent. Main thread only.
#pragma once

#include "ui/ui_model.h"

typedef struct StandaloneWindow StandaloneWindow;

// Null where no X server can be reached (the program then runs without).
StandaloneWindow* standalone_window_open(const char* title, UiWrite write, void* context,
                                         double sample_rate);
// Pending events and a redraw; false once the musician has closed it.
bool standalone_window_idle(StandaloneWindow* w);
void standalone_window_set_value(StandaloneWindow* w, PortIndex port, float value);
void standalone_window_close(StandaloneWindow* w);
