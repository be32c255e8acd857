#include "ui/response_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ui/ui_style.h"

// Level to colour: the panel's dark at the floor, through violet and red to
// the accent, pale yellow at the top.
static void level_color(float db, double rgb[3])
{
    static const double STOPS[5][4] = {
        {-RESPONSE_RANGE_DB, 0.13, 0.14, 0.17}, {-60.0, 0.30, 0.16, 0.42}, {-40.0, 0.75, 0.22, 0.30},
        {-20.0, 0.96, 0.64, 0.20},              {0.0, 1.00, 0.96, 0.78},
    };
    const double d = std::min(0.0, std::max(double(-RESPONSE_RANGE_DB), double(db)));
    int i = 0;
    while (i < 3 && d > STOPS[i + 1][0]) ++i;
    const double t = (d - STOPS[i][0]) / (STOPS[i + 1][0] - STOPS[i][0]);
    for (int c = 0; c < 3; ++c) rgb[c] = STOPS[i][c + 1] + t * (STOPS[i + 1][c + 1] - STOPS[i][c + 1]);
}

cairo_surface_t* response_picture(const ResponseResult* r)
{
    if (!r || r->columns <= 0) return nullptr;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r->columns, RESPONSE_ROWS);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int c = 0; c < r->columns; ++c)
        for (int row = 0; row < RESPONSE_ROWS; ++row) {
            double rgb[3];
            level_color(r->spectrogram[static_cast<size_t>(c) * RESPONSE_ROWS + row], rgb);
            uint32_t* px = reinterpret_cast<uint32_t*>(data + (RESPONSE_ROWS - 1 - row) * stride) + c;
            *px = (uint32_t(rgb[0] * 255) << 16) | (uint32_t(rgb[1] * 255) << 8) | uint32_t(rgb[2] * 255);
        }
    cairo_surface_mark_dirty(image);
    return image;
}

// One hue per band, low (warm) to high (cool).
static const double BAND_COLORS[RESPONSE_BANDS][3] = {
    {0.95, 0.45, 0.35}, {0.96, 0.64, 0.20}, {0.90, 0.85, 0.30}, {0.55, 0.85, 0.40},
    {0.35, 0.80, 0.80}, {0.40, 0.60, 1.00}, {0.70, 0.50, 1.00},
};

static void seconds_text(char* text, size_t size, float seconds)
{
    if (!(seconds == seconds))
        std::snprintf(text, size, "-");
    else
        std::snprintf(text, size, seconds < 9.995f ? "%.2f" : "%.1f", seconds);
}

static void left_text(cairo_t* cr, const char* text, double x, double y, double size, bool bold)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text);
}

static void right_text(cairo_t* cr, const char* text, double x, double y, double size)
{
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_move_to(cr, x - e.width - e.x_bearing, y);
    cairo_show_text(cr, text);
}

void response_draw(cairo_t* cr, const UiModel* m, const ResponseView* v)
{
    const UiRect& a = m->response;
    if (!visible(cr, a)) return;
    const double s = m->scale;
    color(cr, PANEL);
    rounded(cr, a.x, a.y, a.w, a.h, 6 * s);
    cairo_fill(cr);

    const ResponseResult* r = v->result;
    const double rate = r ? r->settings.rate : 0.0;
    color(cr, TEXT);
    left_text(cr, "Impulse response", a.x + 10 * s, a.y + 18 * s, 12.5 * s, true);
    char status[96];
    if (!r)
        std::snprintf(status, sizeof status, "computing...");
    else
        std::snprintf(status, sizeof status, "%s%g kHz%s", v->busy ? "updating...  " : "", rate / 1000.0,
                      v->rate_from_host ? "" : " (assumed: no rate from the host)");
    color(cr, MUTED);
    right_text(cr, status, a.x + a.w - 10 * s, a.y + 18 * s, 10 * s);

    // The spectrogram, frequency on a log axis, with its legend.
    const double gx = a.x + 40 * s, gy = a.y + 28 * s, gw = a.w - 40 * s - 46 * s, gh = a.h * 0.42;
    color(cr, BACKGROUND);
    cairo_rectangle(cr, gx, gy, gw, gh);
    cairo_fill(cr);
    const double seconds = r ? static_cast<double>(r->length) / rate : 1.0;
    if (r && v->picture) {
        cairo_save(cr);
        cairo_rectangle(cr, gx, gy, gw, gh);
        cairo_clip(cr);
        // The columns cover whole frames: the last may reach past the end.
        const double span = r->columns * r->column_seconds;
        cairo_translate(cr, gx, gy);
        cairo_scale(cr, gw / r->columns * span / seconds, gh / RESPONSE_ROWS);
        cairo_set_source_surface(cr, v->picture, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    color(cr, MUTED);
    const double log_span = std::log(RESPONSE_HIGH_HZ / RESPONSE_LOW_HZ);
    const struct {
        float hz;
        const char* text;
    } FREQUENCIES[] = {{100, "100"}, {1000, "1k"}, {10000, "10k"}};
    for (const auto& f : FREQUENCIES) {
        const double y = gy + gh * (1.0 - std::log(f.hz / RESPONSE_LOW_HZ) / log_span);
        right_text(cr, f.text, gx - 5 * s, y + 3.5 * s, 9.5 * s);
    }
    right_text(cr, "Hz", gx - 5 * s, gy + 9 * s, 9.5 * s);
    // Legend: the colour scale in dB.
    const double lx = gx + gw + 8 * s, lw = 8 * s;
    for (int i = 0; i < 40; ++i) {
        double rgb[3];
        level_color(static_cast<float>(-RESPONSE_RANGE_DB * (i + 0.5) / 40), rgb);
        cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
        cairo_rectangle(cr, lx, gy + gh * i / 40, lw, gh / 40 + 0.5);
        cairo_fill(cr);
    }
    color(cr, MUTED);
    for (int db = 0; db >= -80; db -= 20) {
        char t[8];
        std::snprintf(t, sizeof t, "%d", db);
        left_text(cr, t, lx + lw + 3 * s, gy + gh * (-db / RESPONSE_RANGE_DB) + 3.5 * s, 9 * s, false);
    }
    left_text(cr, "dB", lx, gy + gh + 12 * s, 9 * s, false);

    // Energy decay curves on the same time axis.
    const double ey = gy + gh + 22 * s, eh = a.h * 0.28;
    color(cr, BACKGROUND);
    cairo_rectangle(cr, gx, ey, gw, eh);
    cairo_fill(cr);
    color(cr, MUTED);
    for (int db = 0; db >= -60; db -= 20) {
        char t[8];
        std::snprintf(t, sizeof t, "%d", db);
        const double y = ey + eh * (-db / 60.0);
        right_text(cr, t, gx - 5 * s, y + 3.5 * s, 9.5 * s);
        color(cr, PANEL);
        cairo_rectangle(cr, gx, y, gw, 1 * s);
        cairo_fill(cr);
        color(cr, MUTED);
    }
    char t_end[24];
    std::snprintf(t_end, sizeof t_end, "%.2g s", seconds);
    left_text(cr, "0", gx, ey + eh + 12 * s, 9.5 * s, false);
    right_text(cr, t_end, gx + gw, ey + eh + 12 * s, 9.5 * s);
    left_text(cr, "energy decay, octave bands", gx + 30 * s, ey + eh + 12 * s, 9.5 * s, false);
    if (r) {
        cairo_save(cr);
        cairo_rectangle(cr, gx, ey, gw, eh);
        cairo_clip(cr);
        cairo_set_line_width(cr, 1.3 * s);
        for (int b = -1; b < RESPONSE_BANDS; ++b) {
            const std::vector<float>& curve = b < 0 ? r->edc_total : r->edc[b];
            if (b < 0)
                color(cr, TEXT);
            else
                color(cr, BAND_COLORS[b], 0.9);
            for (size_t i = 0; i < curve.size(); ++i) {
                const double x = gx + gw * (i + 0.5) * r->column_seconds / seconds;
                const double y = ey + eh * (-curve[i] / 60.0);
                if (i == 0)
                    cairo_move_to(cr, x, y);
                else
                    cairo_line_to(cr, x, y);
            }
            cairo_stroke(cr);
        }
        cairo_restore(cr);
    }

    // RT60 per band, then overall beside the decay control.
    const double ty = ey + eh + 32 * s;
    const double col = (a.w - 20 * s) / (RESPONSE_BANDS + 1);
    color(cr, MUTED);
    left_text(cr, "RT60", a.x + 10 * s, ty, 10 * s, true);
    left_text(cr, "s", a.x + 10 * s, ty + 16 * s, 10 * s, false);
    static const char* const BAND_NAMES[RESPONSE_BANDS] = {"125", "250", "500", "1k", "2k", "4k", "8k"};
    for (int b = 0; b < RESPONSE_BANDS; ++b) {
        const double cx = a.x + 10 * s + col * (b + 1.5);
        color(cr, BAND_COLORS[b]);
        text_at(cr, BAND_NAMES[b], cx, ty, 10 * s, false);
        char value[16];
        if (r && r->frozen)
            std::snprintf(value, sizeof value, "frozen");
        else
            seconds_text(value, sizeof value, r ? r->rt60[b] : NAN);
        color(cr, TEXT);
        text_at(cr, value, cx, ty + 16 * s, 10.5 * s, false);
    }
    char line[128], measured[16], decay[16];
    const float decay_s = m->values[PORT_DECAY_MS] / 1000.0f;
    seconds_text(decay, sizeof decay, decay_s);
    if (r && r->frozen) {
        std::snprintf(line, sizeof line, "Frozen: the tail does not decay (decay time above 170 s)");
    } else if (r && static_cast<int>(r->settings.values[PORT_MODE_SEL]) == MODE_DELAY_LINES) {
        seconds_text(measured, sizeof measured, r->rt60_total);
        std::snprintf(line, sizeof line, "RT60 %s s: the delay lines' echoes (no tank)", measured);
    } else {
        seconds_text(measured, sizeof measured, r ? r->rt60_total : NAN);
        std::snprintf(line, sizeof line, "RT60 %s s measured; decay time set to %s s", measured, decay);
    }
    color(cr, TEXT);
    left_text(cr, line, a.x + 10 * s, ty + 38 * s, 11 * s, true);
}
