// The regression scenarios and their stored output hashes, shared by the
// unit test and by hash_check (which runs them against a built or packaged
// library). Any change of a single output bit in any mode, at any rate or
// period size, changes a hash.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "harness.h"

namespace regression {

struct Scenario {
    const char* name;
    int mode;
    double rate;
    uint32_t period;
    uint64_t hash;
};

inline uint64_t fnv1a(uint64_t h, const std::vector<float>& v)
{
    for (float f : v) {
        uint32_t bits = float_bits(f);
        for (int b = 0; b < 4; ++b) {
            h ^= (bits >> (8 * b)) & 0xFFu;
            h *= UINT64_C(1099511628211);
        }
    }
    return h;
}

// A plucked tone, clicks and a noise burst, then silence for the tail; the
// controls move at fixed points of the stream.
inline uint64_t render_scenario(const Scenario& s)
{
    Host host(s.rate, 8192);
    host.controls[PORT_MODE_SEL] = static_cast<float>(s.mode);
    const size_t length = 40000;
    std::vector<float> input(length, 0.0f);
    // Damped resonator (no library maths, so the input is the same everywhere).
    float y1 = 0.0f, y2 = 0.0f;
    for (size_t i = 0; i < 3000; ++i) {
        const float y = (i == 0 ? 0.05f : 0.0f) + 1.9955f * y1 - 0.999f * y2;
        input[i] = y;
        y2 = y1;
        y1 = y;
    }
    input[5000] = 0.9f;
    input[9000] = -0.7f;
    std::vector<float> burst = noise_burst(2000, 2000, 77);
    for (size_t i = 0; i < burst.size(); ++i) input[12000 + i] = burst[i];

    uint64_t h = UINT64_C(1469598103934665603);
    std::vector<float> l, r;
    size_t pos = 0;
    int step = 0;
    while (pos < length) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(s.period, length - pos));
        if (pos >= 8000 && step == 0) {
            host.controls[PORT_DECAY_MS] = 4000.0f;
            host.controls[PORT_DRY_DB] = -6.0f;
            host.controls[PORT_PITCH_0] = 12.0f;
            host.controls[PORT_PITCH_3] = -5.0f;
            host.controls[PORT_DELAY_MIX] = 60.0f;
            ++step;
        } else if (pos >= 16000 && step == 1) {
            host.controls[PORT_SIZE_MAX] = 80.0f;
            host.controls[PORT_JITTER] = 40.0f;
            host.controls[PORT_LP_HIGH] = 2000.0f;
            host.controls[PORT_XFADE_MS] = 5.0f;
            ++step;
        } else if (pos >= 26000 && step == 2) {
            host.controls[PORT_SHAPE] = 50.0f;
            host.controls[PORT_WIDTH] = 30.0f;
            host.controls[PORT_WET_B_DB] = 4.0f;
            host.controls[PORT_DECAY_MS] = 190000.0f;
            ++step;
        }
        std::memcpy(host.in.data(), &input[pos], n * sizeof(float));
        host.run(n);
        l.assign(host.out_l.begin(), host.out_l.begin() + n);
        r.assign(host.out_r.begin(), host.out_r.begin() + n);
        h = fnv1a(fnv1a(h, l), r);
        pos += n;
    }
    return h;
}

inline const Scenario SCENARIOS[] = {
    {"mode0_48k_p64", 0, 48000.0, 64, UINT64_C(0x15c22cf02caa957f)},
    {"mode1_48k_p256", 1, 48000.0, 256, UINT64_C(0xddce46a627930aee)},
    {"mode1_44k_p37", 1, 44100.0, 37, UINT64_C(0x514892c726782e02)},
    {"mode2_48k_p128", 2, 48000.0, 128, UINT64_C(0xdb5294dbf2e1e672)},
    {"mode2_96k_p1000", 2, 96000.0, 1000, UINT64_C(0xecd823f83d585771)},
    {"mode3_48k_p16", 3, 48000.0, 16, UINT64_C(0x5b1526dcd4283bbd)},
    {"mode3_22k_p333", 3, 22050.0, 333, UINT64_C(0xcdb5d4c2f42c5a80)},
    {"mode4_48k_p512", 4, 48000.0, 512, UINT64_C(0x2a08ecc1361aea14)},
    {"mode4_192k_p4096", 4, 192000.0, 4096, UINT64_C(0xdb7e304ba654e07)},
    {"mode9_48k_p100", 9, 48000.0, 100, UINT64_C(0x2376eccee7ded4c7)},
};

}  // namespace regression
