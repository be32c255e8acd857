// Pitch-shifting modulated delay line: a circular buffer with feedback whose
// read head moves at `speed` samples per sample plus a slow triangle
// modulation. When the read head comes too close to the write head it jumps
// half a buffer away while the old position fades out. The signal read back
// passes a fixed fourth-order lowpass before feedback and output.
#pragma once

#include <cstdint>

#include "dsp/delay_lowpass.h"

enum { MOD_DELAY_COUNT = 4, MOD_DELAY_BUFFER = 32006, MOD_DELAY_MAX_SIZE = 32000,
       MOD_DELAY_MAX_FADE = 32000 };

typedef struct {
    float buffer[MOD_DELAY_BUFFER];
    float read_pos;          // main read head
    float fade_pos;          // read head that fades out during a crossfade
    float speed;             // pitch ratio: head advance per sample
    uint64_t size;           // circle in use, 1 ... max_size
    uint64_t max_size;
    uint64_t write_pos;
    int32_t guard;           // minimum head distance before a jump
    bool fading;
    float feedback;
    float fade_in_gain;
    float fade_out_gain;
    float lfo_depth;         // samples
    float lfo_increment;     // phase per sample
    float lfo_phase;
    float mod_offset;
    uint64_t fade_length;    // 1 ... 32000
    uint64_t fade_countdown;
    float fade_step;
    float mix;
    DelayLowpass filter_history;
} ModDelayLine;

// Setting scales: control units to line fields.
static const float FEEDBACK_PER_PERCENT = 0.0075001875f;
static const float MIX_PER_PERCENT = 0.00990099f;
static const float DEPTH_SAMPLES_PER_UNIT = 1.6999999f;
// 1/48000: one modulation cycle per 48000 samples at rate 1, at every host rate.
static const float LFO_INCREMENT_48K = 2.0833333e-05f;
static const float SEMITONE_RATIO = 1.0594631f;

void mod_delay_setup(ModDelayLine* line);
// Silence the buffer and the lowpass; heads, settings and the crossfade stay.
void mod_delay_clear(ModDelayLine* line);

// One sample in, one sample out.
float mod_delay_tick(ModDelayLine* line, float x);

// n samples of a silent line with silent input: every field as n ticks with
// input 0 leave it. Only valid while the circle (samples 0 ... size - 1) and
// the lowpass history hold nothing but +0, which the ticks then keep.
void mod_delay_keep_time(ModDelayLine* line, uint64_t n);

// Setters over all four lines (sample_rate is the host rate).
void set_delay_time(ModDelayLine lines[MOD_DELAY_COUNT], float ms, float sample_rate);
void set_crossfade(ModDelayLine lines[MOD_DELAY_COUNT], float ms, float sample_rate);
void set_modulation(ModDelayLine lines[MOD_DELAY_COUNT], float amount);
void set_mix(ModDelayLine lines[MOD_DELAY_COUNT], float percent);
void set_feedback(ModDelayLine lines[MOD_DELAY_COUNT], float percent);
// Pitch of one line in semitones.
void set_pitch(ModDelayLine* line, float semitones);

// Delay stage: every work sample through lines 0..3 (same input), the outputs
// summed in pairs and scaled by k.
void delay_stage_process_lanes(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n,
                               float k);

// Mode 4's two chains, lines 0 -> 1 and 3 -> 2, on the same input: out gets
// the average of the two chain ends. in and out may be the same.
void delay_chains_process_lanes(ModDelayLine lines[MOD_DELAY_COUNT], const float* in, float* out,
                                uint32_t n);

// Both run the four lines in the lanes of one vector (lanes/mod_delay_lanes.cpp,
// built for AVX on x86-64): call them only where lanes_supported(). The same
// one mod_delay_tick at a time: the reference they equal bit for bit, and the
// path on every other CPU.
void delay_stage_process_reference(ModDelayLine lines[MOD_DELAY_COUNT], float* work, uint32_t n,
                                   float k);
void delay_chains_process_reference(ModDelayLine lines[MOD_DELAY_COUNT], const float* in,
                                    float* out, uint32_t n);
