// Drives the plugin through its LV2 descriptor, the way a host does.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "instance/instance.h"
#include "control/control_table.h"

extern "C" const LV2_Descriptor* lv2_descriptor(uint32_t index);

// The tests' starting point: control values that make a lively, stereo
// reverb (not the declared defaults: a 10 s decay, a bigger room, the delay
// lines mixed in); tests change what they need.
inline void lively_test_controls(float controls[PORT_COUNT])
{
    for (int p = 0; p < PORT_COUNT; ++p) controls[p] = 0.0f;
    controls[PORT_DRY_DB] = 0.0f;
    controls[PORT_WET_A_DB] = -32.0f;
    controls[PORT_WET_B_DB] = 0.0f;
    controls[PORT_DECAY_MS] = 10000.0f;
    controls[PORT_SIZE_MIN] = 10.0f;
    controls[PORT_SIZE_MAX] = 50.0f;
    controls[PORT_WIDTH] = 80.0f;
    controls[PORT_JITTER] = 20.0f;
    controls[PORT_SHAPE] = 0.0f;
    controls[PORT_DIFFUSION_PCT] = 50.0f;
    controls[PORT_MODE_SEL] = 1.0f;
    controls[PORT_MOD_DEPTH] = 5.0f;
    controls[PORT_DELAY_MIX] = 20.0f;
    controls[PORT_DELAY_FEEDBACK] = 20.0f;
    controls[PORT_DELAY_MS] = 120.0f;
    controls[PORT_XFADE_MS] = 20.0f;
    controls[PORT_HP_LOW] = 40.0f;
    controls[PORT_HP_HIGH] = 120.0f;
    controls[PORT_LP_LOW] = 9000.0f;
    controls[PORT_LP_HIGH] = 4000.0f;
    controls[PORT_ENABLED] = 1.0f;
}

struct Host {
    const LV2_Descriptor* desc = lv2_descriptor(0);
    LV2_Handle handle = nullptr;
    float controls[PORT_COUNT];
    std::vector<float> in, out_l, out_r;

    explicit Host(double rate = 48000.0, size_t capacity = 8192)
        : in(capacity), out_l(capacity), out_r(capacity)
    {
        lively_test_controls(controls);
        handle = desc->instantiate(desc, rate, "", nullptr);
        if (!handle) return;
        for (uint32_t p = 0; p < PORT_COUNT; ++p) desc->connect_port(handle, p, &controls[p]);
        desc->connect_port(handle, PORT_IN, in.data());
        desc->connect_port(handle, PORT_OUT_L, out_l.data());
        desc->connect_port(handle, PORT_OUT_R, out_r.data());
        desc->activate(handle);
    }
    ~Host()
    {
        if (handle) desc->cleanup(handle);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    PluginInstance* instance() { return static_cast<PluginInstance*>(handle); }
    DspState* dsp() { return instance()->dsp; }
    void run(uint32_t n) { desc->run(handle, n); }

    // Renders `input` in periods of `period` samples; returns left and right
    // interleaved per period order (all left samples, then all right).
    void render(const std::vector<float>& input, uint32_t period, std::vector<float>* left,
                std::vector<float>* right)
    {
        left->clear();
        right->clear();
        for (size_t s = 0; s < input.size(); s += period) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(period, input.size() - s));
            std::memcpy(in.data(), input.data() + s, n * sizeof(float));
            run(n);
            left->insert(left->end(), out_l.begin(), out_l.begin() + n);
            right->insert(right->end(), out_r.begin(), out_r.begin() + n);
        }
    }
};

inline std::vector<float> impulse(size_t length, size_t at = 0, float value = 1.0f)
{
    std::vector<float> v(length, 0.0f);
    if (at < length) v[at] = value;
    return v;
}

// A deterministic noise burst followed by silence.
inline std::vector<float> noise_burst(size_t length, size_t burst, uint32_t seed = 12345)
{
    std::vector<float> v(length, 0.0f);
    for (size_t i = 0; i < burst && i < length; ++i) {
        seed = seed * 1664525u + 1013904223u;
        v[i] = static_cast<float>(static_cast<int32_t>(seed)) * (0.5f / 2147483648.0f);
    }
    return v;
}

inline bool same_bits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// The stereo variant driven like the mono Host, with its own port layout.
struct StereoHost {
    const LV2_Descriptor* desc = lv2_descriptor(1);
    LV2_Handle handle = nullptr;
    float controls[PORT_COUNT];
    std::vector<float> in_l, in_r, out_l, out_r;
    explicit StereoHost(size_t capacity = 8192, double rate = 48000.0)
        : in_l(capacity), in_r(capacity), out_l(capacity), out_r(capacity)
    {
        lively_test_controls(controls);
        handle = desc->instantiate(desc, rate, "", nullptr);
        for (int p = PORT_DRY_DB; p < PORT_COUNT; ++p)
            desc->connect_port(handle, stereo_port_of(static_cast<PortIndex>(p)), &controls[p]);
        connect(in_l.data(), in_r.data(), out_l.data(), out_r.data());
        desc->activate(handle);
    }
    ~StereoHost() { desc->cleanup(handle); }
    StereoHost(const StereoHost&) = delete;
    StereoHost& operator=(const StereoHost&) = delete;
    DspState* dsp() { return static_cast<PluginInstance*>(handle)->dsp; }
    void run(uint32_t n) { desc->run(handle, n); }
    void connect(float* il, float* ir, float* ol, float* orr)
    {
        desc->connect_port(handle, STEREO_IN_L, il);
        desc->connect_port(handle, STEREO_IN_R, ir);
        desc->connect_port(handle, STEREO_OUT_L, ol);
        desc->connect_port(handle, STEREO_OUT_R, orr);
    }
};
