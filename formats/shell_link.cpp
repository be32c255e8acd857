#include "shell_link.h"

#include <cmath>

#include "dsp/tank.h"
#include "state_codec.h"

namespace {

thread_local ShellLink* made = nullptr;

float value(const ShellLink* link, PortIndex port)
{
    return control_value(port, link->values[parameter_of_port(port)].load(std::memory_order_relaxed));
}

}  // namespace

void shell_link_init(ShellLink* link)
{
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i)
        link->values[i].store(parameter_default(i), std::memory_order_relaxed);
    link->instance = nullptr;
    link->rate = 0.0;
    made = link;
}

ShellLink* shell_link_take()
{
    ShellLink* link = made;
    made = nullptr;
    return link;
}

bool shell_link_set(ShellLink* link, uint32_t parameter, double v)
{
    float accepted = 0.0f;
    if (!link || !parameter_accept(parameter, v, &accepted)) return false;
    link->values[parameter].store(accepted, std::memory_order_relaxed);
    return true;
}

std::vector<char> shell_link_state(const ShellLink* link)
{
    float values[PARAMETER_COUNT];
    for (uint32_t i = 0; i < PARAMETER_COUNT; ++i) values[i] = link->values[i].load(std::memory_order_relaxed);
    return state_write(values);
}

void shell_link_reset(ShellLink* link)
{
    if (link && link->instance) instance_reset(link->instance);
}

uint32_t shell_link_tail_frames(const ShellLink* link)
{
    if (!link || !(link->rate > 0.0)) return 0;
    const double decay_s = value(link, PORT_DECAY_MS) / 1000.0;
    const int mode = static_cast<int>(value(link, PORT_MODE_SEL));
    if (mode != 0 && value(link, PORT_DECAY_MS) > FREEZE_THRESHOLD_MS) return UINT32_MAX;
    // The tanks fall 120 dB in two decay times; tanks in series take
    // about twice as long as one.
    double seconds = mode == 0 ? 0.0 : 2.0 * decay_s * (mode == 3 ? 2.0 : 1.0);
    // The delay lines ring until their feedback has taken 120 dB off.
    const double feedback = std::fabs(value(link, PORT_DELAY_FEEDBACK)) / 100.0;
    const double delay_s = value(link, PORT_DELAY_MS) / 1000.0;
    if (feedback > 0.0) seconds += delay_s * (1.0 + std::log(1e-6) / std::log(feedback));
    // The longest path through the room and the diffusers, with room to spare.
    seconds += delay_s + value(link, PORT_SIZE_MAX) / 343.0 + 0.5;
    const double frames = std::ceil(seconds * link->rate);
    return frames < 4294967294.0 ? static_cast<uint32_t>(frames) : UINT32_MAX - 1;
}
