#include "control/scan.h"

#include <cmath>

#include "dsp/convert.h"


void controls_reset(ControlState* controls)
{
    ramps_setup(controls->ramps);
    for (float& v : controls->last_value) v = NAN;
    controls->started = false;
    for (uint32_t& b : controls->seen_bits) b = 0;
    controls->seen = false;
}

// No control port has changed a bit since the last scan (the usual period):
// one pass without branches.
static bool nothing_moved(const ControlState* controls, float* const ports[PORT_COUNT])
{
    uint32_t moved = 0;
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        const float* data = ports[PORT_DRY_DB + i];
        moved |= (data ? float_bits(*data) : controls->seen_bits[i]) ^ controls->seen_bits[i];
    }
    return moved == 0;
}

// After a scan: what each port showed, or for a missing one the value the
// scan would compare a new one with (a value with those bits would change
// nothing).
static void remember_ports(ControlState* controls, float* const ports[PORT_COUNT])
{
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        const PortIndex port = static_cast<PortIndex>(PORT_DRY_DB + i);
        const PortInfo& info = PORT_TABLE[port];
        const float reference = info.ramp != RAMP_NONE ? controls->ramps[info.ramp].target
                                                       : controls->last_value[port];
        controls->seen_bits[i] = float_bits(ports[port] ? *ports[port] : reference);
    }
    controls->seen = true;
}

void scan_controls(ControlState* controls, DspState* dsp, float* const ports[PORT_COUNT])
{
    if (controls->seen && nothing_moved(controls, ports)) return;
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
    remember_ports(controls, ports);
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
