#include <cmath>

#include "dsp/convert.h"
#include "dsp/tank.h"


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
    line->plan.length = new_length;
    if (line->plan.target_length == 0)
        line->plan.next_length = 0;
    else
        plan_length_change(&line->plan, line->plan.target_length, TANK_MAX_LENGTH);
}

void tank_step(FdnTank* tank, float x)
{
    // Mix the previous outputs column by column, summed from line 0 upward.
    const float* out = tank->line_out;
    for (int c = 0; c < TANK_LINES; ++c) {
        float sum = out[0] * HADAMARD[0][c];
        for (int k = 1; k < TANK_LINES; ++k) sum = sum + out[k] * HADAMARD[k][c];
        tank->mixed[c] = sum;
    }
    for (int k = 0; k < TANK_LINES; ++k) {
        TankLine* line = &tank->lines[k];
        const uint64_t p = line->write_pos;
        float u = line->buffer[p];
        line->buffer[p] = std::fma(tank->mixed[k], tank->line_gain[k], x);
        line->write_pos = p + 1;
        if (line->write_pos >= line->plan.length) {
            line->write_pos = 0;
            if (line->plan.next_length != 0) tank_line_change_length(line);
        }
        if (tank->highpass_on[k]) u = one_pole_highpass(&tank->highpass[k], u);
        if (tank->lowpass_on[k]) u = one_pole_lowpass(&tank->lowpass[k], u);
        tank->line_out[k] = u;
    }
}

// ---- The output forms, one tank_step per sample: the reference that the
// lane-parallel forms (tank_lanes.cpp) equal bit for bit. ----

void tank_add_reference(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    const float* l = tank->line_out;
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        float sum = out[i];
        for (int k = 0; k < TANK_LINES; ++k) sum = sum + l[k];
        out[i] = sum;
    }
}

void tank_replace_reference(FdnTank* tank, const float* in, float* out, uint32_t n)
{
    const float* l = tank->line_out;
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        out[i] = ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
    }
}

void tank_stereo_reference(FdnTank* tank, const float* in, float* left, float* right, uint32_t n)
{
    const float* l = tank->line_out;
    const float c = tank->cross_mix;
    for (uint32_t i = 0; i < n; ++i) {
        tank_step(tank, in[i]);
        const float even = (l[0] + l[2]) + (l[4] + l[6]);
        const float odd = (l[1] + l[3]) + (l[5] + l[7]);
        left[i] = std::fma(c, odd, even);
        right[i] = std::fma(c, even, odd);
    }
}
