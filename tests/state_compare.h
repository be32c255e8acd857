// Two signal states compared field by field, bit for bit. A byte-wise memcmp
// of whole records also compares their padding, which the compiler may fill
// with anything when it merges neighbouring stores; two states reached by
// different code paths (processing and idling, say) can differ there alone.
#pragma once

#include <cstring>

#include "engine/dsp_state.h"

#define SAME_FIELD(a, b, f) (std::memcmp(&(a).f, &(b).f, sizeof (a).f) == 0)

inline bool same_delay_line(const ModDelayLine& a, const ModDelayLine& b)
{
    return SAME_FIELD(a, b, buffer) && SAME_FIELD(a, b, read_pos) && SAME_FIELD(a, b, fade_pos) &&
           SAME_FIELD(a, b, speed) && SAME_FIELD(a, b, size) && SAME_FIELD(a, b, max_size) &&
           SAME_FIELD(a, b, write_pos) && SAME_FIELD(a, b, guard) && SAME_FIELD(a, b, fading) &&
           SAME_FIELD(a, b, feedback) && SAME_FIELD(a, b, fade_in_gain) &&
           SAME_FIELD(a, b, fade_out_gain) && SAME_FIELD(a, b, lfo_depth) &&
           SAME_FIELD(a, b, lfo_increment) && SAME_FIELD(a, b, lfo_phase) &&
           SAME_FIELD(a, b, mod_offset) && SAME_FIELD(a, b, fade_length) &&
           SAME_FIELD(a, b, fade_countdown) && SAME_FIELD(a, b, fade_step) && SAME_FIELD(a, b, mix) &&
           SAME_FIELD(a, b, filter_history);
}

inline bool same_plan(const LengthPlan& a, const LengthPlan& b)
{
    return a.length == b.length && a.next_length == b.next_length && a.target_length == b.target_length;
}

inline bool same_tank(const FdnTank& a, const FdnTank& b)
{
    bool same = SAME_FIELD(a, b, sample_rate) && SAME_FIELD(a, b, size_min) &&
                SAME_FIELD(a, b, size_max) && SAME_FIELD(a, b, lp_low) && SAME_FIELD(a, b, lp_high) &&
                SAME_FIELD(a, b, hp_low) && SAME_FIELD(a, b, hp_high) && SAME_FIELD(a, b, jitter) &&
                SAME_FIELD(a, b, shape) && SAME_FIELD(a, b, cross_mix) &&
                SAME_FIELD(a, b, line_lengths) && SAME_FIELD(a, b, line_out) && SAME_FIELD(a, b, mixed) &&
                SAME_FIELD(a, b, decay_time) && SAME_FIELD(a, b, gain_scale) &&
                SAME_FIELD(a, b, line_gain) && SAME_FIELD(a, b, lowpass_on) &&
                SAME_FIELD(a, b, highpass_on) && SAME_FIELD(a, b, mod_depth) &&
                SAME_FIELD(a, b, mod_index) && SAME_FIELD(a, b, mod_phase) &&
                SAME_FIELD(a, b, mod_rate) && SAME_FIELD(a, b, read_whole) &&
                SAME_FIELD(a, b, read_coef) && SAME_FIELD(a, b, read_coef_slope) &&
                SAME_FIELD(a, b, read_history);
    for (int k = 0; k < TANK_LINES; ++k)
        same = same && a.lines[k].write_pos == b.lines[k].write_pos &&
               same_plan(a.lines[k].plan, b.lines[k].plan) && SAME_FIELD(a, b, lines[k].buffer) &&
               SAME_FIELD(a, b, lowpass[k].coefficient) && SAME_FIELD(a, b, lowpass[k].state) &&
               SAME_FIELD(a, b, highpass[k].coefficient) && SAME_FIELD(a, b, highpass[k].state);
    return same;
}

inline bool same_diffuser(const AllpassDiffuser& a, const AllpassDiffuser& b)
{
    return SAME_FIELD(a, b, coefficient) && SAME_FIELD(a, b, gain) && SAME_FIELD(a, b, use_gain) &&
           SAME_FIELD(a, b, length) && SAME_FIELD(a, b, index) && SAME_FIELD(a, b, buffer) &&
           SAME_FIELD(a, b, sample_rate) && SAME_FIELD(a, b, time_ms) && SAME_FIELD(a, b, damping) &&
           SAME_FIELD(a, b, damping_state);
}

// Everything but the idle watch, which only the idling side keeps.
inline bool same_signal_state(const DspState& a, const DspState& b)
{
    bool same = SAME_FIELD(a, b, sample_rate) && SAME_FIELD(a, b, cross_mix) &&
                SAME_FIELD(a, b, size_min) && SAME_FIELD(a, b, size_max) &&
                SAME_FIELD(a, b, dry_gain) && SAME_FIELD(a, b, wet_gain_a) &&
                SAME_FIELD(a, b, wet_gain_b) && SAME_FIELD(a, b, decay_time) &&
                SAME_FIELD(a, b, diffusion.diffusion) && SAME_FIELD(a, b, mode) &&
                SAME_FIELD(a, b, rng) && SAME_FIELD(a, b, lanes) && SAME_FIELD(a, b, enable_gain) &&
                SAME_FIELD(a, b, enable_target) && SAME_FIELD(a, b, enable_step);
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) same = same && same_delay_line(a.delay_lines[k], b.delay_lines[k]);
    for (int t = 0; t < TANK_COUNT; ++t) same = same && same_tank(a.tanks[t], b.tanks[t]);
    for (int k = 0; k < DIFFUSER_COUNT; ++k)
        same = same && same_diffuser(a.diffusion.diffusers[k], b.diffusion.diffusers[k]);
    for (int k = 0; k < 2; ++k)
        same = same && a.early_lines[k].write_pos == b.early_lines[k].write_pos &&
               same_plan(a.early_lines[k].plan, b.early_lines[k].plan) &&
               SAME_FIELD(a, b, early_lines[k].buffer);
    return same;
}

#undef SAME_FIELD
