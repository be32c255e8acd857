// The modulated delay line's per-sample arithmetic, written once over the
// lane type: F a float sample (D its double, I a 64-bit position, bool
// masks) for mod_delay_tick, or four lanes (V4, V4d, V4i, V4 masks) for the
// four lines side by side. What stays with each path is only how it holds
// the state: fields or lanes, integer widths, gathers and writes.
#pragma once

#include "dsp/lane_ops.h"

// Modulation: a triangle between 0 and half the depth, one cycle per
// 1/increment samples; the phase restarts at 0 when it reaches 1. The
// falling half is computed in double precision.
template <typename F, typename D>
static inline F triangle_step(F* phase, F increment, F depth, D depth_d)
{
    const F zero = lane_splat<F>(0.0);
    const F p = lane_add(*phase, increment);
    const auto restart = lane_ge(p, lane_splat<F>(1.0));
    const F rising = lane_mul(p, depth);
    const F falling = lane_to_float(lane_mul(lane_sub(lane_splat<D>(1.0), lane_to_double(p)), depth_d));
    const F offset = lane_select(lane_lt(p, lane_splat<F>(0.5)), rising, falling);
    *phase = lane_select(restart, zero, p);
    return lane_select(restart, zero, offset);
}

// x brought back into one circle of `size` where it has passed its end
// (x below two circles): read indices, head advances and jump targets.
template <typename F>
static inline F wrap_once(F x, F size)
{
    return lane_select(lane_ge(x, size), lane_sub(x, size), x);
}

// A head moves on by its speed.
template <typename F>
static inline F advance_head(F position, F speed, F size)
{
    return wrap_once(lane_add(position, speed), size);
}

// Linear interpolation between the samples a and b at fraction frac.
template <typename F>
static inline F interpolate(F a, F b, F frac)
{
    return lane_add(a, lane_mul(lane_sub(b, a), frac));
}

// Distance from the read position p to the write head, in whole samples, in
// the direction the read head closes in on it: behind the read head while
// the line plays slower than the input, ahead of it otherwise.
template <typename F, typename I, typename M>
static inline I head_distance(M slow, F p, F write_f, I write_pos, I size)
{
    const I behind = lane_to_int(lane_sub(p, write_f));
    const I ahead = lane_sub(write_pos, lane_to_int_bounded(p));
    const I d = lane_select(slow, behind, ahead);
    return lane_select(lane_negative(d), lane_add(d, size), d);
}

// The read head has come too close to the write head: closer than the
// guard (minimum distance) plus one, plus the modulation offset.
template <typename F>
static inline auto jump_due(F guard_limit, F offset, F distance)
{
    return lane_ge(lane_add(guard_limit, offset), distance);
}

// Where the main head jumps: half a circle away from the write head.
template <typename F>
static inline F jump_target(F write_f, F half_circle, F size)
{
    return wrap_once(lane_add(write_f, half_circle), size);
}

// One crossfade sample: the main head's s faded in, the old head's sb out.
template <typename F>
static inline F crossfade_mix(F fade_in, F fade_out, F s, F sb)
{
    return lane_add(lane_mul(fade_in, s), lane_mul(fade_out, sb));
}

// The crossfade gains move by one step, staying within 0 ... 1 even when the
// crossfade length changes during the fade.
template <typename F>
static inline void crossfade_gains_step(F* fade_in, F* fade_out, F step)
{
    const F in_gain = lane_add(*fade_in, step);
    const F out_gain = lane_sub(*fade_out, step);
    const F one = lane_splat<F>(1.0), zero = lane_splat<F>(0.0);
    *fade_in = lane_select(lane_gt(in_gain, one), one, in_gain);
    *fade_out = lane_select(lane_lt(out_gain, zero), zero, out_gain);
}

// What the line writes: the input plus the fed-back filtered signal.
template <typename F>
static inline F feedback_write(F x, F feedback, F y)
{
    return lane_add(x, lane_mul(feedback, y));
}

// The line's output: input and filtered signal blended in double
// precision, keep = 1 - mix.
template <typename F, typename D>
static inline F delay_blend(D keep, F mix, F x, F y)
{
    return lane_to_float(lane_add(lane_mul(keep, lane_to_double(x)), lane_to_double(lane_mul(mix, y))));
}
