// The delay line's fixed fourth-order lowpass (direct form II): unity gain at
// DC, a peak of 1.4125 (+3.0 dB) near 0.37 of Nyquist, -32 dB at 0.8 of it.
#pragma once

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
    const float w = (((0.17293644f * u - 0.49543488f * h[0]) - 0.92745388f * h[1]) -
                     0.01951078f * h[2]) - 0.32458356f * h[3];
    const float y = ((w + 4.0f * (h[0] + h[2])) + 6.0f * h[1]) + h[3];
    h[4] = h[3];
    h[3] = h[2];
    h[2] = h[1];
    h[1] = h[0];
    h[0] = w;
    return y;
}
