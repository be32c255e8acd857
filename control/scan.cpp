#include "control/scan.h"

#include <cmath>

#include "control/ramps.h"
#include "dsp/convert.h"
#include "plugin/instance.h"

// Beyond these values a feedback path turns unstable or non-finite for good
// (infinite read speed, unstable filter pole, overflowing mix, endless gain).
static const ControlBounds LEVEL_DB = {-120.0f, 40.0f};
static const ControlBounds PITCH = {-48.0f, 48.0f};
static const ControlBounds MOD_DEPTH = {0.0f, 100.0f};
static const ControlBounds FEEDBACK = {-100.0f, 100.0f};
static const ControlBounds MIX = {-100.0f, 200.0f};
static const ControlBounds CUTOFF = {0.0f, 24000.0f};

float bounded(float v, ControlBounds b)
{
    return v < b.low ? b.low : (v > b.high ? b.high : v);
}

// Order in which the controls are scanned and applied.
static const PortIndex SCAN_ORDER[] = {
    PORT_DRY_DB,   PORT_WET_A_DB,  PORT_WET_B_DB,       PORT_DECAY_MS, PORT_SIZE_MIN,
    PORT_SIZE_MAX, PORT_WIDTH,     PORT_JITTER,         PORT_SHAPE,    PORT_DIFFUSION_PCT,
    PORT_MODE_SEL, PORT_MOD_DEPTH, PORT_DELAY_MIX,      PORT_DELAY_FEEDBACK,
    PORT_DELAY_MS, PORT_XFADE_MS,  PORT_HP_LOW,         PORT_HP_HIGH,  PORT_LP_LOW,
    PORT_LP_HIGH,  PORT_PITCH_0,   PORT_PITCH_1,        PORT_PITCH_2,  PORT_PITCH_3,
};
static_assert(sizeof SCAN_ORDER / sizeof SCAN_ORDER[0] == 24, "every control port is scanned");

static GainRamp* ramp_of(PluginInstance* self, PortIndex port)
{
    switch (port) {
    case PORT_DRY_DB: return &self->ramps[RAMP_DRY];
    case PORT_WET_A_DB: return &self->ramps[RAMP_WET_A];
    case PORT_WET_B_DB: return &self->ramps[RAMP_WET_B];
    case PORT_DECAY_MS: return &self->ramps[RAMP_DECAY];
    default: return nullptr;
    }
}

static void size_update(DspState* dsp)
{
    plan_early_lines(dsp->early_lines, dsp->sample_rate, dsp->size_min, dsp->size_max);
    setup_tank_lines(dsp->tanks, dsp->size_min, dsp->size_max, &dsp->rng);
    apply_decay(dsp->tanks, dsp->decay_time);
}

static void jitter_update(DspState* dsp, float v)
{
    const float j = v * 0.01f;
    rng_seed(&dsp->rng, 21);
    for (FdnTank& tank : dsp->tanks) tank.jitter = j;
    setup_tank_lines(dsp->tanks, dsp->size_min, dsp->size_max, &dsp->rng);
    apply_decay(dsp->tanks, dsp->decay_time);
}

static void shape_update(DspState* dsp, float v)
{
    rng_seed(&dsp->rng, 21);
    const float a = std::fma(-v, 0.01f, 1.0f);
    const float b = a * 0.5f;
    const float b2 = b * b;
    const float e = std::fma(b2, 3.0f, 0.3f);
    // The shaping pass: its results are replaced below, but it consumes
    // random numbers, which the lengths in force depend on.
    for (FdnTank& tank : dsp->tanks) {
        tank.shape = e;
        for (int k = 0; k < TANK_LINES; ++k) compute_line(&tank, k, LINE_PASS_FIRST, &dsp->rng);
    }
    setup_tank_lines(dsp->tanks, dsp->size_min, dsp->size_max, &dsp->rng);
    apply_decay(dsp->tanks, dsp->decay_time);
}

static void filter_update(DspState* dsp, PortIndex port, float v)
{
    for (FdnTank& tank : dsp->tanks) {
        switch (port) {
        case PORT_HP_LOW: tank.hp_low = v; break;
        case PORT_HP_HIGH: tank.hp_high = v; break;
        case PORT_LP_LOW: tank.lp_low = v; break;
        default: tank.lp_high = v; break;
        }
    }
    const bool low = port == PORT_LP_LOW || port == PORT_LP_HIGH;
    update_filter_bank(dsp->tanks, low ? FILTER_BANK_LOWPASS : FILTER_BANK_HIGHPASS);
}

static void apply_control(PluginInstance* self, PortIndex port, float v)
{
    DspState* dsp = self->dsp;
    switch (port) {
    case PORT_SIZE_MIN:
        dsp->size_min = v;
        size_update(dsp);
        break;
    case PORT_SIZE_MAX:
        dsp->size_max = v;
        size_update(dsp);
        break;
    case PORT_WIDTH: {
        const float c = std::fma(-v, 0.01f, 1.0f);
        dsp->cross_mix = c;
        for (FdnTank& tank : dsp->tanks) tank.cross_mix = c;
        break;
    }
    case PORT_JITTER: jitter_update(dsp, v); break;
    case PORT_SHAPE: shape_update(dsp, v); break;
    case PORT_DIFFUSION_PCT: set_diffusion(&dsp->diffusion, v); break;
    case PORT_MODE_SEL: dsp->mode = to_i32(v); break;
    case PORT_MOD_DEPTH: set_modulation(dsp->delay_lines, bounded(v, MOD_DEPTH)); break;
    case PORT_DELAY_MIX: set_mix(dsp->delay_lines, bounded(v, MIX)); break;
    case PORT_DELAY_FEEDBACK: set_feedback(dsp->delay_lines, bounded(v, FEEDBACK)); break;
    case PORT_DELAY_MS: set_delay_time(dsp->delay_lines, v, dsp->sample_rate); break;
    case PORT_XFADE_MS: set_crossfade(dsp->delay_lines, v, dsp->sample_rate); break;
    case PORT_HP_LOW:
    case PORT_HP_HIGH:
    case PORT_LP_LOW:
    case PORT_LP_HIGH: filter_update(dsp, port, bounded(v, CUTOFF)); break;
    case PORT_PITCH_0:
    case PORT_PITCH_1:
    case PORT_PITCH_2:
    case PORT_PITCH_3:
        set_pitch(&dsp->delay_lines[port - PORT_PITCH_0], bounded(v, PITCH));
        break;
    default: break;
    }
}

void scan_controls(PluginInstance* self)
{
    for (PortIndex port : SCAN_ORDER) {
        const float* data = self->ports[port];
        if (!data) continue;  // unconnected: nothing to read
        const float v = *data;
        // A non-finite value is ignored: re-applying it would poison the
        // signal state for good.
        if (!std::isfinite(v)) continue;
        GainRamp* ramp = ramp_of(self, port);
        if (ramp) {
            if (v == ramp->target) continue;
            ramp->target = port == PORT_DECAY_MS ? v : bounded(v, LEVEL_DB);
            continue;
        }
        if (v == self->last_value[port]) continue;
        self->last_value[port] = v;
        apply_control(self, port, v);
    }
}
