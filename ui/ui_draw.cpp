#include "ui/ui_draw.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ui/routing.h"
#include "ui/ui_style.h"

// The largest font size up to `size` at which every line fits `width`.
static double fitting_size(cairo_t* cr, const char* const lines[], int count, double width,
                           double size, bool bold, double smallest)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    for (; size > smallest; size -= 0.25) {
        cairo_set_font_size(cr, size);
        bool fits = true;
        for (int i = 0; i < count; ++i) {
            cairo_text_extents_t e;
            cairo_text_extents(cr, lines[i], &e);
            fits = fits && e.width <= width;
        }
        if (fits) break;
    }
    return size;
}

// ---- The routing of the selected mode, from the engine's wiring table. ----

static void draw_routing(cairo_t* cr, const UiModel* m, int mode)
{
    const UiRect& d = m->diagram;
    const double s = m->scale;
    color(cr, PANEL);
    rounded(cr, d.x, d.y, d.w, d.h, 8 * s);
    cairo_fill(cr);
    if (mode < 0 || mode >= MODE_COUNT) return;
    RoutingGraph g;
    routing_build(&MODE_WIRINGS[mode], &g);
    // Boxes for blocks, small circles for sums; the columns share the width
    // left between the boxes evenly.
    const double bw = 76 * s, bh = 26 * s, radius = 9 * s;
    double column_w[ROUTING_MAX_NODES] = {};
    for (int i = 0; i < g.node_count; ++i) {
        const double w = g.nodes[i].kind == NODE_SUM ? 2 * radius : bw;
        if (w > column_w[g.nodes[i].column]) column_w[g.nodes[i].column] = w;
    }
    double total = 0;
    for (int c = 0; c < g.columns; ++c) total += column_w[c];
    const double pad = 12 * s;
    const double gap = (d.w - 2 * pad - total) / (g.columns > 1 ? g.columns - 1 : 1);
    double column_x[ROUTING_MAX_NODES];
    double x = d.x + pad;
    for (int c = 0; c < g.columns; ++c) {
        column_x[c] = x + column_w[c] / 2;
        x += column_w[c] + gap;
    }
    auto centre = [&](int i, double* cx, double* cy) {
        const RoutingNode& n = g.nodes[i];
        *cx = column_x[n.column];
        *cy = d.y + d.h * (n.row + 0.5) / n.rows;
    };
    auto half_width = [&](int i) { return g.nodes[i].kind == NODE_SUM ? radius : bw / 2; };

    cairo_set_line_width(cr, 1.5 * s);
    for (int w = 0; w < g.wire_count; ++w) {
        const RoutingWire& r = g.wires[w];
        double x0, y0, x1, y1;
        centre(r.from, &x0, &y0);
        centre(r.to, &x1, &y1);
        x0 += half_width(r.from);
        x1 -= half_width(r.to);
        const bool heard = g.nodes[r.to].heard;
        color(cr, heard ? TEXT : MUTED, heard ? 0.8 : 0.4);
        cairo_move_to(cr, x0, y0);
        cairo_curve_to(cr, (x0 + x1) / 2, y0, (x0 + x1) / 2, y1, x1, y1);
        cairo_stroke(cr);
        cairo_move_to(cr, x1, y1);
        cairo_line_to(cr, x1 - 6 * s, y1 - 3.5 * s);
        cairo_line_to(cr, x1 - 6 * s, y1 + 3.5 * s);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    if (g.cross_mix) {
        // Width: each side takes a share of the other.
        double cx, y0, y1;
        centre(g.left, &cx, &y0);
        centre(g.right, &cx, &y1);
        color(cr, ACCENT, 0.9);
        cairo_move_to(cr, cx, y0 + bh / 2);
        cairo_line_to(cr, cx, y1 - bh / 2);
        cairo_stroke(cr);
        text_at(cr, "width", cx - 26 * s, (y0 + y1) / 2 + 4 * s, 11 * s, false);
    }
    for (int i = 0; i < g.node_count; ++i) {
        const RoutingNode& n = g.nodes[i];
        double cx, cy;
        centre(i, &cx, &cy);
        const double alpha = n.heard || n.kind == NODE_INPUT ? 1.0 : 0.5;
        const bool io = n.kind == NODE_INPUT || n.kind == NODE_OUTPUT;
        color(cr, io ? BACKGROUND : BLOCK, alpha);
        cairo_new_path(cr);  // no line from where the last label ended
        if (n.kind == NODE_SUM)
            cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
        else
            rounded(cr, cx - bw / 2, cy - bh / 2, bw, bh, 5 * s);
        cairo_fill_preserve(cr);
        color(cr, io ? ACCENT : MUTED, alpha);
        cairo_set_line_width(cr, 1 * s);
        cairo_stroke(cr);
        color(cr, n.heard || n.kind == NODE_INPUT ? TEXT : MUTED);
        text_at(cr, n.label, cx, cy + 4.5 * s, 12 * s, false);
    }
}

static void draw_control(cairo_t* cr, const UiModel* m, PortIndex port)
{
    const PortInfo& info = PORT_TABLE[port];
    const UiRect& r = m->control[port];
    const double s = m->scale;
    // A control that does nothing in this mode is drawn dimmed; it still
    // takes values, which act when the mode changes.
    const bool acts = control_acts_in_mode(info, static_cast<int>(m->values[PORT_MODE_SEL]));
    const double ink = acts ? 1.0 : 0.4;
    color(cr, PANEL);
    rounded(cr, r.x, r.y, r.w, r.h, 6 * s);
    cairo_fill(cr);
    if (m->focus == port) {
        color(cr, FOCUS);
        cairo_set_line_width(cr, 2 * s);
        rounded(cr, r.x + 1 * s, r.y + 1 * s, r.w - 2 * s, r.h - 2 * s, 6 * s);
        cairo_stroke(cr);
    }
    // The name on one line, or on two (after a comma, else at the space
    // nearest the middle) where one would need too small a font.
    char first[48], second[48] = "";
    std::snprintf(first, sizeof first, "%s", info.name);
    const double room = r.w - 8 * s;
    const char* one[1] = {first};
    if (fitting_size(cr, one, 1, room, 10.5 * s, false, 9.5 * s) <= 9.5 * s) {
        char* split = std::strstr(first, ", ");
        if (!split) {
            const size_t len = std::strlen(first);
            for (size_t d = 0; d < len / 2 && !split; ++d) {
                if (first[len / 2 + d] == ' ') split = &first[len / 2 + d];
                else if (first[len / 2 - d] == ' ') split = &first[len / 2 - d];
            }
        }
        if (split) {
            std::snprintf(second, sizeof second, "%s", split + (split[0] == ',' ? 2 : 1));
            *split = '\0';
        }
    }
    const char* both[2] = {first, second};
    const double size = fitting_size(cr, both, 2, room, 10.5 * s, false, 7.5 * s);
    color(cr, MUTED, ink);
    text_at(cr, first, r.x + r.w / 2, r.y + 13 * s, size, false);
    if (second[0]) text_at(cr, second, r.x + r.w / 2, r.y + 23 * s, size, false);
    char value[32];
    ui_format(info, m->values[port], value, sizeof value);
    color(cr, TEXT, ink);
    text_at(cr, value, r.x + r.w / 2, r.y + 41.5 * s, 13 * s, true);
    // The position along the travel.
    const double bx = r.x + 8 * s, by = r.y + r.h - 11 * s, bw = r.w - 16 * s, bh = 5 * s;
    color(cr, BACKGROUND);
    rounded(cr, bx, by, bw, bh, 2.5 * s);
    cairo_fill(cr);
    color(cr, acts ? ACCENT : MUTED, ink);
    const double t = ui_position(info, m->values[port]);
    if (t > 0) {
        rounded(cr, bx, by, bw * t < bh ? bh : bw * t, bh, 2.5 * s);
        cairo_fill(cr);
    }
}

void ui_draw(cairo_t* cr, const UiModel* m, const char* title)
{
    const double s = m->scale;
    color(cr, BACKGROUND);
    cairo_paint(cr);
    if (visible(cr, UiRect{0, 0, m->width, m->mode_button[0].y})) {
        color(cr, TEXT);
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 17 * s);
        cairo_move_to(cr, m->mode_button[0].x, m->mode_button[0].y - 14 * s);
        cairo_show_text(cr, title);
    }

    const int mode = static_cast<int>(m->values[PORT_MODE_SEL]);
    for (int b = 0; b < MODE_COUNT; ++b) {
        const UiRect& r = m->mode_button[b];
        if (!visible(cr, r)) continue;
        const bool on = b == mode;
        color(cr, on ? ACCENT : PANEL);
        rounded(cr, r.x, r.y, r.w, r.h, 6 * s);
        cairo_fill(cr);
        color(cr, on ? BACKGROUND : TEXT);
        const char* label[1] = {MODE_LABELS[b]};
        const double size = fitting_size(cr, label, 1, r.w - 10 * s, 12.5 * s, on, 8 * s);
        text_at(cr, MODE_LABELS[b], r.x + r.w / 2, r.y + 15 * s, size, on);
        // How loud the mode plays against mode 1: lower the level before a
        // loud one.
        char loudness[24];
        if (MODE_LOUDNESS_DB[b] == 0.0f)
            std::snprintf(loudness, sizeof loudness, "reference level");
        else
            std::snprintf(loudness, sizeof loudness, "%+.1f dB louder", MODE_LOUDNESS_DB[b]);
        if (MODE_LOUDNESS_DB[b] < 0.0f)
            std::snprintf(loudness, sizeof loudness, "%.1f dB quieter", -MODE_LOUDNESS_DB[b]);
        const bool loud = MODE_LOUDNESS_DB[b] >= 6.0f;
        color(cr, on ? BACKGROUND : (loud ? ACCENT : MUTED));
        text_at(cr, loudness, r.x + r.w / 2, r.y + 29 * s, 10 * s, loud);
    }
    if (visible(cr, m->diagram)) draw_routing(cr, m, mode);

    // The bypass switch: lit while the reverb plays.
    const UiRect& sw = m->enable_switch;
    if (visible(cr, sw)) {
        const bool on = m->values[PORT_ENABLED] >= 0.5f;
        color(cr, on ? ACCENT : PANEL);
        rounded(cr, sw.x, sw.y, sw.w, sw.h, sw.h / 2);
        cairo_fill(cr);
        color(cr, on ? BACKGROUND : TEXT);
        text_at(cr, on ? "On" : "Bypassed", sw.x + sw.w / 2, sw.y + sw.h / 2 + 4.5 * s, 12.5 * s,
                true);
    }

    for (int g = GROUP_LEVELS; g < GROUP_COUNT; ++g) {
        const UiRect& r = m->group[g];
        if (!visible(cr, UiRect{r.x, r.y, r.w, 16 * static_cast<float>(s)})) continue;
        color(cr, MUTED);
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 11.5 * s);
        cairo_move_to(cr, r.x + 2 * s, r.y + 13 * s);
        cairo_show_text(cr, GROUP_LABELS[g]);
    }
    for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p)
        if (p != PORT_MODE_SEL && !PORT_TABLE[p].toggled && visible(cr, m->control[p]))
            draw_control(cr, m, static_cast<PortIndex>(p));
}
