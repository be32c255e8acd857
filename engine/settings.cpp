#include "engine/settings.h"

#include <cmath>

#include "dsp/convert.h"
#include "engine/idle.h"

// While the engine is idle (engine/idle.h), a setter that moves positions,
// lengths or heads first has the idle time kept under the old settings
// (engine_keep_time); one that could move the resting point itself (filters,
// mixes, width, diffusion, mode, the delay lines' circle) ends idle
// (engine_wake). Levels, decay and bypass touch neither.

float db_to_gain(float db)
{
    return static_cast<float>(std::pow(10.0, static_cast<double>(db * 0.05f)));
}

void engine_set_dry_db(DspState* dsp, float db)
{
    dsp->dry_gain = db_to_gain(db);
}

void engine_set_wet_a_db(DspState* dsp, float db)
{
    dsp->wet_gain_a = db_to_gain(db);
}

void engine_set_wet_b_db(DspState* dsp, float db)
{
    dsp->wet_gain_b = db_to_gain(db);
}

void engine_set_decay_ms(DspState* dsp, float ms)
{
    dsp->decay_time = ms;
    apply_decay(dsp->tanks, ms);
}

// Every size, jitter and shape change ends with a full recomputation of the
// lengths and gains, so the last one of them in scan order decides which
// random numbers stay in force.
static void recompute_tank_lines(DspState* dsp)
{
    setup_tank_lines(dsp->tanks, dsp->size_min, dsp->size_max, &dsp->rng);
    apply_decay(dsp->tanks, dsp->decay_time);
}

// The generator is not reseeded here: with jitter, a size change draws on
// from wherever the sequence stands.
static void size_update(DspState* dsp)
{
    engine_keep_time(dsp);
    plan_early_lines(dsp->early_lines, dsp->sample_rate, dsp->size_min, dsp->size_max);
    recompute_tank_lines(dsp);
}

void engine_set_size_min(DspState* dsp, float metres)
{
    dsp->size_min = metres;
    size_update(dsp);
}

void engine_set_size_max(DspState* dsp, float metres)
{
    dsp->size_max = metres;
    size_update(dsp);
}

// The oscillators keep running only while modulation is on, so the time
// spent idle is kept under the old depth first; reads of a silent line stay
// silent at any depth, so idle goes on.
void engine_set_tank_mod(DspState* dsp, float percent)
{
    engine_keep_time(dsp);
    const float samples_at_full = TANK_MOD_FULL_MS * 0.001f * dsp->sample_rate;
    const float share = percent > 0.0f ? std::sqrt(percent * 0.01f) : 0.0f;
    set_tank_mod(dsp->tanks, share * samples_at_full);
}

void engine_set_width(DspState* dsp, float percent)
{
    engine_wake(dsp);
    const float c = std::fma(-percent, 0.01f, 1.0f);
    dsp->cross_mix = c;
    for (FdnTank& tank : dsp->tanks) tank.cross_mix = c;
}

// Seed 21 before every jitter and shape change: the same settings always give
// the same jittered lengths.
static const uint32_t JITTER_SEED = 21;

void engine_set_jitter(DspState* dsp, float percent)
{
    engine_keep_time(dsp);
    const float j = percent * 0.01f;
    rng_seed(&dsp->rng, JITTER_SEED);
    for (FdnTank& tank : dsp->tanks) tank.jitter = j;
    recompute_tank_lines(dsp);
}

void engine_set_shape(DspState* dsp, float percent)
{
    engine_keep_time(dsp);
    rng_seed(&dsp->rng, JITTER_SEED);
    const float a = std::fma(-percent, 0.01f, 1.0f);
    const float b = a * 0.5f;
    const float b2 = b * b;
    const float e = std::fma(b2, 3.0f, 0.3f);
    // The shaping pass: its lengths and gains are replaced just below, but
    // it consumes random numbers, which the lengths in force depend on.
    for (FdnTank& tank : dsp->tanks) {
        tank.shape = e;
        for (int k = 0; k < TANK_LINES; ++k) compute_line(&tank, k, LINE_PASS_FIRST, &dsp->rng);
    }
    recompute_tank_lines(dsp);
}

void engine_set_diffusion(DspState* dsp, float percent)
{
    engine_wake(dsp);
    set_diffusion(&dsp->diffusion, percent);
}

void engine_set_mode(DspState* dsp, float mode)
{
    engine_wake(dsp);
    dsp->mode = to_i32(mode);
}

void engine_set_enabled(DspState* dsp, float on)
{
    dsp->enable_target = on > 0.5f ? 1.0f : 0.0f;
}

void engine_set_mod_depth(DspState* dsp, float amount)
{
    engine_keep_time(dsp);
    set_modulation(dsp->delay_lines, amount);
}

void engine_set_delay_mix(DspState* dsp, float percent)
{
    engine_wake(dsp);
    set_mix(dsp->delay_lines, percent);
}

void engine_set_delay_feedback(DspState* dsp, float percent)
{
    engine_wake(dsp);
    set_feedback(dsp->delay_lines, percent);
}

void engine_set_delay_ms(DspState* dsp, float ms)
{
    engine_wake(dsp);
    set_delay_time(dsp->delay_lines, ms, dsp->sample_rate);
}

void engine_set_xfade_ms(DspState* dsp, float ms)
{
    engine_keep_time(dsp);
    set_crossfade(dsp->delay_lines, ms, dsp->sample_rate);
}

void engine_set_pitch_0(DspState* dsp, float semitones)
{
    engine_keep_time(dsp);
    set_pitch(&dsp->delay_lines[0], semitones);
}

void engine_set_pitch_1(DspState* dsp, float semitones)
{
    engine_keep_time(dsp);
    set_pitch(&dsp->delay_lines[1], semitones);
}

void engine_set_pitch_2(DspState* dsp, float semitones)
{
    engine_keep_time(dsp);
    set_pitch(&dsp->delay_lines[2], semitones);
}

void engine_set_pitch_3(DspState* dsp, float semitones)
{
    engine_keep_time(dsp);
    set_pitch(&dsp->delay_lines[3], semitones);
}

// Each tank takes the new end point and recomputes the changed bank before
// the next tank; the other bank and all filter states are left alone.
void engine_set_hp_low(DspState* dsp, float hz)
{
    engine_wake(dsp);
    for (FdnTank& tank : dsp->tanks) tank.hp_low = hz;
    update_filter_bank(dsp->tanks, FILTER_BANK_HIGHPASS);
}

void engine_set_hp_high(DspState* dsp, float hz)
{
    engine_wake(dsp);
    for (FdnTank& tank : dsp->tanks) tank.hp_high = hz;
    update_filter_bank(dsp->tanks, FILTER_BANK_HIGHPASS);
}

void engine_set_lp_low(DspState* dsp, float hz)
{
    engine_wake(dsp);
    for (FdnTank& tank : dsp->tanks) tank.lp_low = hz;
    update_filter_bank(dsp->tanks, FILTER_BANK_LOWPASS);
}

void engine_set_lp_high(DspState* dsp, float hz)
{
    engine_wake(dsp);
    for (FdnTank& tank : dsp->tanks) tank.lp_high = hz;
    update_filter_bank(dsp->tanks, FILTER_BANK_LOWPASS);
}
