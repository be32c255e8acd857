// Fuzz target: the input is a sequence of host actions on one instance of
// the CLAP or the VST3 plugin (either variant): parameter events and
// changes with any id and any value bits, blocks of any length within and
// beyond what was announced (now and then with a layout the plugin does not
// offer), states of any bytes through streams that read in pieces, saves
// and reloads, presets, reset, activation at any rate. The plugins are
// loaded as hosts load them and built with the sanitizers and coverage
// feedback; beyond their reports the run stops when an output sample is not
// finite or exceeds PEAK_BOUND for input within -1 ... 1, or a parameter
// reads back outside its range.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "clap_host.h"
#include "formats/clap_extensions.h"
#include "formats/parameters.h"
#include "vst3_host.h"

namespace {

enum { FRAMES = 8192 };
const float PEAK_BOUND = 1e4f;  // the LV2 long run's bound for in-range use

struct Audio {
    std::vector<float> in_l = std::vector<float>(FRAMES), in_r = std::vector<float>(FRAMES);
    std::vector<float> out_l = std::vector<float>(FRAMES), out_r = std::vector<float>(FRAMES);
    float* in[2] = {in_l.data(), in_r.data()};
    float* out[2] = {out_l.data(), out_r.data()};

    void fill(FuzzedDataProvider* fdp)
    {
        const float level = fdp->ConsumeProbability<float>();
        uint32_t seed = fdp->ConsumeIntegral<uint32_t>();
        for (int i = 0; i < FRAMES; ++i) {
            seed = seed * 1664525u + 1013904223u;
            in_l[i] = in_r[i] = level * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
        }
    }
    void check(uint32_t frames) const
    {
        for (uint32_t i = 0; i < frames && i < FRAMES; ++i)
            if (!(std::fabs(out_l[i]) <= PEAK_BOUND) || !(std::fabs(out_r[i]) <= PEAK_BOUND)) __builtin_trap();
    }
};

double any_value(FuzzedDataProvider* fdp)
{
    switch (fdp->ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
        const uint64_t bits = fdp->ConsumeIntegral<uint64_t>();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    case 1: return fdp->ConsumeProbability<double>();
    case 2: {
        const double special[] = {NAN, INFINITY, -INFINITY, 1e30, -1e30, 0.5, 1.0, 0.0, -1.0, 2.0};
        return fdp->PickValueInArray(special);
    }
    default: return fdp->ConsumeFloatingPointInRange<double>(-300000.0, 300000.0);
    }
}

uint32_t any_id(FuzzedDataProvider* fdp)
{
    return fdp->ConsumeBool() ? fdp->ConsumeIntegralInRange<uint32_t>(0, PARAMETER_COUNT + 1)
                              : fdp->ConsumeIntegral<uint32_t>();
}

void fuzz_clap(FuzzedDataProvider* fdp, bool stereo)
{
    static clap_test::Library mono(CLAP_MONO), two(CLAP_STEREO);
    const uint32_t inputs = stereo ? 2 : 1;
    clap_test::Instance c(stereo ? two : mono, inputs);
    if (!c.plugin || !c.params || !c.state) __builtin_trap();
    const auto* presets = static_cast<const clap_plugin_preset_load_ext_t*>(
        c.plugin->get_extension(c.plugin, CLAP_EXT_PRESET_LOAD_ID));
    Audio a;
    uint32_t max_frames = 0;
    bool active = false;
    while (fdp->remaining_bytes() > 0) {
        switch (fdp->ConsumeIntegralInRange<int>(0, 7)) {
        case 0: {
            if (active) c.stop();
            const double rate = fdp->ConsumeBool() ? 48000.0 : any_value(fdp);
            max_frames = fdp->ConsumeIntegralInRange<uint32_t>(0, FRAMES);
            active = c.start(rate, max_frames);
            break;
        }
        case 1:
        case 2: {
            clap_test::ParamEvents events;
            for (int n = fdp->ConsumeIntegralInRange<int>(0, 40); n > 0; --n) {
                events.set(any_id(fdp), any_value(fdp));
                if (fdp->ConsumeIntegralInRange<int>(0, 7) == 0) events.gesture(any_id(fdp), fdp->ConsumeBool());
            }
            const uint32_t frames = fdp->ConsumeIntegralInRange<uint32_t>(0, FRAMES);
            a.fill(fdp);
            if (fdp->ConsumeIntegralInRange<int>(0, 15) == 0) c.inputs = fdp->ConsumeIntegralInRange<uint32_t>(0, 8);
            float* eight[8] = {a.in[0], a.in[0], a.in[1], a.in[1], a.in[0], a.in[0], a.in[0], a.in[0]};
            if (c.process(eight, a.out, frames, &events) == CLAP_PROCESS_CONTINUE) a.check(frames);
            c.inputs = inputs;
            break;
        }
        case 3: {
            clap_test::ParamEvents events;
            for (int n = fdp->ConsumeIntegralInRange<int>(0, 40); n > 0; --n) events.set(any_id(fdp), any_value(fdp));
            c.params->flush(c.plugin, &events.list, &clap_test::NO_OUTPUT_EVENTS);
            break;
        }
        case 4: {
            clap_test::Stream s;
            s.bytes = fdp->ConsumeBytes<char>(fdp->ConsumeIntegralInRange<size_t>(0, 2048));
            s.chunk = fdp->ConsumeIntegralInRange<uint64_t>(1, 600);
            const clap_istream_t is = s.in();
            c.state->load(c.plugin, &is);
            break;
        }
        case 5: {
            clap_test::Stream s;
            s.chunk = fdp->ConsumeIntegralInRange<uint64_t>(1, 600);
            const clap_ostream_t os = s.out();
            if (!c.state->save(c.plugin, &os)) __builtin_trap();
            const clap_istream_t is = s.in();
            if (!c.state->load(c.plugin, &is)) __builtin_trap();
            break;
        }
        case 6:
            if (active) c.plugin->reset(c.plugin);
            break;
        default:
            if (presets) {
                const char* names[] = {"Small room", "Frozen pad", "Shimmer", "Endless cave", "nothing"};
                presets->from_location(c.plugin, CLAP_PRESET_LOCATION_PLUGIN, nullptr, fdp->PickValueInArray(names));
            }
            break;
        }
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) {
            double v = NAN;
            c.params->get_value(c.plugin, i, &v);
            if (!(v >= parameter_minimum(i) && v <= parameter_maximum(i))) __builtin_trap();
        }
    }
    if (active) c.stop();
}

void fuzz_vst3(FuzzedDataProvider* fdp, bool stereo)
{
    static vst3_test::Library mono(VST3_MONO), two(VST3_STEREO);
    const int32_t inputs = stereo ? 2 : 1;
    vst3_test::Instance p(stereo ? two : mono, inputs);
    if (!p.processor || !p.controller) __builtin_trap();
    Audio a;
    while (fdp->remaining_bytes() > 0) {
        switch (fdp->ConsumeIntegralInRange<int>(0, 6)) {
        case 0: {
            const double rate = fdp->ConsumeBool() ? 48000.0 : any_value(fdp);
            p.start(rate, fdp->ConsumeIntegral<int32_t>());
            break;
        }
        case 1:
        case 2: {
            vst3_test::Changes changes;
            for (int n = fdp->ConsumeIntegralInRange<int>(0, 30); n > 0; --n) {
                if (fdp->ConsumeIntegralInRange<int>(0, 15) == 0) changes.hole();
                changes.set(any_id(fdp), any_value(fdp), fdp->ConsumeIntegral<int32_t>());
                if (fdp->ConsumeIntegralInRange<int>(0, 15) == 0) changes.queues.back().broken = true;
            }
            const int32_t frames = fdp->ConsumeIntegralInRange<int32_t>(-1, FRAMES);
            a.fill(fdp);
            if (fdp->ConsumeIntegralInRange<int>(0, 15) == 0) p.inputs = fdp->ConsumeIntegralInRange<int32_t>(0, 8);
            float* eight[8] = {a.in[0], a.in[0], a.in[1], a.in[1], a.in[0], a.in[0], a.in[0], a.in[0]};
            vst3_test::Changes out;
            if (p.process(eight, a.out, frames, &changes, fdp->ConsumeBool() ? &out : nullptr) == V3_OK && frames > 0)
                a.check(static_cast<uint32_t>(frames));
            p.inputs = inputs;
            break;
        }
        case 3:
            v3_cpp_obj(p.controller)->set_parameter_normalised(p.controller, any_id(fdp), any_value(fdp));
            break;
        case 4: {
            vst3_test::Stream s;
            s.bytes = fdp->ConsumeBytes<char>(fdp->ConsumeIntegralInRange<size_t>(0, 2048));
            s.chunk = fdp->ConsumeIntegralInRange<int32_t>(1, 600);
            v3_cpp_obj(p.component)->set_state(p.component, s.stream());
            break;
        }
        case 5: {
            vst3_test::Stream s;
            s.chunk = fdp->ConsumeIntegralInRange<int32_t>(1, 600);
            if (v3_cpp_obj(p.component)->get_state(p.component, s.stream()) != V3_OK) __builtin_trap();
            if (v3_cpp_obj(p.component)->set_state(p.component, s.stream()) != V3_OK) __builtin_trap();
            break;
        }
        default:
            v3_cpp_obj(p.component)->set_active(p.component, fdp->ConsumeBool());
            break;
        }
        for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) {
            const double v = p.plain(i);
            if (!(v >= parameter_minimum(i) && v <= parameter_maximum(i))) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const int which = fdp.ConsumeIntegralInRange<int>(0, 3);
    if (which < 2) fuzz_clap(&fdp, which == 1);
    else fuzz_vst3(&fdp, which == 3);
    return 0;
}
