// One setter per control: what a new control value does to the DspState.
// The control scan calls them when a value changes (after the safety bound of
// the control table); the gain ramps call the four ramped ones with each new
// ramp value.
#pragma once

#include "engine/dsp_state.h"

// Linear gain of a level in dB: 10^(dB * 0.05), the power in double precision.
float db_to_gain(float db);

// Ramped: levels in dB, the decay time in ms.
void engine_set_dry_db(DspState* dsp, float db);
void engine_set_wet_a_db(DspState* dsp, float db);
void engine_set_wet_b_db(DspState* dsp, float db);
void engine_set_decay_ms(DspState* dsp, float ms);

// Tank geometry.
void engine_set_size_min(DspState* dsp, float metres);
void engine_set_size_max(DspState* dsp, float metres);
void engine_set_width(DspState* dsp, float percent);
void engine_set_jitter(DspState* dsp, float percent);
void engine_set_shape(DspState* dsp, float percent);
// Tank modulation: 0 reads the lines' plain delays; 100 % swings each read
// by TANK_MOD_FULL_MS.
void engine_set_tank_mod(DspState* dsp, float percent);

void engine_set_diffusion(DspState* dsp, float percent);
void engine_set_mode(DspState* dsp, float mode);

// Delay lines.
void engine_set_mod_depth(DspState* dsp, float amount);
void engine_set_delay_mix(DspState* dsp, float percent);
void engine_set_delay_feedback(DspState* dsp, float percent);
void engine_set_delay_ms(DspState* dsp, float ms);
void engine_set_xfade_ms(DspState* dsp, float ms);
void engine_set_pitch_0(DspState* dsp, float semitones);
void engine_set_pitch_1(DspState* dsp, float semitones);
void engine_set_pitch_2(DspState* dsp, float semitones);
void engine_set_pitch_3(DspState* dsp, float semitones);

// The host's bypass: above 0.5 on, else off (a fade to the dry input).
void engine_set_enabled(DspState* dsp, float on);

// Tank filters (Hz).
void engine_set_hp_low(DspState* dsp, float hz);
void engine_set_hp_high(DspState* dsp, float hz);
void engine_set_lp_low(DspState* dsp, float hz);
void engine_set_lp_high(DspState* dsp, float hz);
