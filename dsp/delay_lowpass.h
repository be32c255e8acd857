// The delay line's fixed fourth-order lowpass (direct form II): unity gain at
// DC, a peak of 1.4125 (+3.0 dB) near 0.37 of Nyquist, -32 dB at 0.8 of it.
#pragma once

// w = c0 u - c1 w1 - c2 w2 - c3 w3 - c4 w4, then y = w + 4 (w1 + w3) + 6 w2 + w4.
static const float LOWPASS_C0 = 0.17293644f;
static const float LOWPASS_C1 = 0.49543488f;
static const float LOWPASS_C2 = 0.92745388f;
static const float LOWPASS_C3 = 0.01951078f;
static const float LOWPASS_C4 = 0.32458356f;

typedef struct {
    float history[5];  // w1 (newest) ... w5; w5 is shifted along but never read
} DelayLowpass;

inline void delay_lowpass_reset(DelayLowpass* f)
{
    for (float& w : f->history) w = 0.0f;
}

inline float delay_lowpass_step(DelayLowpass* f, float u)
{
    float* h = f->history;
    const float w = (((LOWPASS_C0 * u - LOWPASS_C1 * h[0]) - LOWPASS_C2 * h[1]) -
                     LOWPASS_C3 * h[2]) - LOWPASS_C4 * h[3];
    const float y = ((w + 4.0f * (h[0] + h[2])) + 6.0f * h[1]) + h[3];
    h[4] = h[3];
    h[3] = h[2];
    h[2] = h[1];
    h[1] = h[0];
    h[0] = w;
    return y;
}
