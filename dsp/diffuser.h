// Damped Schroeder allpass diffuser and the diffusion stage built from four of
// them. The stored signal passes a one-pole lowpass before it is written back.
#pragma once

#include <cstdint>

enum { DIFFUSER_MAX_LENGTH = 600, DIFFUSER_COUNT = 4 };

typedef struct {
    float coefficient;      // allpass coefficient g
    float gain;             // output gain: set, never applied (use_gain stays false)
    bool use_gain;
    uint64_t length;        // 5 ... 600 samples
    uint64_t index;         // read/write position, <= length (length means 0)
    float buffer[DIFFUSER_MAX_LENGTH];
    float sample_rate;      // always 48000: the lengths do not follow the host rate
    float time_ms;
    float damping;          // lowpass coefficient in the stored path
    float damping_state;
} AllpassDiffuser;

// The four diffusers and the coefficient last set for them; a coefficient of
// exactly 0 bypasses the stage.
typedef struct {
    float diffusion;
    AllpassDiffuser diffusers[DIFFUSER_COUNT];
} DiffusionStage;

void diffuser_setup(AllpassDiffuser* d, float time_ms);
// Silence the buffer and the damping state; length and position stay.
void diffuser_clear(AllpassDiffuser* d);

// n samples from in to out; in and out may be the same buffer.
void diffuser_process(AllpassDiffuser* d, const float* in, float* out, uint64_t n);

void diffusion_stage_setup(DiffusionStage* stage);

// Configure all four diffusers for a diffusion control value in percent.
void set_diffusion(DiffusionStage* stage, float percent);

// n input samples through the four diffusers in series into work, or copied
// unchanged while the stage is bypassed; in and work may be the same.
void diffusion_stage_process(DiffusionStage* stage, const float* in, float* work, uint32_t n);
// n samples of silence through a silent stage (every buffer and damping
// state at +0): the positions as processing leaves them, nothing else moves.
void diffusion_stage_keep_time(DiffusionStage* stage, uint64_t n);

// The same one diffuser after the other over the whole block: the reference
// (tests).
void diffusion_stage_process_reference(DiffusionStage* stage, const float* in, float* work,
                                       uint32_t n);
