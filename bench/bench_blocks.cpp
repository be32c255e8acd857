// Nanoseconds per sample of each building block on its own, with the state
// the bundle's defaults give it: the diffusion stage, the delay stage (four
// delay-line ticks per sample), a tank line resampling at a wrap, and each
// tank output form with the tank filters on or off.
#include <benchmark/benchmark.h>

#include "bench_state.h"

static BenchEngine* warm_engine(bool filters)
{
    BenchEngine* e = new BenchEngine(BLOCK_SIZE);
    e->filters(filters);
    for (int i = 0; i < 3000; ++i) e->run(BLOCK_SIZE);
    return e;
}

static void BM_DiffusionStage(benchmark::State& state)
{
    BenchEngine* e = warm_engine(true);
    float work[BLOCK_SIZE];
    for (auto _ : state) {
        diffusion_stage_process(&e->dsp->diffusion, e->in.data(), work, BLOCK_SIZE);
        benchmark::DoNotOptimize(work);
    }
    ns_per_sample(state, BLOCK_SIZE);
    delete e;
}
BENCHMARK(BM_DiffusionStage);

static void BM_DelayStage(benchmark::State& state)
{
    BenchEngine* e = warm_engine(true);
    float work[BLOCK_SIZE];
    for (auto _ : state) {
        std::memcpy(work, e->in.data(), sizeof work);
        delay_stage_process_lanes(e->dsp->delay_lines, work, BLOCK_SIZE, 0.25f);
        benchmark::DoNotOptimize(work);
    }
    ns_per_sample(state, BLOCK_SIZE);
    delete e;
}
BENCHMARK(BM_DelayStage);

enum { FORM_REPLACE, FORM_ADD, FORM_STEREO };

static void BM_Tank(benchmark::State& state)
{
    BenchEngine* e = warm_engine(state.range(1) != 0);
    FdnTank* tank = &e->dsp->tanks[0];
    float left[BLOCK_SIZE] = {}, right[BLOCK_SIZE] = {};
    for (auto _ : state) {
        switch (state.range(0)) {
        case FORM_REPLACE: tank_replace_lanes(tank, e->in.data(), left, BLOCK_SIZE); break;
        case FORM_ADD: tank_add_lanes(tank, e->in.data(), left, BLOCK_SIZE); break;
        default: tank_stereo_lanes(tank, e->in.data(), left, right, BLOCK_SIZE); break;
        }
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
    ns_per_sample(state, BLOCK_SIZE);
    delete e;
}
BENCHMARK(BM_Tank)->ArgNames({"form", "filters"})->ArgsProduct({{0, 1, 2}, {1, 0}});

// Resampling a 20000-sample line to 15000 samples, as at a wrap.
static void BM_TankLineLengthChange(benchmark::State& state)
{
    BenchEngine* e = warm_engine(true);
    TankLine* line = &e->dsp->tanks[0].lines[0];
    for (auto _ : state) {
        line->plan = LengthPlan{20000, 15000, 0};
        tank_line_change_length(line);
    }
    delete e;
}
BENCHMARK(BM_TankLineLengthChange)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
