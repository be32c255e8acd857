// Tanks advanced eight samples at a time, side by side.
//
// Between two wraps a line reads what it wrote at least 101 samples ago, so
// a tank's outputs over the next eight samples are known before its inputs:
// tank_spans_begin computes them for every tank of a mode at once (their
// filter recurrences interleaved, the eight lines of a tank in the lanes of
// one vector), and tank_span_output then takes each tank's input in the
// mode's order, writes its lines and forms its output. A tank with a wrap
// inside the span, a span shorter than eight, or a CPU without the lanes
// takes the same samples one tank_step at a time. Either way every sample is
// what tank_step gives, bit for bit.
#pragma once

#include <cstdint>

#include "dsp/simd.h"
#include "dsp/tank.h"

enum { TANK_SPAN = 8 };

typedef enum { FORM_REPLACE, FORM_ADD, FORM_STEREO } TankForm;

#if DSP_HAVE_V8
// A tank's per-line state in lanes while spans run.
typedef struct {
    V8 line_out;
    V8 before_last;  // line_out before the last sample, for the stored mix
    V8 gain;
    V8 hp_coefficient, hp_state, hp_mask;
    V8 lp_coefficient, lp_state, lp_mask;
} TankLanes;
#endif

typedef struct {
    FdnTank* tank;
    bool in_lanes;  // the lanes hold the tank's state, not the record
    bool chunk;     // this span runs in lanes
#if DSP_HAVE_V8
    TankLanes lanes;
    V8 rows[TANK_LINES];     // line-major outputs of the span
    V8 shifted[TANK_LINES];  // line-major outputs one sample earlier
    float* at[TANK_LINES];   // each line's write position
#endif
} TankSlot;

typedef struct {
    TankSlot slots[TANK_COUNT];
    int count;
    uint32_t n;
} TankSpans;

// Slots 0 ... count - 1 for tanks[0 ... count - 1].
void tank_spans_open(TankSpans* spans, FdnTank* tanks, int count);
// The next n <= 8 samples: every tank that can runs its outputs now.
void tank_spans_begin(TankSpans* spans, uint32_t n);
// Tank `slot` takes in[0 ... n - 1] and writes its output form to a (and b).
void tank_span_output(TankSpans* spans, int slot, const float* in, TankForm form, float* a,
                      float* b);
// Every tank's state back in its record.
void tank_spans_close(TankSpans* spans);
