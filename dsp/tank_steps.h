// The tank's per-sample arithmetic, written once over the lane type: F is a
// float for one sample of the reference tank_step, or a vector of eight
// samples (one per lane) for the tank's lanes. The Hadamard mix, the decay
// write and the sums of the three output forms, each in its stated order.
#pragma once

#include "dsp/lane_ops.h"
#include "dsp/tank.h"

// The mix: column c is the sum over lines k = 0 upward of s[k] * H[k][c];
// a -1 entry subtracts, which rounds exactly as adding the negated value
// (and a +1 entry is exact), so no product is computed. Columns that agree in
// the signs of their first terms share those partial sums: after lines 0 and
// 1 there are two distinct ones, after line 3 four, from line 4 on eight
// (42 additions instead of 56, the same bits). Each column's sum goes to
// column(c, sum) as soon as it is complete, so that a vector path can use it
// at once instead of holding eight of them.
template <typename F, typename Column>
static DSP_ALWAYS_INLINE void hadamard_mix(const F s[TANK_LINES], Column column)
{
    const F p1[2] = {lane_add(s[0], s[1]), lane_sub(s[0], s[1])};
    F p3[4];
    for (int c = 0; c < 4; ++c) {
        const F p2 = (c & 2) ? lane_sub(p1[c & 1], s[2]) : lane_add(p1[c & 1], s[2]);
        p3[c] = ((c ^ (c >> 1)) & 1) ? lane_sub(p2, s[3]) : lane_add(p2, s[3]);
    }
    for (int c = 0; c < TANK_LINES; ++c) {
        F sum = HADAMARD[4][c] > 0.0f ? lane_add(p3[c & 3], s[4]) : lane_sub(p3[c & 3], s[4]);
        for (int k = 5; k < TANK_LINES; ++k)
            sum = HADAMARD[k][c] > 0.0f ? lane_add(sum, s[k]) : lane_sub(sum, s[k]);
        column(c, sum);
    }
}

// What a line writes: its mixed feedback times its decay gain plus the tank
// input, one fused multiply-add.
template <typename F>
static inline F tank_line_write(F mixed, F gain, F x)
{
    return lane_fma(mixed, gain, x);
}

// The modulated reads of a segment, for each line: from its oscillator's
// position t (-1 ... 1) at the segment's start and end and its swing, the
// read offsets there (1 + depth (1 + sine), a parabolic sine 4 t (1 - |t|):
// from one sample to 1 + 2 depth ahead of the write), the end held within
// 0.9 samples of the start (far more than any setting moves); the whole
// offset, which puts the allpass delay (whole - offset) near 1 in the middle
// of the segment; the allpass coefficients (1 - d) / (1 + d) that delay by
// d at the start and the end, and their slope per sample.
template <typename F>
static inline F tank_mod_offset_at(F t, F depth)
{
    const F one = lane_splat<F>(1.0);
    const F sine = lane_mul(lane_mul(lane_splat<F>(4.0), t), lane_sub(one, lane_abs(t)));
    return lane_add(one, lane_mul(depth, lane_add(one, sine)));
}

template <typename F>
static inline F tank_mod_allpass_coef(F d)
{
    const F one = lane_splat<F>(1.0);
    return lane_div(lane_sub(one, d), lane_add(one, d));
}

template <typename F>
static inline void tank_mod_segment_step(F t_start, F t_end, F depth, F* whole, F* coef, F* slope)
{
    const F start = tank_mod_offset_at(t_start, depth);
    const F reach = lane_splat<F>(0.9);
    const F most = lane_add(start, reach), least = lane_sub(start, reach);
    F end = tank_mod_offset_at(t_end, depth);
    end = lane_select(lane_gt(end, most), most, lane_select(lane_lt(end, least), least, end));
    const F half = lane_splat<F>(0.5);
    *whole = lane_add(lane_floor(lane_add(lane_mul(half, lane_add(start, end)), half)), lane_splat<F>(1.0));
    const F at_start = tank_mod_allpass_coef(lane_sub(*whole, start));
    const F at_end = tank_mod_allpass_coef(lane_sub(*whole, end));
    *coef = at_start;
    *slope = lane_mul(lane_sub(at_end, at_start), lane_splat<F>(1.0 / TANK_MOD_SEGMENT));
}

// Each line's swing in a segment: a short line swings at most an eighth of
// its length, so that its reads stay far behind its writes even after the
// line shrinks by a quarter at a wrap inside the segment.
static inline void tank_mod_depths(const FdnTank* tank, float depth[TANK_LINES])
{
    for (int k = 0; k < TANK_LINES; ++k) {
        const float most = static_cast<float>(static_cast<uint32_t>(tank->lines[k].plan.length)) * 0.125f;
        depth[k] = tank->mod_depth < most ? tank->mod_depth : most;
    }
}

static inline void tank_mod_store_wholes(FdnTank* tank, const float whole[TANK_LINES])
{
    for (int k = 0; k < TANK_LINES; ++k) tank->read_whole[k] = static_cast<uint32_t>(to_u64(whole[k]));
}

// A modulated read: the line's sample at the segment's whole offset
// (`newer`) and the one before it (`older`) through a first-order allpass
// whose coefficient at sample `index` of the segment is the segment's start
// plus index times its slope (one fused multiply-add each):
// y = a (newer - y') + older, y' the allpass's last output.
template <typename F>
static inline F tank_mod_coef(F index, F slope, F start)
{
    return lane_fma(index, slope, start);
}

template <typename F>
static inline F tank_mod_allpass(F coef, F newer, F older, F* history)
{
    const F y = lane_fma(coef, lane_sub(newer, *history), older);
    *history = y;
    return y;
}

// The output forms' sums over the eight line outputs l[0..7].
// tank_replace: pairs, then pairs of pairs.
template <typename F>
static inline F tank_form_replace(const F l[TANK_LINES])
{
    return lane_add(lane_add(lane_add(l[0], l[1]), lane_add(l[2], l[3])),
                    lane_add(lane_add(l[4], l[5]), lane_add(l[6], l[7])));
}

// tank_add: the lines added one by one to what is there.
template <typename F>
static inline F tank_form_add(F sum, const F l[TANK_LINES])
{
    for (int k = 0; k < TANK_LINES; ++k) sum = lane_add(sum, l[k]);
    return sum;
}

// tank_stereo: the even lines plus cross_mix of the odd ones to the left,
// the other way round to the right, each one fused multiply-add.
template <typename F>
static inline void tank_form_stereo(F cross_mix, const F l[TANK_LINES], F* left, F* right)
{
    const F even = lane_add(lane_add(l[0], l[2]), lane_add(l[4], l[6]));
    const F odd = lane_add(lane_add(l[1], l[3]), lane_add(l[5], l[7]));
    *left = lane_fma(cross_mix, odd, even);
    *right = lane_fma(cross_mix, even, odd);
}
