// The plugin window as an Xlib child window of a host's parent window, drawn
// with cairo and driven by the host's idle calls; it knows no plugin format.
// Values go out through the model's write callback and come in through
// ui_window_set_value. It opens its own connection to the X server, so it
// shares no toolkit state with the host.
#pragma once

#include <cstdint>

#include "ui/ui_model.h"

typedef struct UiWindow UiWindow;

// The scale the window opens with when the host names none: the
// BRUMMKISTE_UI_SCALE environment variable (0.5 ... 4), else 2 on a screen of
// 144 dpi or more, else 1.
double ui_window_screen_scale(void);

// Opens the window inside `parent` (an X11 Window id) at `scale` (0: the
// screen's, as above). Null when the X server cannot be reached or memory is
// short. `write` is called for every value the musician changes.
// `sample_rate` is the host's (the response view renders at it); 0 when the
// host names none (the view then assumes 48 kHz and says so).
UiWindow* ui_window_open(uintptr_t parent, double scale, const char* title, UiWrite write,
                         void* context, double sample_rate);
void ui_window_close(UiWindow* w);

// The X11 Window id, and the size the window opened with (its smallest).
uintptr_t ui_window_id(const UiWindow* w);
int ui_window_width(const UiWindow* w);
int ui_window_height(const UiWindow* w);

// A value from the host (automation, presets, the host's own controls);
// out-of-range values are shown clamped.
void ui_window_set_value(UiWindow* w, PortIndex port, float value);

// The window's pending events, a finished response picture, then a redraw
// if anything changed.
void ui_window_idle(UiWindow* w);

// Whether the response view shows the settings on screen (nothing pending).
bool ui_window_response_current(UiWindow* w);
