// Long runs with random automation inside the declared ranges (read from the
// bundle's description data through lilv) at random period sizes: the output
// must stay finite and below a sane peak in every mode. Freeze, which may
// grow with continuous input by design, is tested on its own for finiteness.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "lv2/plugin_uri.h"
#include "control/control_table.h"
#include "lilv_world.h"

namespace {

// BRUMMKISTE_RUN_SCALE scales the durations: shorter where the build is slow
// (sanitizers), longer for a soak run by hand.
double seconds(double full)
{
    const char* scale = std::getenv("BRUMMKISTE_RUN_SCALE");
    return scale ? full * std::atof(scale) : full;
}

struct Rand {
    uint64_t state;
    // 31 random bits.
    uint32_t next()
    {
        state = state * UINT64_C(6364136223846793005) + UINT64_C(1442695040888963407);
        return static_cast<uint32_t>(state >> 33);
    }
    // In [0, 1).
    float uniform() { return static_cast<float>(next() >> 7) * (1.0f / 16777216.0f); }
    float between(float lo, float hi) { return lo + (hi - lo) * uniform(); }
};

struct Plugin : LilvPluginWorld {
    Plugin() : LilvPluginWorld(BRUMMKISTE_PLUGIN_URI) {}
};

struct Result {
    double seconds = 0.0;
    float peak = 0.0f;       // whole run
    float early_peak = 0.0f; // first three quarters
    float late_peak = 0.0f;  // last quarter
    bool finite = true;
};

// Input: bursts of noise, decaying tones, clicks and silence, within +-1.
struct Signal {
    Rand rand{42};
    int kind = 0;
    uint32_t left = 0;
    float phase = 0.0f, freq = 0.01f, level = 0.5f;
    float next()
    {
        if (left == 0) {
            kind = static_cast<int>(rand.next() % 4);
            left = 1000 + rand.next() % 40000;
            freq = rand.between(0.001f, 0.3f);
            level = rand.between(0.05f, 1.0f);
        }
        --left;
        switch (kind) {
        case 0: return level * rand.between(-1.0f, 1.0f);
        case 1:
            phase += freq;
            if (phase > 1.0f) phase -= 2.0f;
            return level * (phase < 0.0f ? -1.0f : 1.0f) * 0.5f;
        case 2: return rand.next() % 4000 == 0 ? level : 0.0f;
        default: return 0.0f;
        }
    }
};

Result long_run(const Plugin& p, int mode, double duration, uint64_t seed)
{
    Result result;
    LilvInstance* inst = lilv_plugin_instantiate(p.plugin, 48000.0, nullptr);
    if (!inst) {
        result.finite = false;
        return result;
    }
    std::vector<float> c = p.def, in(2048), l(2048), r(2048);
    c[PORT_MODE_SEL] = static_cast<float>(mode);
    for (uint32_t k = 0; k < PORT_COUNT; ++k) lilv_instance_connect_port(inst, k, &c[k]);
    lilv_instance_connect_port(inst, PORT_IN, in.data());
    lilv_instance_connect_port(inst, PORT_OUT_L, l.data());
    lilv_instance_connect_port(inst, PORT_OUT_R, r.data());
    lilv_instance_activate(inst);
    Rand rand{seed};
    Signal signal;
    const uint64_t total = static_cast<uint64_t>(duration * 48000.0);
    uint64_t done = 0;
    while (done < total && result.finite) {
        const uint32_t n = 1 + rand.next() % 2048;
        if (rand.next() % 4 == 0) {
            const int changes = 1 + static_cast<int>(rand.next() % 3);
            for (int k = 0; k < changes; ++k) {
                // The sound controls; the bypass stays on (its output is the input).
                const int port = PORT_DRY_DB + static_cast<int>(rand.next() % (PORT_ENABLED - PORT_DRY_DB));
                if (port == PORT_MODE_SEL) continue;
                float hi = p.max[port];
                if (port == PORT_DECAY_MS) hi = 170000.0f;  // freeze is tested below
                c[port] = rand.between(p.min[port], hi);
            }
        }
        for (uint32_t i = 0; i < n; ++i) in[i] = signal.next();
        lilv_instance_run(inst, n);
        float& window = done < total / 4 * 3 ? result.early_peak : result.late_peak;
        for (uint32_t i = 0; i < n; ++i) {
            if (!std::isfinite(l[i]) || !std::isfinite(r[i])) result.finite = false;
            window = std::fmax(window, std::fmax(std::fabs(l[i]), std::fabs(r[i])));
        }
        result.peak = std::fmax(result.early_peak, result.late_peak);
        done += n;
    }
    result.seconds = static_cast<double>(done) / 48000.0;
    lilv_instance_deactivate(inst);
    lilv_instance_free(inst);
    return result;
}

}  // namespace

TEST(LongRun, RandomAutomationInRangeStaysFiniteAndBounded)
{
    Plugin p;
    ASSERT_NE(p.plugin, nullptr);
    double audio = 0.0;
    for (int mode = 0; mode <= 4; ++mode) {
        const Result result = long_run(p, mode, seconds(120.0), 1000 + mode);
        audio += result.seconds;
        EXPECT_TRUE(result.finite) << "mode " << mode;
        // Long decays at the top of the level ranges are loud by design (three
        // tanks in series with 170 s of decay and +24 dB of reverb level
        // reach +45 dB above full scale here), but nothing runs away: the
        // peak stays far below an overflow, and the last quarter of the run
        // is no hotter than what the settings gave before.
        EXPECT_LT(result.peak, 1e4f) << "mode " << mode;
        EXPECT_LE(result.late_peak, 2.0f * result.early_peak) << "mode " << mode;
        std::printf("mode %d: %.0f s of audio, peak %.3g (last quarter %.3g)\n", mode,
                    result.seconds, static_cast<double>(result.peak),
                    static_cast<double>(result.late_peak));
    }
    std::printf("rendered %.1f minutes of audio\n", audio / 60.0);
}

TEST(LongRun, FreezeWithContinuousInputStaysFinite)
{
    Plugin p;
    ASSERT_NE(p.plugin, nullptr);
    for (int mode : {3}) {  // three frozen tanks in series: the fastest growth
        LilvInstance* inst = lilv_plugin_instantiate(p.plugin, 48000.0, nullptr);
        ASSERT_NE(inst, nullptr);
        std::vector<float> c = p.def, in(1024, 0.5f), l(1024), r(1024);
        c[PORT_MODE_SEL] = static_cast<float>(mode);
        c[PORT_DECAY_MS] = p.max[PORT_DECAY_MS];
        c[PORT_WET_A_DB] = p.max[PORT_WET_A_DB];
        c[PORT_WET_B_DB] = p.max[PORT_WET_B_DB];
        for (uint32_t k = 0; k < PORT_COUNT; ++k) lilv_instance_connect_port(inst, k, &c[k]);
        lilv_instance_connect_port(inst, PORT_IN, in.data());
        lilv_instance_connect_port(inst, PORT_OUT_L, l.data());
        lilv_instance_connect_port(inst, PORT_OUT_R, r.data());
        lilv_instance_activate(inst);
        // Ten minutes of a constant full-level input: the worst case for
        // accumulation.
        const size_t periods = static_cast<size_t>(seconds(600.0) * 48000.0 / 1024.0);
        bool finite = true;
        float peak = 0.0f;
        for (size_t b = 0; b < periods && finite; ++b) {
            for (size_t i = 0; i < in.size(); ++i) in[i] = (b + i) % 96 < 48 ? 0.5f : -0.5f;
            lilv_instance_run(inst, 1024);
            for (size_t i = 0; i < 1024; ++i) {
                finite = finite && std::isfinite(l[i]) && std::isfinite(r[i]);
                peak = std::fmax(peak, std::fabs(l[i]));
            }
        }
        EXPECT_TRUE(finite) << "mode " << mode;
        std::printf("freeze mode %d: peak %.3g after %.0f s\n", mode, static_cast<double>(peak),
                    periods * 1024.0 / 48000.0);
        lilv_instance_deactivate(inst);
        lilv_instance_free(inst);
    }
}
