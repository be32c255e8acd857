// What the VST3 and CLAP entry points (vst3_entry.cpp, clap_entry.cpp) reach
// of the plugin behind the framework: the parameter values the host last
// set, the instance, the tail. The plugin owns one link; the entry points
// find it right after the framework made the plugin on the same thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "instance/instance.h"
#include "parameters.h"

struct ShellLink {
    // The host's value of each parameter, as last set from any thread
    // (events, an edit controller, a state, a preset), processed or not.
    // The audio thread takes them at the start of each block.
    std::atomic<float> values[PARAMETER_COUNT];
    PluginInstance* instance;  // null while the rate is unusable
    double rate;
};

// Host's non-realtime thread: a new plugin's link with every default set,
// kept for shell_link_take.
void shell_link_init(ShellLink* link);
// Host's non-realtime thread: the link of the plugin made last on this
// thread, once (null if none was made since the last call).
ShellLink* shell_link_take();

// Any thread: store a host's value, clamped; false (nothing changed) for an
// unknown parameter or a value that is not a finite number.
bool shell_link_set(ShellLink* link, uint32_t parameter, double value);

// Any thread: the state as it stands, the host's value of each parameter.
std::vector<char> shell_link_state(const ShellLink* link);

// Audio thread, active: the tail cleared, as right after activation.
void shell_link_reset(ShellLink* link);

// Any thread: how long the output can go on after the input stops, in
// frames at the instance's rate, from the decay and delay settings;
// UINT32_MAX while the tanks are frozen.
uint32_t shell_link_tail_frames(const ShellLink* link);
