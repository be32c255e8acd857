// A small LV2 host for the tools: loads any installed plugin through lilv,
// offers what common plugins ask for (URID map, options with the block
// lengths and the sample rate, bounded block lengths, a worker that runs in
// the same thread, empty atom sequences), sets controls from a preset and
// from symbol=value pairs, and runs it period by period. Used by the peer
// benchmark and the sound analysis, so that ours and the peers are driven
// alike.
#pragma once

#include <lilv/lilv.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct HostWorld;
struct HostPlugin;

// What to load: a plugin URI, optionally a preset by its label, then
// controls by symbol. Written NAME=URI[#preset=LABEL][#symbol=value...] on
// the command line.
struct HostSetup {
    std::string name;
    std::string uri;
    std::string preset;
    std::vector<std::pair<std::string, float>> settings;
};
HostSetup host_parse_setup(const std::string& arg);

// One world for all plugins of a process; `rate` and `period` are what the
// options feature announces.
HostWorld* host_world_new(double rate, uint32_t period);
void host_world_free(HostWorld* world);

// A running instance, or null with the reason in *why.
HostPlugin* host_plugin_new(HostWorld* world, const HostSetup& setup, std::string* why);
void host_plugin_free(HostPlugin* plugin);

// The plugin's audio buffers of one period: inputs (one or two) and the first
// two outputs (one output is given twice).
size_t host_input_count(const HostPlugin* plugin);
float* host_input(HostPlugin* plugin, size_t channel);
const float* host_output(const HostPlugin* plugin, size_t channel);
// One period through the plugin, and the worker's replies after it.
void host_run(HostPlugin* plugin);

// A control's value as the plugin was set up (default, preset, settings);
// NaN for a symbol it does not have.
float host_control(const HostPlugin* plugin, const std::string& symbol);
// The label of the bank the setup's preset belongs to; empty for none.
std::string host_preset_bank(HostWorld* world, const HostSetup& setup);

// Renders a mono signal (given to every input) through a fresh instance, in
// periods, into two output channels.
bool host_render(HostWorld* world, const HostSetup& setup, const std::vector<float>& in,
                 std::vector<float>* left, std::vector<float>* right, std::string* why);
