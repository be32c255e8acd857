#include "control/ramps.h"

#include <cmath>

#include "dsp/tank.h"
#include "plugin/instance.h"

void ramps_setup(GainRamp ramps[RAMP_COUNT])
{
    ramps[RAMP_DRY] = GainRamp{1, 0, 0.0f, 0.0f, 0.37333333f};
    ramps[RAMP_WET_A] = GainRamp{1, 0, -32.0f, -31.9968f, 0.37333333f};
    ramps[RAMP_WET_B] = GainRamp{1, 0, 0.0f, 0.0f, 0.32f};
    ramps[RAMP_DECAY] = GainRamp{1, 0, 10000.0f, 9999.0f, 60.0f};
}

bool ramp_advance(GainRamp* ramp)
{
    ramp->counter = ramp->counter + 1;
    if (ramp->counter < ramp->period) return false;
    ramp->counter = 0;
    if (ramp->current == ramp->target) return false;
    if (ramp->current < ramp->target) {
        const float n = ramp->current + ramp->step;
        ramp->current = n < ramp->target ? n : ramp->target;
    } else {
        const float n = ramp->current - ramp->step;
        ramp->current = n > ramp->target ? n : ramp->target;
    }
    return true;
}

float db_to_gain(float db)
{
    return static_cast<float>(std::pow(10.0, static_cast<double>(db * 0.05f)));
}

void advance_ramps(PluginInstance* self)
{
    DspState* dsp = self->dsp;
    GainRamp* ramps = self->ramps;
    if (ramp_advance(&ramps[RAMP_DRY])) dsp->dry_gain = db_to_gain(ramps[RAMP_DRY].current);
    if (ramp_advance(&ramps[RAMP_WET_A])) dsp->wet_gain_a = db_to_gain(ramps[RAMP_WET_A].current);
    if (ramp_advance(&ramps[RAMP_WET_B])) dsp->wet_gain_b = db_to_gain(ramps[RAMP_WET_B].current);
    if (ramp_advance(&ramps[RAMP_DECAY])) {
        dsp->decay_time = ramps[RAMP_DECAY].current;
        apply_decay(dsp->tanks, dsp->decay_time);
    }
}
