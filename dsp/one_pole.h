// One-pole filters of the tank lines: y follows x with the pole `coefficient`.
#pragma once

#include <cmath>

typedef struct {
    float coefficient;
    float state;
} OnePole;

// Highpass: the input minus its smoothed copy, w = c * (state - x).
inline float one_pole_highpass(OnePole* f, float x)
{
    const float w = f->coefficient * (f->state - x);
    f->state = x + w;
    return -w;
}

// Lowpass: state = c * (state - x) + x, one fused multiply-add.
inline float one_pole_lowpass(OnePole* f, float x)
{
    f->state = std::fma(f->coefficient, f->state - x, x);
    return f->state;
}
