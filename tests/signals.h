// Test signals a musician would play through the reverb, at 48 kHz.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// Drum-like hits: decaying noise with a low thump, peaking near -6 dBFS,
// every half second (120 bpm), eight of them, then two seconds of silence.
inline std::vector<float> click_train()
{
    std::vector<float> v(48000 * 6, 0.0f);
    uint32_t seed = 2024;
    for (int hit = 0; hit < 8; ++hit) {
        for (int i = 0; i < 4800; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const float noise = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
            const float t = static_cast<float>(i) / 48000.0f;
            const float thump = std::sin(6.2831853f * 70.0f * t) * std::exp(-t / 0.03f);
            v[hit * 24000 + i] = 0.5f * (0.6f * noise * std::exp(-t / 0.006f) + 0.4f * thump);
        }
    }
    return v;
}

// A short phrase: the hits, a plucked tone and a noise swell, then the tail.
inline std::vector<float> phrase()
{
    std::vector<float> v = click_train();
    for (int i = 0; i < 48000; ++i) {
        const float t = static_cast<float>(i) / 48000.0f;
        v[i + 12000] += 0.4f * std::sin(6.2831853f * 220.0f * t) * std::exp(-t / 0.4f);
    }
    uint32_t seed = 99;
    for (int i = 0; i < 9600; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
        v[i + 96000] += 0.3f * noise * std::sin(3.1415927f * static_cast<float>(i) / 9600.0f);
    }
    return v;
}

// RMS level in dB of full scale over both channels.
inline double rms_db(const std::vector<float>& l, const std::vector<float>& r)
{
    double sum = 0.0;
    for (size_t i = 0; i < l.size(); ++i) sum += double(l[i]) * l[i] + double(r[i]) * r[i];
    return 10.0 * std::log10(sum / (2.0 * static_cast<double>(l.size())) + 1e-30);
}
