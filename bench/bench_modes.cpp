// Nanoseconds per sample of whole periods, per mode, at 48 kHz with the
// bundle's default controls: periods 16, 64, 256 and 1024; the tank filters on
// (the defaults) or off; controls still, or the reverb level and decay time
// automated every period (both ramps moving, the decay gains recomputed in
// every block). Also the worst single period while the room changes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "bench_state.h"
#include "instance/fp_guard.h"

static void BM_Mode(benchmark::State& state)
{
    const uint32_t period = static_cast<uint32_t>(state.range(1));
    BenchEngine e(period);
    e.values[PORT_MODE_SEL] = static_cast<float>(state.range(0));
    e.filters(state.range(2) != 0);
    const bool moving = state.range(3) != 0;
    for (int i = 0; i < 48000 / static_cast<int>(period); ++i) e.run(period);  // tanks filled
    int step = 0;
    for (auto _ : state) {
        if (moving) {
            ++step;
            e.values[PORT_WET_A_DB] = -27.0f + static_cast<float>(step % 64) * 0.25f;
            e.values[PORT_DECAY_MS] = 2500.0f + static_cast<float>(step % 256) * 20.0f;
        }
        e.run(period);
        benchmark::DoNotOptimize(e.out_l.data());
        benchmark::ClobberMemory();
    }
    ns_per_sample(state, period);
}
BENCHMARK(BM_Mode)
    ->ArgNames({"mode", "period", "filters", "moving"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {16, 64, 256, 1024}, {1, 0}, {0, 1}});

// The tanks' modulated reads: every mode at 64 and 256 samples per period,
// the tank modulation at 0 and 50 %, everything else at its default.
static void BM_ModeTankMod(benchmark::State& state)
{
    const uint32_t period = static_cast<uint32_t>(state.range(1));
    BenchEngine e(period);
    e.values[PORT_MODE_SEL] = static_cast<float>(state.range(0));
    e.values[PORT_TANK_MOD] = static_cast<float>(state.range(2));
    for (int i = 0; i < 48000 / static_cast<int>(period); ++i) e.run(period);  // tanks filled
    for (auto _ : state) {
        e.run(period);
        benchmark::DoNotOptimize(e.out_l.data());
        benchmark::ClobberMemory();
    }
    ns_per_sample(state, period);
}
BENCHMARK(BM_ModeTankMod)
    ->ArgNames({"mode", "period", "tank_mod"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {64, 256}, {0, 50}});

// An instance whose tail has died away: half a second of noise, then
// silence until the output has been exactly zero for a second and the
// engine has gone idle (with flush-to-zero, as the plugin runs), then silent
// periods. Beside BM_Mode's figures this is what a silent
// track's instance costs. seconds_to_zero and seconds_to_idle count from the
// end of the noise.
static void BM_ModeIdle(benchmark::State& state)
{
    const uint32_t period = static_cast<uint32_t>(state.range(1));
    BenchEngine e(period);
    e.values[PORT_MODE_SEL] = static_cast<float>(state.range(0));
    FpGuard guard;
    fp_guard_enter(&guard);
    for (int i = 0; i < 24000 / static_cast<int>(period); ++i) e.run(period);
    std::fill(e.in.begin(), e.in.end(), 0.0f);
    uint32_t silent = 0, elapsed = 0, to_idle = 0;
    while ((silent < 48000 || !e.dsp->watch.idle) && elapsed < 48000u * 300u) {
        e.run(period);
        elapsed += period;
        if (e.dsp->watch.idle && to_idle == 0) to_idle = elapsed;
        bool zero = true;
        for (uint32_t i = 0; i < period; ++i) zero = zero && e.out_l[i] == 0.0f && e.out_r[i] == 0.0f;
        silent = zero ? silent + period : 0;
    }
    for (auto _ : state) {
        e.run(period);
        benchmark::DoNotOptimize(e.out_l.data());
        benchmark::ClobberMemory();
    }
    fp_guard_leave(&guard);
    ns_per_sample(state, period);
    state.counters["seconds_to_zero"] = static_cast<double>(elapsed - silent) / 48000.0;
    state.counters["seconds_to_idle"] = static_cast<double>(to_idle) / 48000.0;
}
BENCHMARK(BM_ModeIdle)->ArgNames({"mode", "period"})->ArgsProduct({{0, 1, 2, 3, 4}, {64, 256, 1024}});

// The same periods with the plain code: what a CPU without the vector lanes
// (an x86-64 without AVX and FMA) pays, beside the lanes' figures above.
static void BM_ModePlainCode(benchmark::State& state)
{
    const uint32_t period = static_cast<uint32_t>(state.range(1));
    BenchEngine e(period);
    e.dsp->lanes = false;
    e.values[PORT_MODE_SEL] = static_cast<float>(state.range(0));
    for (int i = 0; i < 48000 / static_cast<int>(period); ++i) e.run(period);
    for (auto _ : state) {
        e.run(period);
        benchmark::DoNotOptimize(e.out_l.data());
        benchmark::ClobberMemory();
    }
    ns_per_sample(state, period);
}
BENCHMARK(BM_ModePlainCode)->ArgNames({"mode", "period"})->ArgsProduct({{0, 1, 2, 3, 4}, {256}});

// The longest single run of 64 samples (of 2000) while a room control moves
// in every period: size, jitter and shape at once (every tank line replanned,
// lines resampled at their wraps), or the decay ramp alone.
static void worst_period(benchmark::State& state, bool room)
{
    BenchEngine e(64);
    for (int i = 0; i < 750; ++i) e.run(64);
    double worst = 0.0;
    int step = 0;
    for (auto _ : state) {
        for (int i = 0; i < 2000; ++i) {
            ++step;
            if (room) {
                e.values[PORT_SIZE_MAX] = 20.0f + static_cast<float>(step % 100);
                e.values[PORT_JITTER] = static_cast<float>(step % 50);
                e.values[PORT_SHAPE] = static_cast<float>(step % 200) - 100.0f;
            } else {
                e.values[PORT_DECAY_MS] = step % 400 < 200 ? 100.0f : 20000.0f;
            }
            const auto t0 = std::chrono::steady_clock::now();
            e.run(64);
            const auto t1 = std::chrono::steady_clock::now();
            worst = std::max(worst, std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
    }
    state.counters["worst_run_us"] = worst;
    state.counters["share_of_period"] = worst / (64.0 / 48000.0 * 1e6);
}

static void BM_WorstRunRoomMoving(benchmark::State& state) { worst_period(state, true); }
static void BM_WorstRunDecayMoving(benchmark::State& state) { worst_period(state, false); }
BENCHMARK(BM_WorstRunRoomMoving)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorstRunDecayMoving)->Iterations(3)->Unit(benchmark::kMillisecond);

// One size change: the control update (prime searches and powers).
static void BM_SizeChange(benchmark::State& state)
{
    BenchEngine e(16);
    e.run(16);
    float size = 40.0f;
    for (auto _ : state) {
        size = size == 40.0f ? 41.0f : 40.0f;
        e.values[PORT_SIZE_MAX] = size;
        e.run(0);
    }
}
BENCHMARK(BM_SizeChange)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
