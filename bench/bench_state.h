// A DspState and its control side set up with the bundle's defaults from the
// control table, for the benchmarks.
#pragma once

#include <cstdlib>
#include <cstring>
#include <vector>

#include "control/scan.h"

struct BenchEngine {
    DspState* dsp = static_cast<DspState*>(std::malloc(sizeof(DspState)));
    ControlState controls;
    float values[PORT_COUNT];
    float* ports[PORT_COUNT] = {};
    std::vector<float> in, out_l, out_r;
    AudioBuffers io;

    explicit BenchEngine(uint32_t capacity = 1024, float rate = 48000.0f)
        : in(capacity), out_l(capacity), out_r(capacity)
    {
        engine_init(dsp, rate);
        controls_reset(&controls);
        for (const PortInfo& info : PORT_TABLE) values[info.index] = info.default_value;
        for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p) ports[p] = &values[p];
        // White noise in [-0.5, 0.5).
        uint32_t seed = 1;
        for (float& x : in) {
            seed = seed * 1664525u + 1013904223u;
            x = static_cast<float>(seed >> 8) * (1.0f / 16777216.0f) - 0.5f;
        }
        io = AudioBuffers{in.data(), nullptr, out_l.data(), out_r.data(), false};
    }
    ~BenchEngine() { std::free(dsp); }
    BenchEngine(const BenchEngine&) = delete;
    BenchEngine& operator=(const BenchEngine&) = delete;

    void run(uint32_t n) { run_period(&controls, dsp, ports, &io, n); }
    // Every tank filter off (cutoffs outside their ranges) or at the defaults.
    void filters(bool on)
    {
        values[PORT_HP_LOW] = on ? PORT_TABLE[PORT_HP_LOW].default_value : 0.0f;
        values[PORT_HP_HIGH] = on ? PORT_TABLE[PORT_HP_HIGH].default_value : 0.0f;
        values[PORT_LP_LOW] = on ? PORT_TABLE[PORT_LP_LOW].default_value : 20000.0f;
        values[PORT_LP_HIGH] = on ? PORT_TABLE[PORT_LP_HIGH].default_value : 20000.0f;
    }
};

inline void ns_per_sample(benchmark::State& state, double samples_per_iteration)
{
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * samples_per_iteration,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
