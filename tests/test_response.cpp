// The window's response view: the impulse response it renders is the
// plugin's own output for a unit impulse, bit for bit (the plugin loaded as a
// host loads it); the RT60 it prints per octave band (from short-time
// spectra) agrees with a measurement made here another way (the whole
// response filtered at once in double precision, Schroeder's integral sample
// by sample); the worker always ends on the newest settings; frozen tails and
// the delay lines alone end in bounded time.
#include <gtest/gtest.h>
#include <fftw3.h>
#include <lv2/core/lv2.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <thread>
#include <vector>

#include "ui/response.h"

namespace {

ResponseSettings defaults(double rate)
{
    ResponseSettings s;
    for (const PortInfo& info : PORT_TABLE) s.values[info.index] = info.default_value;
    s.rate = rate;
    return s;
}

// The mono plugin through its descriptor: a unit impulse, then silence, in
// periods of `period` samples.
void plugin_impulse(const ResponseSettings& s, uint32_t n, uint32_t period, std::vector<float>* l,
                    std::vector<float>* r)
{
    void* lib = dlopen(LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(lib, "lv2_descriptor"));
    const LV2_Descriptor* d = entry(0);
    LV2_Handle h = d->instantiate(d, s.rate, "", nullptr);
    ASSERT_NE(h, nullptr);
    float controls[PORT_COUNT];
    for (const PortInfo& info : PORT_TABLE)
        if (info.kind == PORT_KIND_CONTROL_IN) {
            controls[info.index] = s.values[info.index];
            d->connect_port(h, info.index, &controls[info.index]);
        }
    d->activate(h);
    std::vector<float> in(n, 0.0f);
    in[0] = 1.0f;
    l->assign(n, 0.0f);
    r->assign(n, 0.0f);
    for (uint32_t at = 0; at < n; at += period) {
        d->connect_port(h, PORT_IN, in.data() + at);
        d->connect_port(h, PORT_OUT_L, l->data() + at);
        d->connect_port(h, PORT_OUT_R, r->data() + at);
        d->run(h, std::min(period, n - at));
    }
    d->cleanup(h);
    dlclose(lib);
}

// The band's share of the whole response at once: one transform of all of
// it, weighted by the band, transformed back (no short-time frames); the
// direct sound left out, as the view leaves it out.
std::vector<double> octave_band(const std::vector<float>& x, int band, double rate)
{
    const int n = static_cast<int>(x.size());
    std::vector<double> y(x.begin(), x.end());
    y[0] = 0.0;
    std::vector<fftw_complex> spectrum(n / 2 + 1);
    fftw_plan forward = fftw_plan_dft_r2c_1d(n, y.data(), spectrum.data(), FFTW_ESTIMATE);
    fftw_execute(forward);
    fftw_destroy_plan(forward);
    for (int k = 0; k <= n / 2; ++k) {
        const double g = std::sqrt(response_band_weight(band, k * rate / n)) / n;
        spectrum[k][0] *= g;
        spectrum[k][1] *= g;
    }
    fftw_plan back = fftw_plan_dft_c2r_1d(n, spectrum.data(), y.data(), FFTW_ESTIMATE);
    fftw_execute(back);
    fftw_destroy_plan(back);
    return y;
}

// RT60 from Schroeder's integral of left and right band energies, sample by
// sample, read every millisecond and fitted the same way (-5 to -25 dB).
float independent_rt60(const ResponseResult& r, int band)
{
    const std::vector<double> bl = octave_band(r.left, band, r.settings.rate);
    const std::vector<double> br = octave_band(r.right, band, r.settings.rate);
    std::vector<double> tail(bl.size() + 1, 0.0);
    for (size_t i = bl.size(); i-- > 0;) tail[i] = tail[i + 1] + bl[i] * bl[i] + br[i] * br[i];
    const int step = static_cast<int>(r.settings.rate / 1000);
    std::vector<float> edc;
    for (size_t i = 0; i < bl.size(); i += step)
        edc.push_back(static_cast<float>(10.0 * std::log10(std::max(tail[i], 1e-300) / tail[0])));
    return response_rt60(edc.data(), static_cast<int>(edc.size()), 0.001);
}

}  // namespace

TEST(Response, IsThePluginsImpulseResponseBitForBit)
{
    struct Case {
        int mode;
        double rate;
        float decay_ms;
    } cases[] = {{0, 48000, 2500}, {1, 44100, 2500}, {2, 96000, 1200}, {3, 48000, 800},
                 {4, 44100, 1500}, {1, 48000, 180000}};
    for (const Case& c : cases) {
        ResponseSettings s = defaults(c.rate);
        s.values[PORT_MODE_SEL] = static_cast<float>(c.mode);
        s.values[PORT_DECAY_MS] = c.decay_ms;
        s.values[PORT_DELAY_MIX] = 50.0f;
        s.values[PORT_DELAY_FEEDBACK] = 60.0f;
        s.values[PORT_PITCH_1] = 7.0f;
        const uint32_t n = std::min<uint32_t>(response_length(&s), static_cast<uint32_t>(c.rate));
        std::vector<float> l(n), r(n), pl, pr;
        const uint32_t rendered = response_render(&s, n, l.data(), r.data(), nullptr, nullptr);
        ASSERT_GT(rendered, 0u);
        // The plugin in other periods: the response does not depend on them.
        for (uint32_t period : {uint32_t{RESPONSE_PERIOD}, 1000u}) {
            plugin_impulse(s, rendered, period, &pl, &pr);
            EXPECT_EQ(std::memcmp(l.data(), pl.data(), rendered * sizeof(float)), 0)
                << "mode " << c.mode << " at " << c.rate << ", period " << period;
            EXPECT_EQ(std::memcmp(r.data(), pr.data(), rendered * sizeof(float)), 0)
                << "mode " << c.mode << " at " << c.rate << ", period " << period;
        }
    }
}

TEST(Response, BandRt60AgreesWithAnIndependentMeasurement)
{
    struct Case {
        int mode;
        float decay_ms;
    } cases[] = {{1, 2500}, {2, 4000}, {3, 1200}};
    double worst = 0.0;
    for (const Case& c : cases) {
        ResponseSettings s = defaults(48000);
        s.values[PORT_MODE_SEL] = static_cast<float>(c.mode);
        s.values[PORT_DECAY_MS] = c.decay_ms;
        ResponseResult r;
        ASSERT_TRUE(response_compute(&s, &r, nullptr, nullptr));
        EXPECT_FALSE(r.frozen);
        for (int b = 0; b < RESPONSE_BANDS; ++b) {
            const float mine = independent_rt60(r, b);
            ASSERT_TRUE(std::isfinite(r.rt60[b]) && std::isfinite(mine)) << RESPONSE_BAND_HZ[b];
            EXPECT_NEAR(r.rt60[b], mine, 0.05f * mine)
                << "mode " << c.mode << ", " << RESPONSE_BAND_HZ[b] << " Hz";
            worst = std::max(worst, std::fabs(double(r.rt60[b]) - mine) / mine);
        }
        RecordProperty(("rt60_total_mode" + std::to_string(c.mode)).c_str(), std::to_string(r.rt60_total));
    }
    RecordProperty("worst_deviation_percent", std::to_string(100.0 * worst));
}

TEST(Response, FrozenTailsAndTheDelayLinesAloneEnd)
{
    ResponseSettings frozen = defaults(48000);
    frozen.values[PORT_DECAY_MS] = 200000.0f;
    ResponseResult r;
    ASSERT_TRUE(response_compute(&frozen, &r, nullptr, nullptr));
    EXPECT_TRUE(r.frozen);
    EXPECT_EQ(r.length, 4u * 48000u);
    EXPECT_TRUE(std::isnan(r.rt60_total));
    // Its curve hardly falls: the tail keeps its energy.
    EXPECT_GT(r.edc_total[r.columns / 2], -10.0f);

    // The delay lines alone: echoes every delay time, falling with the
    // feedback, and the rendering ends once they are 120 dB down.
    ResponseSettings echoes = defaults(48000);
    echoes.values[PORT_MODE_SEL] = 0.0f;
    echoes.values[PORT_DELAY_MIX] = 50.0f;
    echoes.values[PORT_DELAY_FEEDBACK] = 60.0f;
    echoes.values[PORT_DELAY_MS] = 200.0f;
    ASSERT_TRUE(response_compute(&echoes, &r, nullptr, nullptr));
    EXPECT_LT(r.length, 10u * 48000u);
    auto energy = [&r](double from_s, double to_s) {
        double e = 0;
        for (uint32_t t = static_cast<uint32_t>(from_s * 48000); t < to_s * 48000; ++t)
            e += double(r.left[t]) * r.left[t];
        return e;
    };
    // More around the second and third echo than between them.
    EXPECT_GT(energy(0.38, 0.46), 4 * energy(0.48, 0.56));
    EXPECT_GT(energy(0.58, 0.66), 4 * energy(0.68, 0.76));
}

// Requests while it works: each drops the work in hand, and what it hands
// over belongs to the last one.
TEST(ResponseWorker, EndsOnTheNewestSettings)
{
    ResponseWorker* w = response_worker_start();
    ASSERT_NE(w, nullptr);
    ResponseSettings s = defaults(48000);
    for (int i = 0; i < 20; ++i) {
        s.values[PORT_DECAY_MS] = 20000.0f + 1000.0f * i;  // long tails: work worth dropping
        s.values[PORT_MODE_SEL] = static_cast<float>(i % 5);
        response_worker_request(w, &s);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        delete response_worker_take(w);  // at most results of older settings, dropped
    }
    s.values[PORT_DECAY_MS] = 1800.0f;
    s.values[PORT_MODE_SEL] = 2.0f;
    response_worker_request(w, &s);
    ResponseResult* r = nullptr;
    for (int i = 0; i < 3000 && !r; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        r = response_worker_take(w);
    }
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(response_worker_busy(w));
    EXPECT_EQ(std::memcmp(r->settings.values, s.values, sizeof s.values), 0);
    ResponseResult fresh;
    ASSERT_TRUE(response_compute(&s, &fresh, nullptr, nullptr));
    EXPECT_EQ(r->left, fresh.left);
    EXPECT_EQ(r->spectrogram, fresh.spectrogram);
    delete r;
    // Stopped in the middle of a long one.
    s.values[PORT_DECAY_MS] = 60000.0f;
    response_worker_request(w, &s);
    response_worker_stop(w);
}
