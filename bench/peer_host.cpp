// Compares the cost of reverbs in one process: each plugin is loaded through
// the tools' LV2 host (tools/lv2_host.h), fed the same white noise at 48 kHz,
// and whole periods are timed. Repetitions are interleaved across the
// plugins so that a busy moment of the machine hits all of them alike.
//
// usage: peer_host PERIOD REPETITIONS SECONDS NAME=URI[#symbol=value...] ...
// Prints one line per entry: name, median ns per sample, or why it was skipped.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/lv2_host.h"

namespace {

const double RATE = 48000.0;

struct Entry {
    HostSetup setup;
    HostPlugin* plugin = nullptr;
    std::vector<double> ns_per_sample;
    std::string skipped;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PERIOD REPETITIONS SECONDS NAME=URI[#sym=v...] ...\n", argv[0]);
        return 2;
    }
    const uint32_t period = static_cast<uint32_t>(std::atoi(argv[1]));
    const int repetitions = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    const uint32_t periods = static_cast<uint32_t>(seconds * RATE / period);
    HostWorld* world = host_world_new(RATE, period);

    uint32_t seed = 1;
    std::vector<float> noise(period);
    for (float& x : noise) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) * (1.0f / 16777216.0f) - 0.5f;
    }

    std::vector<Entry> entries;
    for (int a = 4; a < argc; ++a) {
        Entry e;
        e.setup = host_parse_setup(argv[a]);
        e.plugin = host_plugin_new(world, e.setup, &e.skipped);
        if (e.plugin)
            for (size_t c = 0; c < host_input_count(e.plugin); ++c)
                std::memcpy(host_input(e.plugin, c), noise.data(), period * sizeof(float));
        entries.push_back(e);
    }

    // Warm up: one second through each, so tails and caches are in use.
    for (Entry& e : entries)
        if (e.plugin)
            for (uint32_t i = 0; i < static_cast<uint32_t>(RATE / period); ++i) host_run(e.plugin);

    for (int rep = 0; rep < repetitions; ++rep) {
        for (Entry& e : entries) {
            if (!e.plugin) continue;
            const auto t0 = std::chrono::steady_clock::now();
            for (uint32_t i = 0; i < periods; ++i) host_run(e.plugin);
            const auto t1 = std::chrono::steady_clock::now();
            e.ns_per_sample.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() /
                                      (static_cast<double>(periods) * period));
        }
    }

    for (Entry& e : entries) {
        if (!e.plugin) {
            std::printf("%s skipped: %s\n", e.setup.name.c_str(), e.skipped.c_str());
            continue;
        }
        std::sort(e.ns_per_sample.begin(), e.ns_per_sample.end());
        std::printf("%s %.1f\n", e.setup.name.c_str(), e.ns_per_sample[e.ns_per_sample.size() / 2]);
        host_plugin_free(e.plugin);
    }
    host_world_free(world);
    return 0;
}
