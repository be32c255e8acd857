// The sound of a reverb as numbers and pictures, for ours and for any other
// installed LV2 reverb, measured alike through the tools' LV2 host.
//
//   sound_analysis [--markdown] [--check] [--png DIR] CONFIG...
//
// CONFIG is NAME=URI[#preset=LABEL][#symbol=value...][#!symbol=value...]:
// settings with ! apply only to the measuring renders (an impulse and a
// sine), which are meant to hear the reverb alone, so they turn the dry
// signal off; the phrase (for loudness and peak) is played with the
// configuration as a listener would use it. For each configuration the tool
// renders at 48 kHz a unit impulse, a steady 1 kHz sine and the demo phrase,
// and prints one table row (plain or Markdown): fine colour and its
// significant peaks, flutter, echo density, IACC, T20 broadband and per
// octave against the plugin's decay control, time variance, pitch spread,
// loudness and peak; for a frozen configuration (decay above 170 s) how
// much each octave band falls over 20 s instead. With --png it draws DIR/
// NAME-spectrogram.png and DIR/NAME-density.png. With --check every preset
// of a reverb bank must meet the limits a musician expects of a clean
// reverb (below); echo presets are exempt, frozen ones must hold. Exit
// status 1 when any configuration fails its limits or cannot be rendered.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/signals.h"
#include "tools/lv2_host.h"
#include "tools/sound/measures.h"
#include "tools/sound/pictures.h"

namespace {

const double RATE = 48000.0;
const double BANDS[] = {125, 250, 500, 1000, 2000, 4000, 8000};
enum { BAND_COUNT = 7 };
const float FREEZE_ABOVE_MS = 170000.0f;

// What a clean reverb preset must reach.
const double LIMIT_COLOUR_DB = 6.5;
const int LIMIT_PEAKS = 5;
const double LIMIT_FLUTTER = 0.15;
const double LIMIT_IACC = 0.25;
const double LIMIT_DENSITY_S = 0.060;
const double LIMIT_T20_SHARE = 0.15;
const double LIMIT_HOLD_DB = 1.0;

struct Figures {
    std::string name;
    std::string bank;
    float decay_ms = NAN;
    bool frozen = false;
    double arrival_ms = 0;
    Colour colour = {0, 0, 0, 0};
    Flutter flutter_peak = {0, 0};
    double density_ms = -1;
    double iacc_value = 0;
    double t20_all = NAN;
    double t20_band[BAND_COUNT] = {};
    double hold_db[BAND_COUNT] = {};
    double hold_all = 0;
    double variance_db = 0;
    double spread_cents = 0;
    double waver_cents = 0;
    double loudness_db = 0;
    double peak = 0;
};

HostSetup split_setup(const std::string& arg, HostSetup* measuring)
{
    // "#!sym=v" settings go to the measuring setup only.
    std::string plain, extra;
    size_t at = 0;
    while (at < arg.size()) {
        size_t next = arg.find('#', at + 1);
        const std::string piece = arg.substr(at, next == std::string::npos ? std::string::npos : next - at);
        if (piece.rfind("#!", 0) == 0)
            extra += "#" + piece.substr(2);
        else
            plain += piece;
        at = next == std::string::npos ? arg.size() : next;
    }
    HostSetup setup = host_parse_setup(plain);
    *measuring = host_parse_setup(plain + extra);
    return setup;
}

std::vector<float> impulse(double seconds)
{
    std::vector<float> x(static_cast<size_t>(seconds * RATE), 0.0f);
    x[0] = 1.0f;
    return x;
}

std::vector<float> sine(double seconds, double hz)
{
    std::vector<float> x(static_cast<size_t>(seconds * RATE));
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(0.1 * std::sin(2.0 * M_PI * hz * double(i) / RATE));
    return x;
}

bool measure(HostWorld* world, const std::string& arg, const char* png_dir, Figures* out,
             std::string* why)
{
    HostSetup measuring;
    const HostSetup setup = split_setup(arg, &measuring);
    Figures& f = *out;
    f.name = setup.name;
    f.bank = host_preset_bank(world, setup);
    if (HostPlugin* probe = host_plugin_new(world, measuring, why)) {
        f.decay_ms = host_control(probe, "decay_ms");
        host_plugin_free(probe);
    } else {
        return false;
    }
    f.frozen = f.decay_ms > FREEZE_ABOVE_MS;

    Samples l, r;
    if (!host_render(world, measuring, impulse(f.frozen ? 22.0 : 8.0), &l, &r, why)) return false;
    const size_t arrival = first_arrival(l, r);
    f.arrival_ms = 1000.0 * double(arrival) / RATE;
    const size_t tail_at = arrival + static_cast<size_t>(0.1 * RATE);
    const Span span_l = tail_span(l, tail_at, RATE, 1.0), span_r = tail_span(r, tail_at, RATE, 1.0);
    const Samples flat_l = flatten_envelope(l, span_l, RATE), flat_r = flatten_envelope(r, span_r, RATE);
    const Colour cl = fine_colour(flat_l, RATE), cr = fine_colour(flat_r, RATE);
    f.colour = cl.deviation_db >= cr.deviation_db ? cl : cr;
    f.colour.peaks = std::max(cl.peaks, cr.peaks);
    if (cr.worst_peak_db > cl.worst_peak_db) {
        f.colour.worst_peak_db = cr.worst_peak_db;
        f.colour.worst_peak_hz = cr.worst_peak_hz;
    } else {
        f.colour.worst_peak_db = cl.worst_peak_db;
        f.colour.worst_peak_hz = cl.worst_peak_hz;
    }
    const Flutter fl = flutter(flat_l, RATE), fr = flutter(flat_r, RATE);
    f.flutter_peak = std::fabs(fl.peak) >= std::fabs(fr.peak) ? fl : fr;

    const size_t hop = 24;
    const Samples dl = echo_density(l, RATE, hop), dr = echo_density(r, RATE, hop);
    const double tl = density_time(dl, hop, arrival, RATE, 0.9), tr = density_time(dr, hop, arrival, RATE, 0.9);
    f.density_ms = (tl < 0 || tr < 0) ? -1.0 : 1000.0 * std::max(tl, tr);
    const Span stereo = tail_span(l, arrival + static_cast<size_t>(0.08 * RATE), RATE, 1.0);
    f.iacc_value = iacc(l, r, stereo, RATE);

    if (f.frozen) {
        const size_t from = arrival + static_cast<size_t>(RATE);
        f.hold_all = hold_change_db(l, r, RATE, 0.0, from);
        for (int b = 0; b < BAND_COUNT; ++b) f.hold_db[b] = hold_change_db(l, r, RATE, BANDS[b], from);
    } else {
        f.t20_all = t20(l, r, RATE);
        for (int b = 0; b < BAND_COUNT; ++b)
            f.t20_band[b] = t20(octave_band(l, RATE, BANDS[b]), octave_band(r, RATE, BANDS[b]), RATE);
        // A steady sine, long enough for the start to have died away.
        Samples sl, sr;
        if (!host_render(world, measuring, sine(12.0, 1000.0), &sl, &sr, why)) return false;
        const size_t from = static_cast<size_t>(8.0 * RATE);
        f.variance_db = std::max(sine_residual_db(sl, RATE, 1000.0, from),
                                 sine_residual_db(sr, RATE, 1000.0, from));
        const Samples last_l(sl.begin() + long(from), sl.end()), last_r(sr.begin() + long(from), sr.end());
        f.spread_cents = std::max(sine_spread_cents(last_l, RATE, 1000.0),
                                  sine_spread_cents(last_r, RATE, 1000.0));
        f.waver_cents = std::max(sine_waver_cents(last_l, RATE, 1000.0),
                                 sine_waver_cents(last_r, RATE, 1000.0));
    }

    Samples pl, pr;
    if (!host_render(world, setup, phrase(), &pl, &pr, why)) return false;
    f.loudness_db = rms_db(pl, pr);
    f.peak = peak_db(pl, pr);

    if (png_dir) {
        const std::string base = std::string(png_dir) + "/" + picture_file_name(f.name);
        draw_spectrogram(l, RATE, f.frozen ? 20.0 : 6.0, f.name, base + "-spectrogram.png");
        draw_density(dl, dr, hop, arrival, RATE, f.name, base + "-density.png");
    }
    return true;
}

// The limits of --check; an empty list is a pass.
std::vector<std::string> failures(const Figures& f)
{
    std::vector<std::string> why;
    char line[160];
    if (f.bank == "Echoes") return why;
    if (f.frozen) {
        for (int b = 0; b < BAND_COUNT; ++b)
            if (std::fabs(f.hold_db[b]) >= LIMIT_HOLD_DB) {
                std::snprintf(line, sizeof line, "%g Hz band changes %.2f dB over 20 s", BANDS[b], f.hold_db[b]);
                why.push_back(line);
            }
    } else {
        if (!(std::fabs(f.t20_all - f.decay_ms / 1000.0) <= LIMIT_T20_SHARE * f.decay_ms / 1000.0)) {
            std::snprintf(line, sizeof line, "T20 %.2f s against a decay of %.2f s", f.t20_all, f.decay_ms / 1000.0);
            why.push_back(line);
        }
    }
    if (f.colour.deviation_db > LIMIT_COLOUR_DB) {
        std::snprintf(line, sizeof line, "fine colour %.2f dB", f.colour.deviation_db);
        why.push_back(line);
    }
    if (f.colour.peaks > LIMIT_PEAKS) {
        std::snprintf(line, sizeof line, "%d significant peaks", f.colour.peaks);
        why.push_back(line);
    }
    if (std::fabs(f.flutter_peak.peak) > LIMIT_FLUTTER) {
        std::snprintf(line, sizeof line, "flutter %.2f at %.1f ms", f.flutter_peak.peak, 1000 * f.flutter_peak.lag_seconds);
        why.push_back(line);
    }
    if (f.iacc_value > LIMIT_IACC) {
        std::snprintf(line, sizeof line, "IACC %.2f", f.iacc_value);
        why.push_back(line);
    }
    if (f.density_ms < 0 || f.density_ms > 1000 * LIMIT_DENSITY_S) {
        std::snprintf(line, sizeof line, "echo density 0.9 after %.0f ms", f.density_ms);
        why.push_back(line);
    }
    return why;
}

void print_header(bool markdown)
{
    if (markdown) {
        std::printf("| Configuration | Colour dB | Peaks (worst) | Flutter | Density 0.9 | First arrival | IACC "
                    "| T20 / decay | T20 125 Hz ... 8 kHz (s) | Time variance | Pitch waver / spread | Loudness | Peak |\n");
        std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    } else {
        std::printf("%-28s %6s %5s %13s %14s %8s %8s %6s %13s  %-41s %7s %12s %7s %6s\n", "configuration",
                    "colour", "peaks", "worst", "flutter", "density", "arrival", "IACC", "T20/decay",
                    "T20 per octave 125 Hz ... 8 kHz (s)", "var dB", "waver/spread", "RMS dB", "peak");
    }
}

void print_row(const Figures& f, bool markdown)
{
    char worst[48] = "-", flutter_text[48], density[32], t20_text[48], bands[128] = "", variance[24] = "-",
         spread[24] = "-";
    if (f.colour.peaks > 0)
        std::snprintf(worst, sizeof worst, "+%.0f dB %.0f Hz", f.colour.worst_peak_db, f.colour.worst_peak_hz);
    std::snprintf(flutter_text, sizeof flutter_text, "%+.2f %.1f ms", f.flutter_peak.peak, 1000 * f.flutter_peak.lag_seconds);
    if (f.density_ms < 0)
        std::snprintf(density, sizeof density, "never");
    else
        std::snprintf(density, sizeof density, "%.0f ms", f.density_ms);
    size_t used = 0;
    if (f.frozen) {
        std::snprintf(t20_text, sizeof t20_text, "held %+.2f dB", f.hold_all);
        for (int b = 0; b < BAND_COUNT; ++b)
            used += std::snprintf(bands + used, sizeof bands - used, "%s%+.1f", b ? " " : "", f.hold_db[b]);
        used += std::snprintf(bands + used, sizeof bands - used, " dB/20 s");
    } else {
        std::snprintf(t20_text, sizeof t20_text, "%.2f/%.2f s", f.t20_all, f.decay_ms / 1000.0);
        for (int b = 0; b < BAND_COUNT; ++b)
            used += std::snprintf(bands + used, sizeof bands - used, "%s%.2f", b ? " " : "", f.t20_band[b]);
        std::snprintf(variance, sizeof variance, "%.0f", f.variance_db);
        std::snprintf(spread, sizeof spread, "%.1f/%.1f", f.waver_cents, f.spread_cents);
    }
    if (markdown) {
        std::printf("| %s | %.2f | %d (%s) | %s | %s | %.0f ms | %.2f | %s | %s | %s dB | %s cents | %.1f dB | %.1f dB |\n",
                    f.name.c_str(), f.colour.deviation_db, f.colour.peaks, worst, flutter_text, density,
                    f.arrival_ms, f.iacc_value, t20_text, bands, variance, spread, f.loudness_db, f.peak);
    } else {
        std::printf("%-28s %6.2f %5d %13s %14s %8s %6.0fms %6.2f %13s  %-41s %7s %12s %7.1f %6.1f\n",
                    f.name.c_str(), f.colour.deviation_db, f.colour.peaks, worst, flutter_text, density,
                    f.arrival_ms, f.iacc_value, t20_text, bands, variance, spread, f.loudness_db, f.peak);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    bool markdown = false, check = false;
    const char* png_dir = nullptr;
    std::vector<std::string> configs;
    for (int a = 1; a < argc; ++a) {
        if (!std::strcmp(argv[a], "--markdown"))
            markdown = true;
        else if (!std::strcmp(argv[a], "--check"))
            check = true;
        else if (!std::strcmp(argv[a], "--png") && a + 1 < argc)
            png_dir = argv[++a];
        else
            configs.push_back(argv[a]);
    }
    if (configs.empty()) {
        std::fprintf(stderr, "usage: %s [--markdown] [--check] [--png DIR] NAME=URI[#preset=LABEL][#sym=v][#!sym=v]...\n",
                     argv[0]);
        return 2;
    }
    HostWorld* world = host_world_new(RATE, 256);
    print_header(markdown);
    int status = 0;
    for (const std::string& config : configs) {
        Figures f;
        std::string why;
        if (!measure(world, config, png_dir, &f, &why)) {
            std::printf("%s: cannot be measured: %s\n", f.name.c_str(), why.c_str());
            status = 1;
            continue;
        }
        print_row(f, markdown);
        if (!check) continue;
        for (const std::string& w : failures(f)) {
            std::fprintf(stderr, "FAIL %s: %s\n", f.name.c_str(), w.c_str());
            status = 1;
        }
    }
    host_world_free(world);
    return status;
}
