// The plugin window without X11: where everything is, what a value looks
// like, and what a pointer or key does to it. Every range, default, unit,
// scale and group comes from the control table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/control_table.h"
#include "engine/mode_wiring.h"

typedef struct {
    float x, y, w, h;
} UiRect;

// Keys the window reacts to.
typedef enum { UI_KEY_UP, UI_KEY_DOWN, UI_KEY_TAB, UI_KEY_BACKTAB, UI_KEY_HOME } UiKey;

// Where a value goes when the musician changes it: the control's port index
// in the mono plugin's order.
typedef void (*UiWrite)(void* context, PortIndex port, float value);

typedef struct {
    double scale;                  // 1 at 100 %, 2 at 200 %
    float width, height;           // window size in pixels
    float values[PORT_COUNT];      // what the window shows, clamped to the range
    UiRect control[PORT_COUNT];    // a box per control (not the mode)
    UiRect mode_button[MODE_COUNT];
    UiRect enable_switch;          // the bypass: on, or bypassed
    UiRect diagram;
    UiRect response;               // the response view, right of everything else
    UiRect group[GROUP_COUNT];
    int focus;                     // port with the keyboard focus, -1 none
    int dragging;                  // port being dragged, -1 none
    float drag_y;                  // pointer position of the last drag step
    UiWrite write;
    void* context;
} UiModel;

void ui_model_init(UiModel* m, double scale, UiWrite write, void* context);

// The same window at another scale, its content moved by (dx, dy) pixels (to
// centre it in a larger window); values, focus and drag are kept.
void ui_model_relayout(UiModel* m, double scale, float dx, float dy);

// Position 0 ... 1 of a value along its control's travel (logarithmic where
// the control is), and back.
float ui_position(const PortInfo& info, float value);
float ui_value_at(const PortInfo& info, float position);
float ui_clamp(const PortInfo& info, float value);

// The value as a musician reads it: ms as s from 1000 ms, Hz as kHz from
// 1000 Hz, with the unit.
void ui_format(const PortInfo& info, float value, char* text, size_t size);

// An arrow key's step from value, in the control's own scale: ratios for the
// logarithmic controls, musical units (0.5 dB, 1 m, 1 %, 1 semitone) for
// the others; a tenth with `fine`. direction is +1 or -1.
float ui_key_step(const PortInfo& info, float value, int direction, bool fine);

// A value from the host (automation, presets): shown clamped to the range.
void ui_set_value(UiModel* m, PortIndex port, float value);

// Pointer and keys, in window pixels. `fine` is the shift key; double-clicks
// are recognised by the caller.
void ui_press(UiModel* m, float x, float y, bool double_click);
void ui_motion(UiModel* m, float x, float y, bool fine);
void ui_release(UiModel* m);
void ui_scroll(UiModel* m, float x, float y, int steps, bool fine);
void ui_key(UiModel* m, UiKey key, bool fine);

// The control (or mode button, as PORT_MODE_SEL, or the bypass switch, as
// PORT_ENABLED) under a point, -1 for none.
int ui_hit(const UiModel* m, float x, float y);
