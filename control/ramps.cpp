#include "control/ramps.h"

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

bool ramps_at_rest(const GainRamp ramps[RAMP_COUNT])
{
    for (int r = 0; r < RAMP_COUNT; ++r)
        if (ramps[r].current != ramps[r].target) return false;
    return true;
}

void ramps_rest(GainRamp ramps[RAMP_COUNT], uint64_t blocks)
{
    // ramp_advance counts the counter up and starts it again at 0 when it
    // reaches the period (which it stays below).
    for (int r = 0; r < RAMP_COUNT; ++r) {
        GainRamp* ramp = &ramps[r];
        ramp->counter = ramp->period <= 1 ? 0 : (ramp->counter + blocks) % ramp->period;
    }
}

static void apply_ramp(const GainRamp ramps[RAMP_COUNT], RampIndex r, DspState* dsp)
{
    control_action(ramp_port(r))(dsp, ramps[r].current);
}

void advance_ramps(GainRamp ramps[RAMP_COUNT], DspState* dsp)
{
    for (int r = 0; r < RAMP_COUNT; ++r)
        if (ramp_advance(&ramps[r])) apply_ramp(ramps, static_cast<RampIndex>(r), dsp);
}

void start_ramps(GainRamp ramps[RAMP_COUNT], DspState* dsp)
{
    for (int r = 0; r < RAMP_COUNT; ++r) {
        ramps[r].current = ramps[r].target;
        apply_ramp(ramps, static_cast<RampIndex>(r), dsp);
    }
}
