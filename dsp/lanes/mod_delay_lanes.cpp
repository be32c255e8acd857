// The four delay lines side by side, one in each lane of a vector, their
// state held in registers through a block, in three passes (modulation;
// heads, reads, filters and writes; blends). Every lane does what
// mod_delay_tick does for its line through the same step functions
// (dsp/mod_delay_steps.h, dsp/delay_lowpass.h) over four lanes; this file
// holds what is about lanes: loading and storing the state, gathers, masks
// for the lanes that take no part in a step, and the interpolated read
// without a division (positions stay within two circles). A sample whose positions
// leave two circles (for a moment after the delay time has shrunk) runs
// through mod_delay_tick itself.
#include "dsp/lanes/simd4.h"
#include "dsp/mod_delay.h"
#include "dsp/mod_delay_steps.h"

#if DSP_HAVE_V4

namespace {

enum { LANES = 4, PREFETCH_AHEAD = 48, BLOCK = 16 };

#define ALWAYS_INLINE inline __attribute__((always_inline))

typedef struct {
    ModDelayLine* line[LANES];
    V4 phase, increment, depth;
    V4d depth_d;     // depth in double precision
    V4 offset;  // the last modulation offset
    V4 read_pos, fade_pos, speed;
    V4 fsize, two_circles, half_circle;
    V4 slow;         // speed below 1: the read head falls behind
    V4i size, write_pos;
    V4 guard_limit;  // guard + 1
    V4 fading;       // mask
    V4 feedback, mix;
    V4d keep;        // 1 - mix
    V4 fade_in, fade_out, fade_step;
    V4i countdown, fade_length;
    V4 h[DELAY_LOWPASS_HISTORY];
} DelayLanes;

ALWAYS_INLINE void lanes_load(DelayLanes* v, ModDelayLine* const lines[LANES])
{
    float phase[LANES], inc[LANES], depth[LANES], offset[LANES], rp[LANES], fp[LANES];
    float speed[LANES], fsize[LANES], limit[LANES], fb[LANES], mix[LANES];
    float fin[LANES], fout[LANES], step[LANES], h[DELAY_LOWPASS_HISTORY][LANES];
    int32_t size[LANES], wp[LANES], countdown[LANES], fade_length[LANES];
    uint32_t fading_bits[LANES];
    for (int k = 0; k < LANES; ++k) {
        const ModDelayLine* l = lines[k];
        v->line[k] = lines[k];
        phase[k] = l->lfo_phase;
        inc[k] = l->lfo_increment;
        depth[k] = l->lfo_depth;
        offset[k] = l->mod_offset;
        rp[k] = l->read_pos;
        fp[k] = l->fade_pos;
        speed[k] = l->speed;
        fsize[k] = static_cast<float>(l->size);
        size[k] = static_cast<int32_t>(l->size);
        wp[k] = static_cast<int32_t>(l->write_pos);
        limit[k] = static_cast<float>(static_cast<int64_t>(l->guard) + 1);
        fading_bits[k] = l->fading ? 0xFFFFFFFFu : 0u;
        fb[k] = l->feedback;
        mix[k] = l->mix;
        fin[k] = l->fade_in_gain;
        fout[k] = l->fade_out_gain;
        step[k] = l->fade_step;
        countdown[k] = static_cast<int32_t>(l->fade_countdown);
        fade_length[k] = static_cast<int32_t>(l->fade_length);
        for (int i = 0; i < DELAY_LOWPASS_HISTORY; ++i) h[i][k] = l->filter_history.history[i];
    }
    v->phase = v4_load(phase);
    v->increment = v4_load(inc);
    v->depth = v4_load(depth);
    v->depth_d = v4_to_double(v->depth);
    v->offset = v4_load(offset);
    v->read_pos = v4_load(rp);
    v->fade_pos = v4_load(fp);
    v->speed = v4_load(speed);
    v->slow = v4_lt(v->speed, v4_set1(1.0f));
    v->fsize = v4_load(fsize);
    v->two_circles = v4_add(v->fsize, v->fsize);
    v->half_circle = v4_mul(v->fsize, v4_set1(0.5f));
    v->size = v4i_load(size);
    v->write_pos = v4i_load(wp);
    v->guard_limit = v4_load(limit);
    v->fading = v4_from_bits(fading_bits);
    v->feedback = v4_load(fb);
    v->mix = v4_load(mix);
    v->keep = v4d_sub(v4d_set1(1.0), v4_to_double(v->mix));
    v->fade_in = v4_load(fin);
    v->fade_out = v4_load(fout);
    v->fade_step = v4_load(step);
    v->countdown = v4i_load(countdown);
    v->fade_length = v4i_load(fade_length);
    for (int i = 0; i < DELAY_LOWPASS_HISTORY; ++i) v->h[i] = v4_load(h[i]);
}

ALWAYS_INLINE void lanes_store(const DelayLanes* v)
{
    float phase[LANES], offset[LANES], rp[LANES], fp[LANES];
    float fin[LANES], fout[LANES], h[DELAY_LOWPASS_HISTORY][LANES];
    int32_t wp[LANES], countdown[LANES];
    v4_store(phase, v->phase);
    v4_store(offset, v->offset);
    v4_store(rp, v->read_pos);
    v4_store(fp, v->fade_pos);
    v4_store(fin, v->fade_in);
    v4_store(fout, v->fade_out);
    v4i_store(wp, v->write_pos);
    v4i_store(countdown, v->countdown);
    for (int i = 0; i < DELAY_LOWPASS_HISTORY; ++i) v4_store(h[i], v->h[i]);
    uint32_t fading_bits[LANES];
    v4_store_bits(fading_bits, v->fading);
    for (int k = 0; k < LANES; ++k) {
        ModDelayLine* l = v->line[k];
        l->lfo_phase = phase[k];
        l->mod_offset = offset[k];
        l->read_pos = rp[k];
        l->fade_pos = fp[k];
        l->fading = fading_bits[k] != 0;
        l->fade_in_gain = fin[k];
        l->fade_out_gain = fout[k];
        l->write_pos = static_cast<uint64_t>(wp[k]);
        l->fade_countdown = static_cast<uint64_t>(countdown[k]);
        for (int i = 0; i < DELAY_LOWPASS_HISTORY; ++i) l->filter_history.history[i] = h[i][k];
    }
}

// Positions whose floor lies in [0, 2 * size): the reads need no division.
ALWAYS_INLINE V4 within_two_circles(const DelayLanes* v, V4 floor_p)
{
    return v4_and(v4_ge(floor_p, v4_set1(0.0f)), v4_lt(floor_p, v->two_circles));
}

// Linear interpolation at p (floor_p = floor(p), within two circles).
ALWAYS_INLINE V4 read_lanes(const DelayLanes* v, V4 p, V4 floor_p)
{
    const V4i index = v4_truncate(wrap_once(floor_p, v->fsize));
    const V4i next = v4i_add(index, v4i_set1(1));
    const V4 at_end = v4i_eq(next, v->size);
    // Indices are below 32000: as unsigned they need no sign extension.
    const float* const a0 = v->line[0]->buffer + static_cast<uint32_t>(v4i_lane<0>(index));
    const float* const a1 = v->line[1]->buffer + static_cast<uint32_t>(v4i_lane<1>(index));
    const float* const a2 = v->line[2]->buffer + static_cast<uint32_t>(v4i_lane<2>(index));
    const float* const a3 = v->line[3]->buffer + static_cast<uint32_t>(v4i_lane<3>(index));
    // Each head is a stream through its line's 128 KB: ask for the memory
    // ahead of it now.
    __builtin_prefetch(a0 + PREFETCH_AHEAD);
    __builtin_prefetch(a1 + PREFETCH_AHEAD);
    __builtin_prefetch(a2 + PREFETCH_AHEAD);
    __builtin_prefetch(a3 + PREFETCH_AHEAD);
    V4 a, b;
    if (!v4_any(at_end)) {
        v4_gather_pairs(a0, a1, a2, a3, &a, &b);  // the next sample follows in memory
    } else {
        // A position at the end of its circle reads its next sample at 0.
        a = v4_gather(a0, a1, a2, a3);
        const V4i wrapped_next = v4i_select(at_end, v4i_set1(0), next);
        b = v4_gather(v->line[0]->buffer + static_cast<uint32_t>(v4i_lane<0>(wrapped_next)),
                      v->line[1]->buffer + static_cast<uint32_t>(v4i_lane<1>(wrapped_next)),
                      v->line[2]->buffer + static_cast<uint32_t>(v4i_lane<2>(wrapped_next)),
                      v->line[3]->buffer + static_cast<uint32_t>(v4i_lane<3>(wrapped_next)));
    }
    return interpolate(a, b, v4_sub(p, floor_p));
}

// The triangle modulation of one sample for the active lanes: the new phase
// and offset.
template <bool ALL_ACTIVE>
ALWAYS_INLINE V4 modulation_lanes(DelayLanes* v, V4 active)
{
    V4 phase = v->phase;
    const V4 offset = triangle_step(&phase, v->increment, v->depth, v->depth_d);
    v->phase = ALL_ACTIVE ? phase : v4_select(active, phase, v->phase);
    v->offset = ALL_ACTIVE ? offset : v4_select(active, offset, v->offset);
    return offset;
}

// One sample x (per lane) through the active lanes, after the modulation:
// the lowpass output y; false, with nothing changed, where a position has
// left two circles.
template <bool ALL_ACTIVE>
ALWAYS_INLINE bool tick_lanes(DelayLanes* v, V4 x, V4 offset, V4 active, V4* out_y)
{
    const V4 zero = v4_set1(0.0f);

    // Positions of the main and the fading head.
    const V4 p = v4_add(v->read_pos, offset);
    const V4 floor_p = v4_floor(p);
    const V4 fading = ALL_ACTIVE ? v->fading : v4_and(v->fading, active);
    const bool any_fading = v4_any(fading);
    V4 ok = within_two_circles(v, floor_p);
    V4 q = zero, floor_q = zero;
    if (any_fading) {
        q = v4_add(v->fade_pos, offset);
        floor_q = v4_floor(q);
        ok = v4_and(ok, v4_or(within_two_circles(v, floor_q), v4_andnot(fading, v4_true())));
    }
    if (v4_any(v4_andnot(ok, ALL_ACTIVE ? v4_true() : active))) return false;

    const V4 s = read_lanes(v, p, floor_p);

    // Distance to the write head for the lanes not fading; a jump where the
    // read head has come too close.
    const V4 write_f = v4i_to_float(v->write_pos);
    const V4i d = head_distance(v->slow, p, write_f, v->write_pos, v->size);
    V4 jump = v4_andnot(v->fading, jump_due(v->guard_limit, offset, v4i_to_float(d)));
    if (!ALL_ACTIVE) jump = v4_and(jump, active);

    V4 u = s;
    V4 fade_in = v->fade_in, fade_out = v->fade_out, fade_pos = v->fade_pos;
    V4i countdown = v->countdown;
    V4 still_fading = v->fading;
    if (any_fading) {
        const V4 sb = read_lanes(v, q, floor_q);
        const V4 mixed = crossfade_mix(fade_in, fade_out, s, sb);
        V4 in_gain = fade_in, out_gain = fade_out;
        crossfade_gains_step(&in_gain, &out_gain, v->fade_step);
        const V4i left = v4i_sub(countdown, v4i_set1(1));
        u = v4_select(fading, mixed, u);
        fade_in = v4_select(fading, in_gain, fade_in);
        fade_out = v4_select(fading, out_gain, fade_out);
        fade_pos = v4_select(fading, advance_head(fade_pos, v->speed, v->fsize), fade_pos);
        countdown = v4i_select(fading, left, countdown);
        still_fading = v4_andnot(v4_and(fading, v4i_eq(left, v4i_set1(0))), still_fading);
    }
    V4 read_pos = v->read_pos;
    if (v4_any(jump)) {
        // The old position becomes the fading head.
        fade_pos = v4_select(jump, read_pos, fade_pos);
        countdown = v4i_select(jump, v->fade_length, countdown);
        fade_in = v4_select(jump, zero, fade_in);
        fade_out = v4_select(jump, v4_set1(1.0f), fade_out);
        read_pos = v4_select(jump, jump_target(write_f, v->half_circle, v->fsize), read_pos);
        still_fading = v4_or(still_fading, jump);
    }
    read_pos = advance_head(read_pos, v->speed, v->fsize);

    const V4 w = delay_lowpass_w(v->h, u);
    const V4 y = delay_lowpass_y(v->h, w);

    const V4 value = feedback_write(x, v->feedback, y);
    const V4i at = v->write_pos;
    if (ALL_ACTIVE) {
        v->line[0]->buffer[static_cast<uint32_t>(v4i_lane<0>(at))] = v4_lane<0>(value);
        v->line[1]->buffer[static_cast<uint32_t>(v4i_lane<1>(at))] = v4_lane<1>(value);
        v->line[2]->buffer[static_cast<uint32_t>(v4i_lane<2>(at))] = v4_lane<2>(value);
        v->line[3]->buffer[static_cast<uint32_t>(v4i_lane<3>(at))] = v4_lane<3>(value);
    } else {
        uint32_t act[LANES];
        v4_store_bits(act, active);
        if (act[0]) v->line[0]->buffer[static_cast<uint32_t>(v4i_lane<0>(at))] = v4_lane<0>(value);
        if (act[1]) v->line[1]->buffer[static_cast<uint32_t>(v4i_lane<1>(at))] = v4_lane<1>(value);
        if (act[2]) v->line[2]->buffer[static_cast<uint32_t>(v4i_lane<2>(at))] = v4_lane<2>(value);
        if (act[3]) v->line[3]->buffer[static_cast<uint32_t>(v4i_lane<3>(at))] = v4_lane<3>(value);
    }
    V4i write_pos = v4i_add(v->write_pos, v4i_set1(1));
    write_pos = v4i_select(v4i_lt(write_pos, v->size), write_pos, v4i_set1(0));

    *out_y = y;
    if (ALL_ACTIVE) {
        v->read_pos = read_pos;
        v->fade_pos = fade_pos;
        v->fade_in = fade_in;
        v->fade_out = fade_out;
        v->countdown = countdown;
        v->fading = still_fading;
        v->write_pos = write_pos;
        delay_lowpass_push(v->h, w);
    } else {
        v->read_pos = v4_select(active, read_pos, v->read_pos);
        v->fade_pos = v4_select(active, fade_pos, v->fade_pos);
        v->fade_in = v4_select(active, fade_in, v->fade_in);
        v->fade_out = v4_select(active, fade_out, v->fade_out);
        v->countdown = v4i_select(active, countdown, v->countdown);
        v->fading = v4_select(active, still_fading, v->fading);
        v->write_pos = v4i_select(active, write_pos, v->write_pos);
        V4 shifted[DELAY_LOWPASS_HISTORY];
        for (int i = 0; i < DELAY_LOWPASS_HISTORY; ++i) shifted[i] = v->h[i];
        delay_lowpass_push(shifted, w);
        for (int i = 0; i < DELAY_LOWPASS_HISTORY; ++i) v->h[i] = v4_select(active, shifted[i], v->h[i]);
    }
    return true;
}

// A sample the lanes cannot take: every active line through mod_delay_tick,
// from the modulation phase it had before the sample (kept out of line, so
// that the lanes' state stays in registers).
__attribute__((noinline)) DelayLanes scalar_ticks(DelayLanes v, V4 phase_before,
                                                  ModDelayLine* const order[LANES],
                                                  const float input[LANES],
                                                  const uint32_t active[LANES], float out[LANES])
{
    v.phase = phase_before;
    lanes_store(&v);
    for (int lane = 0; lane < LANES; ++lane)
        if (active[lane]) out[lane] = mod_delay_tick(order[lane], input[lane]);
    lanes_load(&v, order);
    return v;
}

const uint32_t ON = 0xFFFFFFFFu;

}  // namespace

// Three passes over the block, so that no long chain of dependent steps
// runs through a sample: the modulation offsets first (the phases are the
// only recurrence there), then the heads, reads, filters and writes, then
// the blends and the sum.
static void delay_stage_block(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n, float k)
{
    ModDelayLine* const order[LANES] = {&lines[0], &lines[1], &lines[2], &lines[3]};
    DelayLanes v;
    lanes_load(&v, order);
    V4 phase_before[BLOCK], offset[BLOCK], y[BLOCK];
    for (uint32_t i = 0; i < n; ++i) {
        phase_before[i] = v.phase;
        offset[i] = modulation_lanes<true>(&v, v4_true());
    }
    const V4 end_phase = v.phase, end_offset = v.offset;
    float direct[BLOCK][LANES];
    bool scalar[BLOCK];
    for (uint32_t i = 0; i < n; ++i) {
        scalar[i] = !tick_lanes<true>(&v, v4_set1(work[i]), offset[i], v4_true(), &y[i]);
        if (scalar[i]) {
            const float input[LANES] = {work[i], work[i], work[i], work[i]};
            const uint32_t all[LANES] = {ON, ON, ON, ON};
            v = scalar_ticks(v, phase_before[i], order, input, all, direct[i]);
        }
    }
    v.phase = end_phase;
    v.offset = end_offset;
    for (uint32_t i = 0; i < n; ++i) {
        const float* d = direct[i];
        if (!scalar[i]) {
            work[i] = k * v4_pair_sum(delay_blend(v.keep, v.mix, v4_set1(work[i]), y[i]));
        } else {
            work[i] = k * ((d[0] + d[1]) + (d[2] + d[3]));
        }
    }
    lanes_store(&v);
}

// Lanes hold lines 0, 1, 3, 2: the chain heads in lanes 0 and 2, their
// second lines in 1 and 3, one sample behind, fed by the heads' outputs of
// the step before. Only the first step (heads alone) and the last (second
// lines alone) leave lanes idle. The modulation runs first, as above; the
// blends stay in the steps, as the second lines take them as input.
static void delay_chains_block(ModDelayLine lines[MOD_DELAY_COUNT], const float* in, float* out,
                               uint32_t n)
{
    ModDelayLine* const order[LANES] = {&lines[0], &lines[1], &lines[3], &lines[2]};
    DelayLanes v;
    lanes_load(&v, order);
    const uint32_t heads[LANES] = {ON, 0u, ON, 0u};
    const uint32_t tails[LANES] = {0u, ON, 0u, ON};
    const uint32_t all[LANES] = {ON, ON, ON, ON};
    V4 phase_before[BLOCK + 1], offset[BLOCK + 1];
    for (uint32_t step = 0; step <= n; ++step) {
        phase_before[step] = v.phase;
        offset[step] = step == 0   ? modulation_lanes<false>(&v, v4_from_bits(heads))
                       : step == n ? modulation_lanes<false>(&v, v4_from_bits(tails))
                                   : modulation_lanes<true>(&v, v4_true());
    }
    const V4 end_phase = v.phase, end_offset = v.offset;
    V4 d = v4_set1(0.0f);
    for (uint32_t step = 0; step <= n; ++step) {
        const uint32_t* active = step == 0 ? heads : (step == n ? tails : all);
        const float x = step < n ? in[step] : 0.0f;
        const V4 input = v4_trn1(v4_set1(x), d);  // x, head 0's last output, x, head 2's
        V4 y;
        const bool done = step == 0 || step == n
                              ? tick_lanes<false>(&v, input, offset[step], v4_from_bits(active), &y)
                              : tick_lanes<true>(&v, input, offset[step], v4_true(), &y);
        if (done) {
            d = delay_blend(v.keep, v.mix, input, y);
        } else {
            float in_lanes[LANES], result[LANES] = {0.0f, 0.0f, 0.0f, 0.0f};
            v4_store(in_lanes, input);
            v = scalar_ticks(v, phase_before[step], order, in_lanes, active, result);
            d = v4_load(result);
        }
        if (step > 0) out[step - 1] = 0.5f * (v4_lane<1>(d) + v4_lane<3>(d));
    }
    v.phase = end_phase;
    v.offset = end_offset;
    lanes_store(&v);
}

void delay_stage_process_lanes(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n, float k)
{
    for (uint32_t i = 0; i < n; i += BLOCK)
        delay_stage_block(lines, work + i, n - i < BLOCK ? n - i : uint32_t{BLOCK}, k);
}

void delay_chains_process_lanes(ModDelayLine lines[MOD_DELAY_COUNT], const float* in, float* out,
                          uint32_t n)
{
    for (uint32_t i = 0; i < n; i += BLOCK)
        delay_chains_block(lines, in + i, out + i, n - i < BLOCK ? n - i : uint32_t{BLOCK});
}

#else

void delay_stage_process_lanes(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n, float k)
{
    delay_stage_process_reference(lines, work, n, k);
}

void delay_chains_process_lanes(ModDelayLine lines[MOD_DELAY_COUNT], const float* in, float* out,
                          uint32_t n)
{
    delay_chains_process_reference(lines, in, out, n);
}

#endif
