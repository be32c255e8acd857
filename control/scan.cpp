#include "control/scan.h"

#include <cmath>


void controls_reset(ControlState* controls)
{
    ramps_setup(controls->ramps);
    for (float& v : controls->last_value) v = NAN;
    controls->started = false;
}

void scan_controls(ControlState* controls, DspState* dsp, float* const ports[PORT_COUNT])
{
    for (PortIndex port : SCAN_ORDER) {
        const float* data = ports[port];
        if (!data) continue;  // unconnected: nothing to read
        const float v = *data;
        // A non-finite value is ignored: re-applying it would poison the
        // signal state for good.
        if (!std::isfinite(v)) continue;
        const PortInfo& info = PORT_TABLE[port];
        if (info.ramp != RAMP_NONE) {
            GainRamp* ramp = &controls->ramps[info.ramp];
            if (v == ramp->target) continue;
            ramp->target = bounded(v, info);
            continue;
        }
        if (v == controls->last_value[port]) continue;
        controls->last_value[port] = v;
        control_action(port)(dsp, bounded(v, info));
    }
}

void run_period(ControlState* controls, DspState* dsp, float* const ports[PORT_COUNT],
                const AudioBuffers* io, uint32_t n)
{
    scan_controls(controls, dsp, ports);
    if (!controls->started) {
        engine_start(dsp);
        start_ramps(controls->ramps, dsp);
        controls->started = true;
    }
    uint32_t start = 0;
    while (start < n) {
        // An idle engine with every ramp at rest takes its silent blocks in
        // one go.
        if (dsp->watch.idle && ramps_at_rest(controls->ramps)) {
            const uint32_t taken = engine_idle_span(dsp, io, start, n - start);
            if (taken > 0) {
                ramps_rest(controls->ramps, (taken + BLOCK_SIZE - 1) / BLOCK_SIZE);
                start += taken;
                continue;
            }
        }
        const uint32_t left = n - start;
        const uint32_t m = left < BLOCK_SIZE ? left : uint32_t{BLOCK_SIZE};
        advance_ramps(controls->ramps, dsp);
        engine_process_block(dsp, io, start, m);
        start += m;
    }
}
