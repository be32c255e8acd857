// The window's response view: how long one picture takes to compute (the
// impulse response rendered by the engine, then its spectra and decay
// curves), per mode, for the default 2.5 s decay at 48 kHz.
#include <benchmark/benchmark.h>

#include "ui/response.h"

static void BM_ResponsePicture(benchmark::State& state)
{
    ResponseSettings s;
    for (const PortInfo& info : PORT_TABLE) s.values[info.index] = info.default_value;
    s.values[PORT_MODE_SEL] = static_cast<float>(state.range(0));
    s.rate = 48000.0;
    for (auto _ : state) {
        ResponseResult r;
        benchmark::DoNotOptimize(response_compute(&s, &r, nullptr, nullptr));
    }
    state.SetLabel("mode " + std::to_string(state.range(0)));
}
BENCHMARK(BM_ResponsePicture)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
