#include "dsp/mod_delay.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/convert.h"

void mod_delay_setup(ModDelayLine* line)
{
    std::memset(line->buffer, 0, sizeof line->buffer);
    line->read_pos = 8000.0f;
    line->fade_pos = 24000.0f;
    line->speed = 0.5f;
    line->size = MOD_DELAY_MAX_SIZE;
    line->max_size = MOD_DELAY_MAX_SIZE;
    line->write_pos = 0;
    line->guard = 65;
    line->fading = false;
    line->feedback = 0.2f;
    line->fade_in_gain = 0.0f;
    line->fade_out_gain = 0.0f;
    line->lfo_depth = 10.0f;
    line->lfo_increment = 2.0833333e-05f;
    line->lfo_phase = 0.0f;
    line->mod_offset = 0.1f;
    line->fade_length = 128;
    line->fade_countdown = 0;
    line->fade_step = 0.0078125f;
    line->mix = 0.15f;
    for (float& w : line->filter_history) w = 0.0f;
}

// Linear interpolation at position p on the circle; a position below 0 reads
// the end of the circle.
static float read_at(const ModDelayLine* line, float p)
{
    const float floor_p = std::floor(p);
    const int64_t size = static_cast<int64_t>(line->size);
    int64_t index = to_i64(floor_p) % size;
    if (index < 0) index += size;
    int64_t next = index + 1;
    if (next == size) next = 0;
    const float frac = p - floor_p;
    const float a = line->buffer[index];
    const float b = line->buffer[next];
    return a + (b - a) * frac;
}

static float advance(float pos, float speed, uint64_t size)
{
    pos = pos + speed;
    const float fsize = static_cast<float>(size);
    if (pos >= fsize) pos = pos - fsize;
    return pos;
}

float mod_delay_tick(ModDelayLine* line, float x)
{
    // 1. Triangle modulation between 0 and half the depth.
    line->lfo_phase = line->lfo_phase + line->lfo_increment;
    float offset;
    if (line->lfo_phase >= 1.0f) {
        line->lfo_phase = 0.0f;
        offset = 0.0f;
    } else if (line->lfo_phase < 0.5f) {
        offset = line->lfo_phase * line->lfo_depth;
    } else {
        offset = static_cast<float>((1.0 - static_cast<double>(line->lfo_phase)) *
                                    static_cast<double>(line->lfo_depth));
    }
    line->mod_offset = offset;

    // 2. Main read.
    const float p = line->read_pos + offset;
    const float s = read_at(line, p);
    const float fsize = static_cast<float>(line->size);

    float u;
    if (!line->fading) {
        // 3. Distance to the write head; jump half a circle away when too close.
        int64_t d;
        if (line->speed < 1.0f)
            d = to_i64(p - static_cast<float>(line->write_pos));
        else  // the head position bounded so that the difference cannot overflow
            d = static_cast<int64_t>(line->write_pos) - std::max(to_i64(p), -(INT64_C(1) << 62));
        if (d < 0) d += static_cast<int64_t>(line->size);
        const float limit = static_cast<float>(static_cast<int64_t>(line->guard) + 1) + offset;
        if (limit >= static_cast<float>(d)) {
            line->fade_pos = line->read_pos;
            line->fade_countdown = line->fade_length;
            line->fade_in_gain = 0.0f;
            line->fade_out_gain = 1.0f;
            float jump = static_cast<float>(line->write_pos) + fsize * 0.5f;
            if (jump >= fsize) jump = jump - fsize;
            line->read_pos = jump;
            line->fading = true;
        }
        line->read_pos = advance(line->read_pos, line->speed, line->size);
        u = s;
    } else {
        // 4. Crossfade from the old head to the new one. The gains stay within
        // 0 ... 1 even when the crossfade length changes during the fade.
        const float sb = read_at(line, line->fade_pos + offset);
        u = line->fade_in_gain * s + line->fade_out_gain * sb;
        line->fade_in_gain = line->fade_in_gain + line->fade_step;
        line->fade_out_gain = line->fade_out_gain - line->fade_step;
        if (line->fade_in_gain > 1.0f) line->fade_in_gain = 1.0f;
        if (line->fade_out_gain < 0.0f) line->fade_out_gain = 0.0f;
        line->fade_pos = advance(line->fade_pos, line->speed, line->size);
        line->fade_countdown = line->fade_countdown - 1;
        if (line->fade_countdown == 0) line->fading = false;
        line->read_pos = advance(line->read_pos, line->speed, line->size);
    }

    // 5. Fixed fourth-order lowpass.
    float* h = line->filter_history;
    const float w = (((0.17293644f * u - 0.49543488f * h[0]) - 0.92745388f * h[1]) -
                     0.01951078f * h[2]) - 0.32458356f * h[3];
    const float y = ((w + 4.0f * (h[0] + h[2])) + 6.0f * h[1]) + h[3];
    h[4] = h[3];
    h[3] = h[2];
    h[2] = h[1];
    h[1] = h[0];
    h[0] = w;

    // 6. Write with feedback.
    line->buffer[line->write_pos] = x + line->feedback * y;
    line->write_pos = line->write_pos + 1;
    if (line->write_pos >= line->size) line->write_pos = 0;

    // 7. Blend of input and filtered read signal.
    const double mix = static_cast<double>(line->mix);
    return static_cast<float>((1.0 - mix) * static_cast<double>(x) +
                              static_cast<double>(line->mix * y));
}

static void update_guard(ModDelayLine* line)
{
    const float distance = std::fma(static_cast<float>(line->fade_length),
                                    std::fabs(line->speed - 1.0f), 1.0f);
    line->guard = to_i32(distance);
}

void set_delay_time(ModDelayLine lines[MOD_DELAY_COUNT], float ms, float sample_rate)
{
    const float samples = (ms * sample_rate) * 0.001f;
    float factor = 0.9f;
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) {
        ModDelayLine* line = &lines[k];
        uint64_t size = to_u64(samples * factor);
        if (size > line->max_size) size = line->max_size;
        if (size < 1) size = 1;
        line->size = size;
        factor = static_cast<float>(static_cast<double>(factor) * 1.06);
    }
}

void set_crossfade(ModDelayLine lines[MOD_DELAY_COUNT], float ms, float sample_rate)
{
    int32_t length = to_i32((ms * sample_rate) * 0.001f);
    if (length < 1) length = 1;
    if (length > MOD_DELAY_MAX_FADE) length = MOD_DELAY_MAX_FADE;
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) {
        lines[k].fade_length = static_cast<uint64_t>(length);
        lines[k].fade_step = 1.0f / static_cast<float>(length);
        update_guard(&lines[k]);
    }
}

void set_pitch(ModDelayLine* line, float semitones)
{
    const float ratio = powf(1.0594631f, semitones);
    if (ratio == 0.0f) return;
    line->speed = ratio;
    update_guard(line);
}

void set_modulation(ModDelayLine lines[MOD_DELAY_COUNT], float amount)
{
    float rate = 0.5f;
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) {
        lines[k].lfo_depth = amount * 1.6999999f;
        lines[k].lfo_increment = rate * 2.0833333e-05f;
        rate = rate * 1.2f;
    }
}

void set_mix(ModDelayLine lines[MOD_DELAY_COUNT], float percent)
{
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) lines[k].mix = percent * 0.00990099f;
}

void set_feedback(ModDelayLine lines[MOD_DELAY_COUNT], float percent)
{
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) lines[k].feedback = percent * 0.0075001875f;
}

void delay_stage_process(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n, float k)
{
    for (uint32_t i = 0; i < n; ++i) {
        const float x = work[i];
        const float d0 = mod_delay_tick(&lines[0], x);
        const float d1 = mod_delay_tick(&lines[1], x);
        const float d2 = mod_delay_tick(&lines[2], x);
        const float d3 = mod_delay_tick(&lines[3], x);
        work[i] = k * ((d0 + d1) + (d2 + d3));
    }
}
