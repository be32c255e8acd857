#include "engine/modes.h"

#include <cmath>
#include <cstring>

#include "dsp/tank_span.h"

// Diffusion stage and delay stage: the front end of modes 0 to 3.
static void front_end(DspState* dsp, const float* in, float* work, uint32_t n, float k)
{
    diffusion_stage_process(&dsp->diffusion, in, work, n);
    delay_stage_process(dsp->delay_lines, work, n, k);
}

// The tanks of a mode advance span by span (eight samples), all their
// outputs first, side by side; each then takes its input in the mode's order.
static uint32_t span_length(uint32_t n, uint32_t i)
{
    return n - i < TANK_SPAN ? n - i : uint32_t{TANK_SPAN};
}

// Tanks 0, 1 and 2 of the span side by side on the same input, their sum
// into out.
static void three_tanks(TankSpans* spans, const float* work, float* out)
{
    tank_span_output(spans, 0, work, FORM_REPLACE, out, nullptr);
    tank_span_output(spans, 1, work, FORM_ADD, out, nullptr);
    tank_span_output(spans, 2, work, FORM_ADD, out, nullptr);
}

// Mode 0: no tank; the delay stage's plain sum on both sides.
void mode0_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    front_end(dsp, in, wet_l, n, 1.0f);
    std::memcpy(wet_r, wet_l, n * sizeof(float));
}

// Mode 1: tanks 0 + 1 make the right side, 2 + 3 the left, then each side
// takes cross_mix of the other.
void mode1_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(dsp, in, work, n, 0.25f);
    TankSpans spans;
    tank_spans_open(&spans, dsp->tanks, TANK_COUNT);
    for (uint32_t i = 0; i < n; i += TANK_SPAN) {
        tank_spans_begin(&spans, span_length(n, i));
        tank_span_output(&spans, 0, work + i, FORM_REPLACE, wet_r + i, nullptr);
        tank_span_output(&spans, 1, work + i, FORM_ADD, wet_r + i, nullptr);
        tank_span_output(&spans, 2, work + i, FORM_REPLACE, wet_l + i, nullptr);
        tank_span_output(&spans, 3, work + i, FORM_ADD, wet_l + i, nullptr);
    }
    tank_spans_close(&spans);
    const float c = dsp->cross_mix;
    for (uint32_t i = 0; i < n; ++i) {
        const float l = wet_l[i];
        const float r = wet_r[i];
        wet_l[i] = std::fma(c, r, l);
        wet_r[i] = std::fma(c, l, r);
    }
}

// Mode 2: tanks 0, 1, 2 in parallel, their average into the stereo tank 3.
void mode2_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(dsp, in, work, n, 0.25f);
    TankSpans spans;
    tank_spans_open(&spans, dsp->tanks, TANK_COUNT);
    for (uint32_t i = 0; i < n; i += TANK_SPAN) {
        const uint32_t m = span_length(n, i);
        tank_spans_begin(&spans, m);
        three_tanks(&spans, work + i, wet_r + i);
        for (uint32_t j = i; j < i + m; ++j) work[j] = wet_r[j] * 0.33333334f;
        tank_span_output(&spans, 3, work + i, FORM_STEREO, wet_l + i, wet_r + i);
    }
    tank_spans_close(&spans);
}

// Mode 3: tanks 1 and 2 in series, each adding its reverb to what it gets,
// into the stereo tank 3. Tank 0 is stepped too (its output is discarded) so
// that it keeps advancing as in the other tank modes.
void mode3_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    front_end(dsp, in, work, n, 0.25f);
    TankSpans spans;
    tank_spans_open(&spans, dsp->tanks, TANK_COUNT);
    for (uint32_t i = 0; i < n; i += TANK_SPAN) {
        tank_spans_begin(&spans, span_length(n, i));
        tank_span_output(&spans, 0, work + i, FORM_REPLACE, wet_r + i, nullptr);
        tank_span_output(&spans, 1, work + i, FORM_ADD, work + i, nullptr);
        tank_span_output(&spans, 2, work + i, FORM_ADD, work + i, nullptr);
        tank_span_output(&spans, 3, work + i, FORM_STEREO, wet_l + i, wet_r + i);
    }
    tank_spans_close(&spans);
}

// Mode 4: diffusion, tanks 0, 1, 2 summed, two chains of delay lines
// (0 -> 1 and 3 -> 2) averaged, into the stereo tank 3.
void mode4_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    float work[BLOCK_SIZE];
    float tanks_out[BLOCK_SIZE];
    diffusion_stage_process(&dsp->diffusion, in, work, n);
    TankSpans spans;
    tank_spans_open(&spans, dsp->tanks, TANK_COUNT);
    for (uint32_t i = 0; i < n; i += TANK_SPAN) {
        const uint32_t m = span_length(n, i);
        tank_spans_begin(&spans, m);
        three_tanks(&spans, work + i, tanks_out + i);
        delay_chains_process(dsp->delay_lines, tanks_out + i, work + i, m);
        tank_span_output(&spans, 3, work + i, FORM_STEREO, wet_l + i, wet_r + i);
    }
    tank_spans_close(&spans);
}

void mode_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n)
{
    switch (dsp->mode) {
    case MODE_DELAY_LINES: mode0_process(dsp, in, wet_l, wet_r, n); break;
    case MODE_PARALLEL_TANKS: mode1_process(dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_INTO_ONE: mode2_process(dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_IN_SERIES: mode3_process(dsp, in, wet_l, wet_r, n); break;
    case MODE_TANKS_INTO_DELAYS: mode4_process(dsp, in, wet_l, wet_r, n); break;
    default:
        std::memset(wet_l, 0, n * sizeof(float));
        std::memset(wet_r, 0, n * sizeof(float));
        break;
    }
}
