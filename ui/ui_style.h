// The window's palette and the few drawing helpers every part of it uses.
#pragma once

#include <cairo/cairo.h>

#include <cmath>

#include "ui/ui_model.h"

// Light text on dark panels (contrast above 10:1), one warm accent for
// values and the selected mode, blue for the keyboard focus.
inline constexpr double BACKGROUND[3] = {0.11, 0.12, 0.14};
inline constexpr double PANEL[3] = {0.17, 0.19, 0.22};
inline constexpr double TEXT[3] = {0.93, 0.93, 0.93};
inline constexpr double MUTED[3] = {0.70, 0.72, 0.75};
inline constexpr double ACCENT[3] = {0.96, 0.64, 0.20};
inline constexpr double FOCUS[3] = {0.40, 0.70, 1.00};
inline constexpr double BLOCK[3] = {0.25, 0.29, 0.35};

inline void color(cairo_t* cr, const double c[3], double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c[0], c[1], c[2], alpha);
}

inline void rounded(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

inline void text_at(cairo_t* cr, const char* text, double cx, double y, double size, bool bold)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, y);
    cairo_show_text(cr, text);
}


// Whether a rectangle meets the clip: under a partial repaint only what
// lies in the damaged region is drawn at all.
inline bool visible(cairo_t* cr, const UiRect& r)
{
    double x0, y0, x1, y1;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    return r.x < x1 && r.y < y1 && r.x + r.w > x0 && r.y + r.h > y0;
}
