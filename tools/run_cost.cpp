// Runs one instance for the instruction counts of the README's cost table:
// white noise through the mono plugin at 48 kHz in periods of 128 frames,
// with the bundle's defaults but the mode and the tank modulation given.
// The count is read from outside (valgrind on x86-64, qemu's log on
// aarch64) for two lengths; their difference over the extra frames is the
// cost per sample without the start-up.
//
// usage: run_cost MODE TANK_MOD FRAMES
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "instance/instance.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: run_cost MODE TANK_MOD FRAMES\n");
        return 2;
    }
    const long frames = std::strtol(argv[3], nullptr, 10);
    PluginInstance* self = instance_create(48000.0, false);
    if (!self || frames < 0) return 1;
    float controls[PORT_COUNT];
    for (const PortInfo& info : PORT_TABLE) {
        controls[info.index] = info.default_value;
        if (info.kind == PORT_KIND_CONTROL_IN) self->ports[info.index] = &controls[info.index];
    }
    controls[PORT_MODE_SEL] = static_cast<float>(std::atof(argv[1]));
    controls[PORT_TANK_MOD] = static_cast<float>(std::atof(argv[2]));
    enum { PERIOD = 128 };
    std::vector<float> in(PERIOD), left(PERIOD), right(PERIOD);
    self->ports[PORT_IN] = in.data();
    self->ports[PORT_OUT_L] = left.data();
    self->ports[PORT_OUT_R] = right.data();
    uint32_t seed = 1;
    double sum = 0.0;
    for (long done = 0; done < frames; done += PERIOD) {
        for (float& x : in) {
            seed = seed * 1664525u + 1013904223u;
            x = static_cast<float>(seed >> 8) * (1.0f / 16777216.0f) - 0.5f;
        }
        instance_run(self, PERIOD);
        sum += static_cast<double>(left[0]) + static_cast<double>(right[PERIOD - 1]);
    }
    std::printf("%.9g\n", sum);
    instance_destroy(self);
    return 0;
}
