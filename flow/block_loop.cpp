#include "flow/block_loop.h"

#include <cmath>
#include <cstring>

#include "control/ramps.h"
#include "flow/modes.h"
#include "plugin/instance.h"

// One block of m <= 16 samples. The host's input is read once into local
// storage before anything is written and the outputs are written once at the
// end, so any aliasing of the host's buffers gives the same samples.
static void process_block(PluginInstance* self, uint32_t start, uint32_t m)
{
    DspState* dsp = self->dsp;
    advance_ramps(self);

    float dry[BLOCK_SIZE];
    float in[BLOCK_SIZE];
    const float* host_in = self->ports[PORT_IN];
    if (host_in)
        std::memcpy(dry, host_in + start, m * sizeof(float));
    else
        std::memset(dry, 0, m * sizeof(float));
    // Non-finite or absurdly large input would poison the tanks for good; it
    // enters the building blocks as silence (the dry path keeps it).
    for (uint32_t i = 0; i < m; ++i) {
        const float x = dry[i];
        in[i] = std::fabs(x) <= INPUT_LIMIT ? x : 0.0f;
    }

    float wet_l[BLOCK_SIZE];
    float wet_r[BLOCK_SIZE];
    mode_process(dsp, in, wet_l, wet_r, m);

    const float g = dsp->wet_gain_b * dsp->wet_gain_a;
    const float dry_gain = dsp->dry_gain;
    for (uint32_t i = 0; i < m; ++i) {
        const float d = dry_gain * dry[i];
        wet_l[i] = std::fma(g, wet_l[i], d);
        wet_r[i] = std::fma(g, wet_r[i], d);
    }
    float* out_l = self->ports[PORT_OUT_L];
    float* out_r = self->ports[PORT_OUT_R];
    if (out_l) std::memcpy(out_l + start, wet_l, m * sizeof(float));
    if (out_r) std::memcpy(out_r + start, wet_r, m * sizeof(float));
}

void run_blocks(PluginInstance* self, uint32_t n)
{
    for (uint32_t start = 0; start < n; start += BLOCK_SIZE) {
        const uint32_t left = n - start;
        process_block(self, start, left < BLOCK_SIZE ? left : uint32_t{BLOCK_SIZE});
    }
}
