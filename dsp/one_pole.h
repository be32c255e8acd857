// One-pole filters of the tank lines: y follows x with the pole `coefficient`.
// The steps are written once over the lane type: float for one line, the
// eight-line vector for the tanks' lanes.
#pragma once

#include "dsp/lane_ops.h"

typedef struct {
    float coefficient;
    float state;
} OnePole;

// Highpass: the input minus its smoothed copy. w = c * (state - x); the
// state becomes x + w and the output is -w.
template <typename F>
static inline F highpass_step(F coefficient, F* state, F x)
{
    const F w = lane_mul(coefficient, lane_sub(*state, x));
    *state = lane_add(x, w);
    return lane_neg(w);
}

// Lowpass: state = c * (state - x) + x, one fused multiply-add.
template <typename F>
static inline F lowpass_step(F coefficient, F* state, F x)
{
    *state = lane_fma(coefficient, lane_sub(*state, x), x);
    return *state;
}

// Highpass then lowpass, bit for bit the two steps above. The lowpass takes
// u = -w: state - u is state + w exactly, and the fused c * (state + w) + (-w)
// is the fused c * (state + w) - w, so the negation need not be computed.
template <typename F>
static inline F highpass_lowpass_step(F hp_coefficient, F lp_coefficient, F* hp_state, F* lp_state,
                                      F x)
{
    const F w = lane_mul(hp_coefficient, lane_sub(*hp_state, x));
    *hp_state = lane_add(x, w);
    *lp_state = lane_fms(lp_coefficient, lane_add(*lp_state, w), w);
    return *lp_state;
}
