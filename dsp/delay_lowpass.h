// The delay line's fixed fourth-order lowpass (direct form II): unity gain at
// DC, a peak of 1.4125 (+3.0 dB) near 0.37 of Nyquist, -32 dB at 0.8 of it.
// The step is written once over the lane type: float for one line, four
// lanes for the four lines side by side.
#pragma once

#include "dsp/lane_ops.h"

// w = c0 u - c1 w1 - c2 w2 - c3 w3 - c4 w4, then y = w + 4 (w1 + w3) + 6 w2 + w4.
static const float LOWPASS_C0 = 0.17293644f;
static const float LOWPASS_C1 = 0.49543488f;
static const float LOWPASS_C2 = 0.92745388f;
static const float LOWPASS_C3 = 0.01951078f;
static const float LOWPASS_C4 = 0.32458356f;

enum { DELAY_LOWPASS_HISTORY = 5 };

typedef struct {
    float history[DELAY_LOWPASS_HISTORY];  // w1 (newest) ... w5; w5 is shifted along but never read
} DelayLowpass;

static inline void delay_lowpass_reset(DelayLowpass* f)
{
    for (float& w : f->history) w = 0.0f;
}

// The new w from the input u and the history h (not yet shifted).
template <typename F>
static inline F delay_lowpass_w(const F h[DELAY_LOWPASS_HISTORY], F u)
{
    const F c0u = lane_mul(lane_splat<F>(LOWPASS_C0), u);
    const F a = lane_sub(c0u, lane_mul(lane_splat<F>(LOWPASS_C1), h[0]));
    const F b = lane_sub(a, lane_mul(lane_splat<F>(LOWPASS_C2), h[1]));
    const F c = lane_sub(b, lane_mul(lane_splat<F>(LOWPASS_C3), h[2]));
    return lane_sub(c, lane_mul(lane_splat<F>(LOWPASS_C4), h[3]));
}

// The output y from the new w and the history h (not yet shifted).
template <typename F>
static inline F delay_lowpass_y(const F h[DELAY_LOWPASS_HISTORY], F w)
{
    const F a = lane_add(w, lane_mul(lane_splat<F>(4.0f), lane_add(h[0], h[2])));
    return lane_add(lane_add(a, lane_mul(lane_splat<F>(6.0f), h[1])), h[3]);
}

// The history shifted by one, w the newest.
template <typename F>
static inline void delay_lowpass_push(F h[DELAY_LOWPASS_HISTORY], F w)
{
    for (int i = DELAY_LOWPASS_HISTORY - 1; i > 0; --i) h[i] = h[i - 1];
    h[0] = w;
}

template <typename F>
static inline F delay_lowpass_step(F h[DELAY_LOWPASS_HISTORY], F u)
{
    const F w = delay_lowpass_w(h, u);
    const F y = delay_lowpass_y(h, w);
    delay_lowpass_push(h, w);
    return y;
}
