#include "engine/dsp_state.h"

#include <cstdlib>
#include <cstring>

#include "dsp/lanes/cpu.h"

void engine_init(DspState* dsp, float sample_rate)
{
    dsp->cross_mix = 1.0f;
    dsp->size_min = 10.0f;
    dsp->size_max = 50.0f;
    // 0 dB: the gain that the dry control's starting target stands for.
    dsp->dry_gain = 1.0f;
    dsp->wet_gain_a = 0.7f;
    dsp->wet_gain_b = 1.0f;
    for (ModDelayLine& line : dsp->delay_lines) mod_delay_setup(&line);
    for (int t = 0; t < TANK_COUNT; ++t) {
        tank_setup(&dsp->tanks[t], sample_rate);
        tank_mod_setup(&dsp->tanks[t], t, sample_rate);
    }
    diffusion_stage_setup(&dsp->diffusion);
    dsp->mode = 1;
    for (EarlyLine& line : dsp->early_lines) early_line_setup(&line);
    dsp->decay_time = 1000.0f;
    apply_decay(dsp->tanks, dsp->decay_time);
    // Chosen once per instance. BRUMMKISTE_SCALAR (any value) forces the
    // plain code, to compare or to rule the vector paths out.
    dsp->lanes = lanes_supported() && std::getenv("BRUMMKISTE_SCALAR") == nullptr;
    dsp->enable_gain = 1.0f;
    dsp->enable_target = 1.0f;
    const float fade = sample_rate * BYPASS_FADE_SECONDS;
    dsp->enable_step = fade > 1.0f ? 1.0f / fade : 1.0f;
    dsp->sample_rate = sample_rate;
    // Seed 1 is the generator's state before any jitter or shape change
    // reseeds it with 21; a size change alone draws from here on.
    rng_seed(&dsp->rng, 1);
    std::memset(&dsp->watch, 0, sizeof dsp->watch);
    // BRUMMKISTE_NO_IDLE (any value) processes every block, silent or not:
    // to compare, or to rule the idle path out.
    dsp->watch.enabled = std::getenv("BRUMMKISTE_NO_IDLE") == nullptr;
}

static void take_final_length(LengthPlan* plan)
{
    if (plan->target_length != 0)
        plan->length = plan->target_length;
    else if (plan->next_length != 0)
        plan->length = plan->next_length;
    plan->next_length = 0;
    plan->target_length = 0;
}

void engine_start(DspState* dsp)
{
    for (FdnTank& tank : dsp->tanks)
        for (TankLine& line : tank.lines) take_final_length(&line.plan);
    for (EarlyLine& line : dsp->early_lines) take_final_length(&line.plan);
    dsp->enable_gain = dsp->enable_target;
}

void engine_clear_history(DspState* dsp)
{
    for (ModDelayLine& line : dsp->delay_lines) mod_delay_clear(&line);
    for (FdnTank& tank : dsp->tanks) tank_clear(&tank);
    for (AllpassDiffuser& d : dsp->diffusion.diffusers) diffuser_clear(&d);
}
