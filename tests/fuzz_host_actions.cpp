// Fuzz target: the input is a sequence of host actions on up to three
// instances of either plugin -- instantiate at a chosen rate, control values of any bit
// pattern, run with 0 to 4096 samples, buffer reconnection (also in place and
// aliased), deactivate/activate, mode changes and cleanup. Built with
// AddressSanitizer and UndefinedBehaviorSanitizer, so any memory error,
// undefined conversion or overflow stops the run.
#include <fuzzer/FuzzedDataProvider.h>
#include <lv2/core/lv2.h>

#include <cstring>
#include <vector>

#include "control/control_table.h"

extern "C" const LV2_Descriptor* lv2_descriptor(uint32_t index);

namespace {

enum { SLOTS = 3, BUFFERS = 4, FRAMES = 4096 };

struct Slot {
    const LV2_Descriptor* desc = nullptr;  // the mono plugin or the stereo variant
    LV2_Handle handle = nullptr;
    float controls[PORT_COUNT] = {};
};

const double RATES[] = {1.0, 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 768000.0};
const float SPECIAL[] = {0.0f, -0.0f, 1.0f, -1.0f, 100.0f, -100.0f, 1e-40f, 1e30f, -1e30f,
                         3.4028235e38f, __builtin_inff(), -__builtin_inff(), __builtin_nanf(""),
                         170000.0f, 170001.0f, 24000.0f, 0.5f, 2.7f};

float consume_value(FuzzedDataProvider* fdp)
{
    if (fdp->ConsumeBool()) {
        const uint32_t bits = fdp->ConsumeIntegral<uint32_t>();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    return fdp->PickValueInArray(SPECIAL);
}

// A control value: any bit pattern, a special value, or one of the control's
// own declared ends, default or safety bounds from the control table.
float consume_control(FuzzedDataProvider* fdp, int port)
{
    if (fdp->ConsumeBool()) return consume_value(fdp);
    const PortInfo& info = PORT_TABLE[port];
    const float own[] = {info.minimum, info.default_value, info.maximum, info.bound_low,
                         info.bound_high};
    return fdp->PickValueInArray(own);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<float> buffers[BUFFERS];
    for (std::vector<float>& b : buffers) b.assign(FRAMES, 0.0f);
    Slot slots[SLOTS];
    FuzzedDataProvider fdp(data, size);

    while (fdp.remaining_bytes() > 0) {
        Slot& slot = slots[fdp.ConsumeIntegralInRange<int>(0, SLOTS - 1)];
        const int action = fdp.ConsumeIntegralInRange<int>(0, 7);
        if (action == 0) {
            if (slot.handle) slot.desc->cleanup(slot.handle);
            slot.handle = nullptr;
            slot.desc = lv2_descriptor(fdp.ConsumeBool() ? 1 : 0);
            const double rate = fdp.ConsumeBool() ? fdp.PickValueInArray(RATES)
                                                  : fdp.ConsumeFloatingPoint<double>();
            slot.handle = slot.desc->instantiate(slot.desc, rate, "", nullptr);
            if (!slot.handle) continue;
            const bool stereo = slot.desc == lv2_descriptor(1);
            for (uint32_t p = PORT_DRY_DB; p < PORT_COUNT; ++p)
                slot.desc->connect_port(slot.handle, stereo ? stereo_port_of(PortIndex(p)) : p,
                                        &slot.controls[p]);
            // Audio ports in order: inputs, then the two outputs.
            const uint32_t audio = stereo ? STEREO_FIRST_CONTROL : PORT_DRY_DB;
            for (uint32_t p = 0; p < audio; ++p)
                slot.desc->connect_port(slot.handle, p, buffers[p].data());
            continue;
        }
        if (!slot.handle) continue;
        const LV2_Descriptor* desc = slot.desc;
        switch (action) {
        case 1:
        {
            const int port = fdp.ConsumeIntegralInRange<int>(PORT_DRY_DB, PORT_COUNT - 1);
            slot.controls[port] = consume_control(&fdp, port);
            break;
        }
        case 2:
            desc->run(slot.handle, fdp.ConsumeIntegralInRange<uint32_t>(0, FRAMES));
            break;
        case 3:
            desc->connect_port(slot.handle, fdp.ConsumeIntegralInRange<uint32_t>(0, 3),
                               buffers[fdp.ConsumeIntegralInRange<int>(0, BUFFERS - 1)].data());
            break;
        case 4:
            desc->deactivate(slot.handle);
            desc->activate(slot.handle);
            break;
        case 5:
            desc->cleanup(slot.handle);
            slot.handle = nullptr;
            break;
        case 6:
            slot.controls[PORT_MODE_SEL] = static_cast<float>(fdp.ConsumeIntegralInRange<int>(-2, 6));
            break;
        default: {
            std::vector<float>& b = buffers[fdp.ConsumeIntegralInRange<int>(0, BUFFERS - 1)];
            const size_t at = fdp.ConsumeIntegralInRange<size_t>(0, FRAMES - 1);
            const size_t count = fdp.ConsumeIntegralInRange<size_t>(1, 64);
            const float v = consume_value(&fdp);
            for (size_t i = at; i < at + count && i < FRAMES; ++i) b[i] = v;
            break;
        }
        }
    }
    for (Slot& slot : slots)
        if (slot.handle) slot.desc->cleanup(slot.handle);
    return 0;
}
