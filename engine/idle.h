// Silence costs nothing. Once the input to the building blocks is +0 and
// everything the selected mode runs holds +0 in every delay memory and rests
// in its filter states, processing a block changes nothing but positions,
// heads, modulation phases, crossfades and length steps. Such a block then
// only keeps time (mode_keep_time), in one go every IDLE_KEEP_TIME_EVERY
// samples, and the wet signal is the value processing gives at rest.
//
// Entering: every watched line counts its latest writes of +0; when each
// circle has been written through with +0 and the filter states, line
// outputs and wet signal stand exactly where they stood one processed block
// before (all zeros), a silent step provably changes nothing else.
// Leaving: the first block whose input is not +0, a mode switch, or any
// control change that could move the resting point; the time is kept first,
// so the block is processed from the exact state plain processing has.
#pragma once

#include <cstdint>

#include "engine/dsp_state.h"

// Samples of idle time gathered before they are kept: bounds the work left
// for the moment the instance wakes.
enum { IDLE_KEEP_TIME_EVERY = 4096 };

// After a processed block of m samples whose input was +0: the quiet counts
// move on (a block with sound stops them: watch.counting = false), and the
// instance becomes idle when its resting point is proven.
void idle_watch_block(DspState* dsp, const float* wet_l, const float* wet_r, uint32_t m);

// n idle samples: their time is counted, and kept every IDLE_KEEP_TIME_EVERY.
void idle_count(DspState* dsp, uint32_t n);

// An idle block of m samples: idle_count, and the wet signal at rest.
void idle_block(DspState* dsp, float* wet_l, float* wet_r, uint32_t m);

// The idle time not kept yet is kept now: afterwards every field is what
// plain processing leaves. Called before anything changes positions,
// lengths, heads or their settings.
void engine_keep_time(DspState* dsp);

// Idle ends at once, the time kept first; the next block is processed.
void engine_wake(DspState* dsp);
