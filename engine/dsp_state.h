// All audio processing state of one instance, allocated once and never
// resized: about 4.8 MB, nearly all of it delay memory.
#pragma once

#include <cstdint>

#include "dsp/diffuser.h"
#include "dsp/mod_delay.h"
#include "dsp/random.h"
#include "dsp/tank.h"

enum { BLOCK_SIZE = 16 };

// The bypass fade's length: long enough to leave no click, short enough to
// feel immediate.
static const float BYPASS_FADE_SECONDS = 0.005f;

// What the engine knows about its own silence (engine/idle.cpp).
enum {
    WATCHED_LINES = MOD_DELAY_COUNT + TANK_COUNT * TANK_LINES + DIFFUSER_COUNT,
    // Line outputs, mixes, both filter states and the modulated read's
    // allpass of every tank line, the delay lines' lowpass histories, the
    // diffusers' damping, the wet pair.
    IDLE_SNAPSHOT = TANK_COUNT * TANK_LINES * 5 + MOD_DELAY_COUNT * DELAY_LOWPASS_HISTORY +
                    DIFFUSER_COUNT + 2,
};

typedef struct {
    bool enabled;       // BRUMMKISTE_NO_IDLE not set: silence may idle
    bool idle;          // blocks only keep time
    bool counting;      // no input since the quiet counts started
    bool have_snapshot;
    uint32_t pending;   // samples whose time is not kept yet
    float wet_l, wet_r; // the wet signal while idle
    // Per line (delay lines, tank lines, diffusers): how many of its latest
    // writes were +0, and the circle length they were counted at.
    uint64_t quiet[WATCHED_LINES];
    uint64_t circle[WATCHED_LINES];
    float snapshot[IDLE_SNAPSHOT];
} IdleWatch;

typedef struct {
    float sample_rate;
    float cross_mix;      // 1 - width/100; the tanks hold copies
    float size_min;       // metres
    float size_max;
    float dry_gain;
    float wet_gain_a;
    float wet_gain_b;
    float decay_time;     // ms
    ModDelayLine delay_lines[MOD_DELAY_COUNT];
    FdnTank tanks[TANK_COUNT];
    DiffusionStage diffusion;
    int32_t mode;
    // Planned from the room sizes like the tank lines, but no mode reads or
    // writes them: kept so that their length bookkeeping stays as designed.
    EarlyLine early_lines[2];
    Rng rng;              // jitter draws; seeded with 1, reseeded with 21
    // The building blocks run in vector lanes (this CPU has them, and
    // BRUMMKISTE_SCALAR is not set); else the plain code runs. Same output.
    bool lanes;
    // The host's bypass: the output fades between the processed signal (1)
    // and the dry input (0) by enable_step per sample. The reverb runs on
    // underneath, so that switching back on brings its tail in.
    float enable_gain;
    float enable_target;
    float enable_step;
    // Kept apart from the signal state: plain processing never touches it.
    IdleWatch watch;
} DspState;

// Every field to its creation value, all signal memory to 0. Also the reset
// that activate performs.
void engine_init(DspState* dsp, float sample_rate);

// Start-up, before the first block after engine_init: every tank line and
// early line takes its planned final length at once, and the bypass stands
// where its control asks (a plugin that starts bypassed does not fade out). The lines hold only
// zeros then, so nothing needs resampling; gliding there wrap by wrap would
// leave a new instance silent in its tanks for up to 32000 samples and then
// play a room that shrinks for seconds.
void engine_start(DspState* dsp);

// Silence every audio history (delay-line, diffuser and tank buffers, line
// outputs, filter states); settings, lengths and positions are kept.
void engine_clear_history(DspState* dsp);
