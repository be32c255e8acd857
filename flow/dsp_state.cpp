#include "flow/dsp_state.h"

void dsp_state_setup(DspState* dsp, float sample_rate)
{
    dsp->cross_mix = 1.0f;
    dsp->size_min = 10.0f;
    dsp->size_max = 50.0f;
    // 0 dB: the gain that the dry control's starting target stands for.
    dsp->dry_gain = 1.0f;
    dsp->wet_gain_a = 0.7f;
    dsp->wet_gain_b = 1.0f;
    for (ModDelayLine& line : dsp->delay_lines) mod_delay_setup(&line);
    for (FdnTank& tank : dsp->tanks) tank_setup(&tank, sample_rate);
    diffusion_stage_setup(&dsp->diffusion);
    dsp->mode = 1;
    for (EarlyLine& line : dsp->early_lines) early_line_setup(&line);
    dsp->decay_time = 1000.0f;
    apply_decay(dsp->tanks, dsp->decay_time);
    dsp->sample_rate = sample_rate;
    rng_seed(&dsp->rng, 1);
}
