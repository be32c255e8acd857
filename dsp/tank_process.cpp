#include <cmath>
#include <cstring>

#include "dsp/convert.h"
#include "dsp/tank.h"
#include "dsp/tank_steps.h"

// After a wrap: the planned length is in force, and the next step toward the
// final length (if any) is planned.
static void take_next_length(LengthPlan* plan)
{
    plan->length = plan->next_length;
    if (plan->target_length == 0)
        plan->next_length = 0;
    else
        plan_length_change(plan, plan->target_length, TANK_MAX_LENGTH);
}

void tank_line_change_length(TankLine* line)
{
    const uint64_t old_length = line->plan.length;
    const uint64_t new_length = line->plan.next_length;
    float* buffer = line->buffer;
    const double ratio = static_cast<double>(old_length) / static_cast<double>(new_length);
    // The samples behind the old end let the last position interpolate
    // toward the start of the circle.
    for (uint64_t j = 0; j < 4; ++j) buffer[old_length + j] = buffer[j];
    if (new_length >= 2) {
        // Shrinking reads ahead of the write (q >= j), growing behind it
        // (q <= j), so each direction works in place.
        const bool shrinking = ratio > 1.0;
        for (uint64_t step = 1; step < new_length; ++step) {
            const uint64_t j = shrinking ? step : new_length - step;
            const double t = static_cast<double>(j) * ratio;
            const uint64_t q = to_u64(t);
            const float f = static_cast<float>(t - static_cast<double>(q));
            const float a = buffer[q];
            const float b = buffer[q + 1];
            buffer[j] = std::fma(f, b - a, a);
        }
    }
    take_next_length(&line->plan);
}

// A silent line's wrap with a length change: resampling a circle of +0 (and
// the four samples copied behind its end) writes +0 over samples
// 0 ... max(new length, old length + 4) - 1, so only what lies beyond the
// old circle can change.
static void silent_line_change_length(TankLine* line)
{
    const uint64_t old_length = line->plan.length;
    const uint64_t written = line->plan.next_length > old_length + 4 ? line->plan.next_length
                                                                     : old_length + 4;
    std::memset(line->buffer + old_length, 0, (written - old_length) * sizeof(float));
    take_next_length(&line->plan);
}

// A phase as a position -1 ... 1: its distance from half a turn, in turns
// of 2^31.
static float phase_position(uint32_t phase)
{
    const int32_t centred = static_cast<int32_t>(phase ^ 0x80000000u);  // phase - 2^31, exactly
    return static_cast<float>(centred) * 4.656612873e-10f;                 // 2^-31
}

// Each line's oscillator position at the start and the end of a segment (the
// phases move on by one segment); the lanes do the same in vector lanes
// (v8_phase_positions).
static void tank_mod_positions(FdnTank* tank, float t_start[TANK_LINES], float t_end[TANK_LINES])
{
    for (int k = 0; k < TANK_LINES; ++k) {
        t_start[k] = phase_position(tank->mod_phase[k]);
        tank->mod_phase[k] += tank->mod_rate[k];
        t_end[k] = phase_position(tank->mod_phase[k]);
    }
}

void tank_mod_segment(FdnTank* tank)
{
    float t_start[TANK_LINES], t_end[TANK_LINES], depth[TANK_LINES], whole[TANK_LINES];
    tank_mod_depths(tank, depth);
    tank_mod_positions(tank, t_start, t_end);
    for (int k = 0; k < TANK_LINES; ++k)
        tank_mod_segment_step(t_start[k], t_end[k], depth[k], &whole[k], &tank->read_coef[k],
                              &tank->read_coef_slope[k]);
    tank_mod_store_wholes(tank, whole);
}

// n samples of the silent lines' positions and length steps.
static void walk_lines(FdnTank* tank, uint64_t n)
{
    for (TankLine& line : tank->lines) {
        uint64_t left = n;
        while (left > 0) {
            // (A position at or past the end takes one sample, then wraps.)
            const uint64_t room =
                line.write_pos < line.plan.length ? line.plan.length - line.write_pos : 1;
            if (left < room) {
                line.write_pos += left;
                break;
            }
            left -= room;
            line.write_pos = 0;
            if (line.plan.next_length != 0) silent_line_change_length(&line);
        }
    }
}

// With modulation on, every segment that starts in the n samples advances
// the oscillators, and the last one's offsets stand, computed from the
// lengths in force when it starts.
void tank_keep_time(FdnTank* tank, uint64_t n)
{
    const uint64_t to_first = (TANK_MOD_SEGMENT - tank->mod_index) % TANK_MOD_SEGMENT;
    if (!(tank->mod_depth > 0.0f) || n <= to_first) {
        walk_lines(tank, n);
    } else {
        const uint64_t starts = (n - to_first - 1) / TANK_MOD_SEGMENT + 1;
        const uint64_t before_last = to_first + (starts - 1) * TANK_MOD_SEGMENT;
        for (int k = 0; k < TANK_LINES; ++k)
            tank->mod_phase[k] += static_cast<uint32_t>((starts - 1) * tank->mod_rate[k]);
        walk_lines(tank, before_last);
        tank_mod_segment(tank);
        walk_lines(tank, n - before_last);
    }
    if (tank->mod_depth > 0.0f)
        tank->mod_index = static_cast<uint32_t>((tank->mod_index + n) % TANK_MOD_SEGMENT);
}

// Line k's modulated read at write position p: the two samples of the
// circle at the segment's whole offset through the line's allpass.
static float modulated_read(FdnTank* tank, int k, uint64_t p, float index)
{
    const TankLine* line = &tank->lines[k];
    const uint64_t length = line->plan.length;
    uint64_t at = p + tank->read_whole[k];
    at = at >= length ? at - length : at;
    const uint64_t before = at == 0 ? length - 1 : at - 1;
    const float coef = tank_mod_coef(index, tank->read_coef_slope[k], tank->read_coef[k]);
    return tank_mod_allpass(coef, line->buffer[at], line->buffer[before], &tank->read_history[k]);
}

void tank_step(FdnTank* tank, float x)
{
    float* mixed = tank->mixed;
    hadamard_mix(tank->line_out, [mixed](int c, float sum) { mixed[c] = sum; });
    const bool moving = tank->mod_depth > 0.0f;
    if (moving && tank->mod_index == 0) tank_mod_segment(tank);
    const float index = static_cast<float>(tank->mod_index);
    for (int k = 0; k < TANK_LINES; ++k) {
        TankLine* line = &tank->lines[k];
        const uint64_t p = line->write_pos;
        float u = moving ? modulated_read(tank, k, p, index) : line->buffer[p];
        line->buffer[p] = tank_line_write(tank->mixed[k], tank->line_gain[k], x);
        line->write_pos = p + 1;
        if (line->write_pos >= line->plan.length) {
            line->write_pos = 0;
            if (line->plan.next_length != 0) tank_line_change_length(line);
        }
        OnePole* hp = &tank->highpass[k];
        OnePole* lp = &tank->lowpass[k];
        if (tank->highpass_on[k] && tank->lowpass_on[k])
            u = highpass_lowpass_step(hp->coefficient, lp->coefficient, &hp->state, &lp->state, u);
        else if (tank->highpass_on[k])
            u = highpass_step(hp->coefficient, &hp->state, u);
        else if (tank->lowpass_on[k])
            u = lowpass_step(lp->coefficient, &lp->state, u);
        tank->line_out[k] = u;
    }
    if (moving) tank->mod_index = (tank->mod_index + 1) % TANK_MOD_SEGMENT;
}

// ---- The output forms, one tank_step per sample: the reference that the
// lane-parallel forms (lanes/tank_lanes.cpp) equal bit for bit. ----

void tank_add_reference(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        out[i] = tank_form_add(out[i], tank->line_out);
    }
}

void tank_replace_reference(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        out[i] = tank_form_replace(tank->line_out);
    }
}

void tank_stereo_reference(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        tank_form_stereo(tank->cross_mix, tank->line_out, &left[i], &right[i]);
    }
}
