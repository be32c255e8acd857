#include "tools/sound/pictures.h"

#include <cairo.h>
#include <fftw3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

enum { WIDTH = 800, HEIGHT = 300, MARGIN_LEFT = 56, MARGIN_BOTTOM = 30, MARGIN_TOP = 26, FFT = 2048 };

// Dark blue through red and yellow to white over 0 ... 1.
void heat(double v, double* r, double* g, double* b)
{
    v = std::clamp(v, 0.0, 1.0);
    *r = std::clamp(3.0 * v - 0.6, 0.0, 1.0);
    *g = std::clamp(3.0 * v - 1.6, 0.0, 1.0);
    *b = std::clamp(v < 0.35 ? 0.25 + 1.5 * v : 1.4 - 2.0 * v + (v > 0.8 ? 5.0 * (v - 0.8) : 0.0), 0.0, 1.0);
}

void label(cairo_t* cr, double x, double y, const std::string& text, double size)
{
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

void frame(cairo_t* cr, const std::string& title)
{
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    label(cr, MARGIN_LEFT, 17, title, 13);
}

}  // namespace

std::string picture_file_name(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out;
}

void draw_spectrogram(const Samples& x, double rate, double seconds, const std::string& title,
                      const std::string& path)
{
    const int plot_w = WIDTH - MARGIN_LEFT - 10, plot_h = HEIGHT - MARGIN_TOP - MARGIN_BOTTOM;
    const size_t span = std::min(x.size(), static_cast<size_t>(seconds * rate));
    double* in = fftw_alloc_real(FFT);
    fftw_complex* out = fftw_alloc_complex(FFT / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(FFT, in, out, FFTW_ESTIMATE);
    std::vector<double> db(static_cast<size_t>(plot_w) * plot_h, -300.0);
    double top = -300.0;
    const double lo = std::log(50.0), hi = std::log(20000.0);
    for (int col = 0; col < plot_w; ++col) {
        const size_t centre = span * static_cast<size_t>(col) / static_cast<size_t>(plot_w);
        for (int i = 0; i < FFT; ++i) {
            const long at = static_cast<long>(centre) + i - FFT / 2;
            const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / FFT);
            in[i] = at >= 0 && size_t(at) < x.size() ? w * x[size_t(at)] : 0.0;
        }
        fftw_execute(plan);
        for (int row = 0; row < plot_h; ++row) {
            const double f = std::exp(lo + (hi - lo) * (plot_h - 1 - row) / (plot_h - 1));
            const int k = std::clamp(static_cast<int>(std::lround(f * FFT / rate)), 1, FFT / 2);
            const double p = out[k][0] * out[k][0] + out[k][1] * out[k][1];
            const double v = 10.0 * std::log10(p + 1e-300);
            db[size_t(row) * plot_w + col] = v;
            top = std::max(top, v);
        }
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, WIDTH, HEIGHT);
    cairo_t* cr = cairo_create(surface);
    frame(cr, title + ": spectrogram of the impulse response (left)");
    for (int row = 0; row < plot_h; ++row) {
        for (int col = 0; col < plot_w; ++col) {
            double r, g, b;
            heat((db[size_t(row) * plot_w + col] - (top - 90.0)) / 90.0, &r, &g, &b);
            cairo_set_source_rgb(cr, r, g, b);
            cairo_rectangle(cr, MARGIN_LEFT + col, MARGIN_TOP + row, 1, 1);
            cairo_fill(cr);
        }
    }
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    for (double f : {100.0, 1000.0, 10000.0}) {
        const double y = MARGIN_TOP + (plot_h - 1) * (1.0 - (std::log(f) - lo) / (hi - lo));
        label(cr, 6, y + 4, f >= 1000 ? std::to_string(int(f / 1000)) + " kHz" : std::to_string(int(f)) + " Hz", 10);
    }
    for (int s = 0; s <= static_cast<int>(seconds); s += seconds > 10 ? 5 : 1) {
        const double xpos = MARGIN_LEFT + plot_w * s / seconds;
        label(cr, xpos - 6, HEIGHT - 10, std::to_string(s) + " s", 10);
    }
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void draw_density(const Samples& left, const Samples& right, size_t hop, size_t arrival,
                  double rate, const std::string& title, const std::string& path)
{
    const int plot_w = WIDTH - MARGIN_LEFT - 10, plot_h = HEIGHT - MARGIN_TOP - MARGIN_BOTTOM;
    const double seconds = 0.3;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, WIDTH, HEIGHT);
    cairo_t* cr = cairo_create(surface);
    frame(cr, title + ": echo density after the first arrival");
    auto px = [&](double t) { return MARGIN_LEFT + plot_w * t / seconds; };
    auto py = [&](double v) { return MARGIN_TOP + plot_h * (1.0 - std::clamp(v, 0.0, 1.2) / 1.2); };
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
    for (double v : {0.5, 0.9, 1.0}) {
        cairo_move_to(cr, px(0), py(v));
        cairo_line_to(cr, px(seconds), py(v));
        cairo_stroke(cr);
    }
    cairo_move_to(cr, px(0.06), py(0));
    cairo_line_to(cr, px(0.06), py(1.2));
    cairo_stroke(cr);
    const Samples* channels[2] = {&left, &right};
    const double colours[2][3] = {{0.12, 0.37, 0.66}, {0.80, 0.30, 0.10}};
    for (int c = 0; c < 2; ++c) {
        cairo_set_source_rgb(cr, colours[c][0], colours[c][1], colours[c][2]);
        cairo_set_line_width(cr, 1.5);
        bool started = false;
        for (size_t j = arrival / hop; j < channels[c]->size(); ++j) {
            const double t = (static_cast<double>(j * hop) - static_cast<double>(arrival)) / rate;
            if (t < 0) continue;
            if (t > seconds) break;
            if (started)
                cairo_line_to(cr, px(t), py((*channels[c])[j]));
            else
                cairo_move_to(cr, px(t), py((*channels[c])[j]));
            started = true;
        }
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    for (double v : {0.0, 0.5, 0.9, 1.0}) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", v);
        label(cr, 24, py(v) + 4, text, 10);
    }
    for (int ms = 0; ms <= 300; ms += 50) label(cr, px(ms / 1000.0) - 8, HEIGHT - 10, std::to_string(ms) + " ms", 10);
    label(cr, WIDTH - 190, MARGIN_TOP + 14, "left (blue), right (orange)", 10);
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
