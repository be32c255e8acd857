#include "dsp/mod_delay.h"

#include <cmath>
#include <cstring>

#include "dsp/convert.h"
#include "dsp/float_walk.h"
#include "dsp/mod_delay_steps.h"

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
    line->lfo_increment = LFO_INCREMENT_48K;
    line->lfo_phase = 0.0f;
    line->mod_offset = 0.1f;
    line->fade_length = 128;
    line->fade_countdown = 0;
    line->fade_step = 0.0078125f;
    line->mix = 0.15f;
    delay_lowpass_reset(&line->filter_history);
}

void mod_delay_clear(ModDelayLine* line)
{
    std::memset(line->buffer, 0, sizeof line->buffer);
    delay_lowpass_reset(&line->filter_history);
}

// Linear interpolation at position p on the circle; a position below 0 reads
// the end of the circle.
static inline float read_at(const ModDelayLine* line, float p)
{
    const float floor_p = std::floor(p);
    const int64_t size = static_cast<int64_t>(line->size);
    const float fsize = static_cast<float>(line->size);
    int64_t index;
    // Positions are within two circles but for a moment after the size has
    // shrunk: no division then.
    if (floor_p >= 0.0f && floor_p < 2.0f * fsize) {
        index = static_cast<int64_t>(wrap_once(floor_p, fsize));
    } else {
        index = to_i64(floor_p) % size;
        if (index < 0) index += size;
    }
    int64_t next = index + 1;
    if (next == size) next = 0;
    return interpolate(line->buffer[index], line->buffer[next], p - floor_p);
}

float mod_delay_tick(ModDelayLine* line, float x)
{
    const float fsize = static_cast<float>(line->size);
    const float offset = triangle_step(&line->lfo_phase, line->lfo_increment, line->lfo_depth,
                                       static_cast<double>(line->lfo_depth));
    line->mod_offset = offset;

    // Interpolated read at the modulated main head.
    const float p = line->read_pos + offset;
    const float s = read_at(line, p);

    // Head jump and crossfade. No distance test is made while fading.
    float u = s;
    if (!line->fading) {
        const float write_f = static_cast<float>(line->write_pos);
        const int64_t distance =
            head_distance(line->speed < 1.0f, p, write_f, static_cast<int64_t>(line->write_pos),
                          static_cast<int64_t>(line->size));
        const float guard_limit = static_cast<float>(static_cast<int64_t>(line->guard) + 1);
        if (jump_due(guard_limit, offset, static_cast<float>(distance))) {
            // The old position becomes the fading head.
            line->fade_pos = line->read_pos;
            line->fade_countdown = line->fade_length;
            line->fade_in_gain = 0.0f;
            line->fade_out_gain = 1.0f;
            line->read_pos = jump_target(write_f, fsize * 0.5f, fsize);
            line->fading = true;
        }
    } else {
        const float sb = read_at(line, line->fade_pos + offset);
        u = crossfade_mix(line->fade_in_gain, line->fade_out_gain, s, sb);
        crossfade_gains_step(&line->fade_in_gain, &line->fade_out_gain, line->fade_step);
        line->fade_pos = advance_head(line->fade_pos, line->speed, fsize);
        line->fade_countdown = line->fade_countdown - 1;
        if (line->fade_countdown == 0) line->fading = false;
    }
    line->read_pos = advance_head(line->read_pos, line->speed, fsize);

    const float y = delay_lowpass_step(line->filter_history.history, u);

    line->buffer[line->write_pos] = feedback_write(x, line->feedback, y);
    line->write_pos = line->write_pos + 1;
    if (line->write_pos >= line->size) line->write_pos = 0;

    return delay_blend(1.0 - static_cast<double>(line->mix), line->mix, x, y);
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
    // Sizes spread 0.9, 0.954, 1.01124, 1.0719144 times the time; each factor
    // from the last in double precision.
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
    const float ratio = powf(SEMITONE_RATIO, semitones);
    if (ratio == 0.0f) return;
    line->speed = ratio;
    update_guard(line);
}

void set_modulation(ModDelayLine lines[MOD_DELAY_COUNT], float amount)
{
    // Rates 0.5, 0.6, 0.72, 0.864 cycles per 48000 samples at every host rate.
    float rate = 0.5f;
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) {
        lines[k].lfo_depth = amount * DEPTH_SAMPLES_PER_UNIT;
        lines[k].lfo_increment = rate * LFO_INCREMENT_48K;
        rate = rate * 1.2f;
    }
}

void set_mix(ModDelayLine lines[MOD_DELAY_COUNT], float percent)
{
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) lines[k].mix = percent * MIX_PER_PERCENT;
}

void set_feedback(ModDelayLine lines[MOD_DELAY_COUNT], float percent)
{
    for (int k = 0; k < MOD_DELAY_COUNT; ++k) lines[k].feedback = percent * FEEDBACK_PER_PERCENT;
}

void delay_chains_process_reference(ModDelayLine lines[MOD_DELAY_COUNT], const float* in,
                                    float* out, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        const float x = in[i];
        const float a = mod_delay_tick(&lines[0], x);
        const float a2 = mod_delay_tick(&lines[1], a);
        const float b = mod_delay_tick(&lines[3], x);
        const float b2 = mod_delay_tick(&lines[2], b);
        out[i] = 0.5f * (a2 + b2);
    }
}

void delay_stage_process_reference(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n,
                                   float k)
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

// ---- Keeping time while the line is silent ----
//
// With every sample of the circle and the lowpass history at +0 and a silent
// input, a tick reads, filters and writes +0: only the modulation phase, the
// heads, the crossfade and the write position move. Between two events (a
// head jump, the end of a crossfade) each of them is one float addition
// repeated, which float_walk takes many samples at a time; the samples around
// an event go through mod_delay_tick itself.

// The heads and the phase where the walks below apply: inside the circle,
// finite, moving forward.
static bool positions_in_range(const ModDelayLine* line)
{
    const float fsize = static_cast<float>(line->size);
    const bool heads = line->read_pos >= 0.0f && line->read_pos < fsize &&
                       (!line->fading || (line->fade_pos >= 0.0f && line->fade_pos < fsize &&
                                          line->fade_countdown >= 1));
    const bool modulation = line->lfo_phase >= 0.0f && line->lfo_phase < 1.0f &&
                            line->lfo_increment > 0.0f && line->lfo_increment < 0.25f &&
                            line->lfo_depth >= 0.0f && line->lfo_depth < 1.0e6f;
    return line->size >= 1 && line->write_pos < line->size && heads && modulation &&
           line->speed > 0.0f && line->speed <= 64.0f && line->fade_step > 0.0f;
}

// Samples from now on (at most n) in which no head jump can come due. The
// distance test of each sample compares the whole-sample distance between the
// modulated read position and the write head, in the direction they close
// in, with guard + 1 + offset. That distance is the heads' distance around
// the circle to within one sample (truncation toward zero of the difference
// counts one more on the side where a head has wrapped and the other not),
// and per sample it moves by at most |1 - speed| plus the offset's change plus
// rounding. A distance well clear of the jump threshold and of 0 (where the
// heads would meet) stays clear for that many samples.
static uint64_t span_without_jump(const ModDelayLine* line, uint64_t n)
{
    float phase = line->lfo_phase;
    const float offset = triangle_step(&phase, line->lfo_increment, line->lfo_depth,
                                       static_cast<double>(line->lfo_depth));
    const float p = line->read_pos + offset;
    const int64_t size = static_cast<int64_t>(line->size);
    const int64_t distance =
        head_distance(line->speed < 1.0f, p, static_cast<float>(line->write_pos),
                      static_cast<int64_t>(line->write_pos), size);
    const double half_depth = 0.5 * static_cast<double>(line->lfo_depth);
    const double threshold = static_cast<double>(line->guard) + 1.0 + half_depth;
    // Per sample: the heads' relative speed, the offset's slope, and a
    // rounding allowance for the read head's advance (positions below 2^15
    // round to 2^-9 at worst).
    const double rate = std::fabs(1.0 - static_cast<double>(line->speed)) +
                        1.01 * static_cast<double>(line->lfo_depth) * line->lfo_increment +
                        1.0 / 256.0;
    const double clear_of_jump = static_cast<double>(distance) - threshold - 4.0;
    const double clear_of_meeting = static_cast<double>(size - distance) - 4.0;
    const double clear = clear_of_jump < clear_of_meeting ? clear_of_jump : clear_of_meeting;
    const double span = clear / rate;
    if (!(span >= 1.0)) return 0;
    return span < static_cast<double>(n) ? static_cast<uint64_t>(span) : n;
}

// n repetitions of a step: as many as walk(left) can take at once (it
// returns how many it took), then one by step() itself, and again.
template <typename Walk, typename Step>
static void repeat_step(uint64_t n, Walk walk, Step step)
{
    while (n > 0) {
        n -= walk(n);
        if (n == 0) break;
        step();
        --n;
    }
}

// A head moved on n samples, wrapping as advance_head does. Just after a
// wrap it is in small binades of a step or two each, where single steps are
// cheaper than working out a walk.
static void walk_head(float* position, float speed, float fsize, uint64_t n)
{
    const float few_steps = 8.0f * speed;
    repeat_step(
        n,
        [&](uint64_t left) {
            return *position < few_steps ? 0 : float_walk_up(position, speed, left, fsize);
        },
        [&] { *position = advance_head(*position, speed, fsize); });
}

// n >= 1 samples without a jump: every field as n ticks leave it.
static void skip_samples(ModDelayLine* line, uint64_t n)
{
    const float fsize = static_cast<float>(line->size);
    const float inc = line->lfo_increment, depth = line->lfo_depth;
    const double depth_d = static_cast<double>(depth);
    // The modulation: n - 1 steps walked, the last one taken by
    // triangle_step, whose offset the line keeps.
    repeat_step(
        n - 1, [&](uint64_t left) { return float_walk_up(&line->lfo_phase, inc, left, 1.0f); },
        [&] { triangle_step(&line->lfo_phase, inc, depth, depth_d); });
    line->mod_offset = triangle_step(&line->lfo_phase, inc, depth, depth_d);
    if (line->fading) {
        // Each crossfade gain on its own (the other one a scratch value for
        // crossfade_gains_step); a gain at its end stays there.
        float* in = &line->fade_in_gain;
        float* out = &line->fade_out_gain;
        const float step = line->fade_step;
        float scratch = 0.0f;
        repeat_step(
            n, [&](uint64_t left) { return *in == 1.0f ? left : float_walk_up(in, step, left, 1.0f); },
            [&] {
                scratch = 1.0f;
                crossfade_gains_step(in, &scratch, step);
            });
        repeat_step(
            n, [&](uint64_t left) { return *out == 0.0f ? left : float_walk_down(out, step, left); },
            [&] {
                scratch = 0.0f;
                crossfade_gains_step(&scratch, out, step);
            });
        walk_head(&line->fade_pos, line->speed, fsize, n);
        line->fade_countdown -= n;
        if (line->fade_countdown == 0) line->fading = false;
    }
    walk_head(&line->read_pos, line->speed, fsize, n);
    line->write_pos = (line->write_pos + n) % line->size;
}

void mod_delay_keep_time(ModDelayLine* line, uint64_t n)
{
    while (n > 0) {
        uint64_t span = 0;
        if (positions_in_range(line)) {
            if (line->fading)
                span = line->fade_countdown < n ? line->fade_countdown : n;
            else
                span = span_without_jump(line, n);
        }
        if (span == 0) {
            mod_delay_tick(line, 0.0f);
            --n;
            continue;
        }
        skip_samples(line, span);
        n -= span;
    }
}
