// Draws the plugin window with cairo: the mode buttons, the routing of the
// selected mode, and the controls in their groups with name, value and unit.
#pragma once

#include <cairo/cairo.h>

#include "ui/ui_model.h"

void ui_draw(cairo_t* cr, const UiModel* m, const char* title);
