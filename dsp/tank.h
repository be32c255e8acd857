// Feedback delay network tank: eight delay lines mixed by an 8x8 Hadamard
// matrix, with per-line feedback gains, optional one-pole highpass and lowpass
// filters, and line lengths that move to new values step by step, each step
// taken when the line's write index wraps.
#pragma once

#include <cstdint>

#include "dsp/lengths.h"
#include "dsp/one_pole.h"
#include "dsp/random.h"

enum { TANK_COUNT = 4, TANK_LINES = 8, TANK_LINE_BUFFER = 32006, TANK_MAX_LENGTH = 32000,
       EARLY_LINE_BUFFER = 24006, EARLY_MAX_LENGTH = 24000 };

typedef struct {
    uint64_t write_pos;
    LengthPlan plan;
    float buffer[TANK_LINE_BUFFER];
} TankLine;

// Same length bookkeeping as a tank line; its samples are never processed.
typedef struct {
    uint64_t write_pos;
    LengthPlan plan;
    float buffer[EARLY_LINE_BUFFER];
} EarlyLine;

typedef struct {
    float sample_rate;
    float size_min;       // metres, line 0
    float size_max;       // metres, line 7
    float lp_low, lp_high;
    float hp_low, hp_high;
    float jitter;
    float shape;          // exponent of the distance curve
    float cross_mix;      // share of the other channel in tank_stereo
    uint64_t line_lengths[TANK_LINES];  // unbounded lengths from the last setup
    float line_out[TANK_LINES];
    float mixed[TANK_LINES];
    float decay_time;     // ms to -60 dB
    float gain_scale;     // 1/sqrt(8)
    float line_gain[TANK_LINES];
    TankLine lines[TANK_LINES];
    OnePole lowpass[TANK_LINES];
    OnePole highpass[TANK_LINES];
    bool lowpass_on[TANK_LINES];
    bool highpass_on[TANK_LINES];
    // Modulated reads (the tank modulation control): each line reads its
    // delay a slowly moving, fractional number of samples short of its
    // length, so that the network's resonances drift instead of ringing in
    // place. The fraction is a first-order allpass (lossless: a frozen tail
    // keeps every band), whose coefficient moves in segments of
    // TANK_MOD_SEGMENT samples, in a straight line from its value at one
    // segment's start to the next's. Depth 0 reads the plain delay and
    // leaves these fields alone.
    float mod_depth;                    // swing of the read offset, samples
    uint32_t mod_index;                 // sample within the segment
    uint32_t mod_phase[TANK_LINES];     // each line's slow oscillator
    uint32_t mod_rate[TANK_LINES];      // its phase step per segment
    uint32_t read_whole[TANK_LINES];    // whole samples the read is ahead of the
                                        // write in this segment
    float read_coef[TANK_LINES];        // allpass coefficient at the segment's start
    float read_coef_slope[TANK_LINES];  // added per sample of the segment
    float read_history[TANK_LINES];     // the allpass's last output
} FdnTank;

enum { TANK_MOD_SEGMENT = 32 };
// The read offset's swing at full modulation, in milliseconds, and the
// bound of any swing in samples (each line also swings at most an eighth of
// its length).
static const float TANK_MOD_FULL_MS = 2.0f;
static const float TANK_MOD_MAX_SAMPLES = 200.0f;

// A decay time above this freezes the tanks: every line keeps its full gain.
static const float FREEZE_THRESHOLD_MS = 170000.0f;
// A line's filter is on while its cutoff is in these ranges.
static const float HIGHPASS_ON_FROM_HZ = 21.0f;
static const float LOWPASS_ON_UP_TO_HZ = 17950.0f;
// 2^-32: turns a random number of 0 ... 2^31 - 1 into a share of up to 1/2.
static const float JITTER_SCALE = 2.3283064e-10f;
// -2*pi/48000 (bits B909421F): the filter coefficients are those of 48000 Hz
// at every host rate, so a cutoff sounds at its value only there.
static const float FILTER_RADIANS_PER_HZ_48K = -0.0001308997f;

// Sylvester's 8x8 Hadamard matrix: entry (r, c) is -1 to the number of bits
// set in r AND c. Symmetric; the 1/sqrt(8) normalisation is in the line gains.
inline constexpr float HADAMARD[TANK_LINES][TANK_LINES] = {
    {1, 1, 1, 1, 1, 1, 1, 1},     {1, -1, 1, -1, 1, -1, 1, -1},
    {1, 1, -1, -1, 1, 1, -1, -1}, {1, -1, -1, 1, 1, -1, -1, 1},
    {1, 1, 1, 1, -1, -1, -1, -1}, {1, -1, 1, -1, -1, 1, -1, 1},
    {1, 1, -1, -1, -1, -1, 1, 1}, {1, -1, -1, 1, -1, 1, 1, -1},
};

typedef enum { FILTER_BANK_HIGHPASS, FILTER_BANK_LOWPASS } FilterBank;

// Which grouping of the products a computation of a line uses.
typedef enum { LINE_PASS_FIRST, LINE_PASS_SECOND } LinePass;

// ---- setup (tank_setup.cpp) ----
void tank_setup(FdnTank* tank, float sample_rate);
void early_line_setup(EarlyLine* line);
// Silence the line buffers, line outputs and filter states; lengths,
// positions, gains and coefficients stay.
void tank_clear(FdnTank* tank);

// Length, plan and gain of line k from the tank's own fields.
void compute_line(FdnTank* tank, int k, LinePass pass, Rng* rng);
void setup_tank_lines(FdnTank tanks[TANK_COUNT], float size_min, float size_max, Rng* rng);
void apply_decay(FdnTank tanks[TANK_COUNT], float decay_ms);
void plan_early_lines(EarlyLine lines[2], float sample_rate, float size_min, float size_max);
void update_filter_bank(FdnTank tanks[TANK_COUNT], FilterBank bank);
// Each line's oscillator rate and starting phase (tank `index` of four:
// every line of every tank has its own).
void tank_mod_setup(FdnTank* tank, int index, float sample_rate);
// The swing of every tank's read offsets, in samples (0 = plain reads),
// held to 0 ... TANK_MOD_MAX_SAMPLES.
void set_tank_mod(FdnTank tanks[TANK_COUNT], float depth_samples);

// ---- processing (tank_process.cpp) ----
// One sample through the tank; the eight new line outputs are in line_out.
void tank_step(FdnTank* tank, float x);
// Resample a line's content to its next length (called at a wrap).
void tank_line_change_length(TankLine* line);
// With modulation on: the read offsets of the segment that starts now, and
// each oscillator one segment on.
void tank_mod_segment(FdnTank* tank);

// n samples of a silent tank with silent input: write positions and length
// steps exactly as n tank_step calls leave them. Only valid while every
// line's circle holds nothing but +0 and the line outputs, mixes and filter
// states stand where a silent step leaves them (a tank_step then changes
// nothing else).
void tank_keep_time(FdnTank* tank, uint64_t n);

// Output forms over n samples: tank_add adds the line sum to out (in may be
// out), tank_replace writes it, tank_stereo writes the even lines plus
// cross_mix of the odd ones to left and the other way round to right. These
// run the eight lines in the lanes of one vector (lanes/tank_lanes.cpp,
// built for AVX with FMA on x86-64): call them only where lanes_supported().
void tank_add_lanes(FdnTank* tank, const float* in, float* out, uint32_t n);
void tank_replace_lanes(FdnTank* tank, const float* in, float* out, uint32_t n);
void tank_stereo_lanes(FdnTank* tank, const float* in, float* left, float* right, uint32_t n);

// The same forms one tank_step per sample: the reference the lanes must
// equal bit for bit, and the path on every other CPU.
void tank_add_reference(FdnTank* tank, const float* in, float* out, uint32_t n);
void tank_replace_reference(FdnTank* tank, const float* in, float* out, uint32_t n);
void tank_stereo_reference(FdnTank* tank, const float* in, float* left, float* right, uint32_t n);

