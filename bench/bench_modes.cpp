// Nanoseconds per sample of the whole run call, per mode, at 48 kHz with
// 256-sample periods and a steady reverb (controls not moving).
#include <benchmark/benchmark.h>

#include <vector>

#include "../tests/harness.h"

static void BM_Mode(benchmark::State& state)
{
    const uint32_t period = 256;
    Host host(48000.0, period);
    host.controls[PORT_MODE_SEL] = static_cast<float>(state.range(0));
    std::vector<float> input = noise_burst(period, period);
    std::memcpy(host.in.data(), input.data(), period * sizeof(float));
    for (int i = 0; i < 200; ++i) host.run(period);  // ramps settled, tanks filled
    for (auto _ : state) {
        host.run(period);
        benchmark::DoNotOptimize(host.out_l.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * period);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(state.iterations() * period),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Mode)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// A size change: the expensive control update (prime searches and powers).
static void BM_SizeChange(benchmark::State& state)
{
    Host host(48000.0, 16);
    host.run(16);
    float size = 40.0f;
    for (auto _ : state) {
        size = size == 40.0f ? 41.0f : 40.0f;
        host.controls[PORT_SIZE_MAX] = size;
        host.run(0);
    }
}
BENCHMARK(BM_SizeChange)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
