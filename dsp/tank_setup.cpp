#include <cmath>
#include <cstring>

#include "dsp/convert.h"
#include "dsp/tank.h"

// 1/330: seconds per metre at 330 m/s.
static const float SECONDS_PER_METRE = 0.0030303029f;

static void line_setup(uint64_t* write_pos, LengthPlan* plan, uint64_t length)
{
    *write_pos = 0;
    plan->length = length;
    plan->next_length = 0;
    plan->target_length = 0;
}

void early_line_setup(EarlyLine* line)
{
    line_setup(&line->write_pos, &line->plan, 23999);
    std::memset(line->buffer, 0, sizeof line->buffer);
}

void tank_setup(FdnTank* tank, float sample_rate)
{
    tank->sample_rate = sample_rate;
    tank->size_min = 10.0f;
    tank->size_max = 110.0f;
    tank->lp_low = 100.0f;
    tank->lp_high = 100.0f;
    tank->hp_low = 12000.0f;
    tank->hp_high = 12000.0f;
    tank->jitter = 0.0f;
    tank->shape = 1.0f;
    tank->cross_mix = 0.0f;
    tank->decay_time = 1000.0f;
    tank->gain_scale = 0.35355338f;
    for (int k = 0; k < TANK_LINES; ++k) {
        tank->line_lengths[k] = 0;
        tank->line_out[k] = 0.0f;
        tank->mixed[k] = 0.0f;
        tank->line_gain[k] = tank->gain_scale;
        line_setup(&tank->lines[k].write_pos, &tank->lines[k].plan, 31999);
        std::memset(tank->lines[k].buffer, 0, sizeof tank->lines[k].buffer);
        tank->lowpass[k] = OnePole{0.1231447f, 0.0f};
        tank->highpass[k] = OnePole{0.9934764f, 0.0f};
        tank->lowpass_on[k] = false;
        tank->highpass_on[k] = false;
        tank->mod_phase[k] = 0;
        tank->mod_rate[k] = 0;
        tank->read_whole[k] = 2;
        tank->read_coef[k] = 0.0f;
        tank->read_coef_slope[k] = 0.0f;
        tank->read_history[k] = 0.0f;
    }
    tank->mod_depth = 0.0f;
    tank->mod_index = 0;
}

// The oscillators of the 32 lines: rates spread over TANK_MOD_SLOWEST_HZ
// and the next 0.7 Hz by the golden ratio's fractions (no two alike, none in
// a simple ratio to another), starting phases spread the same way.
static const double TANK_MOD_SLOWEST_HZ = 0.35;
static const double TANK_MOD_RATE_SPREAD_HZ = 0.7;

void tank_mod_setup(FdnTank* tank, int index, float sample_rate)
{
    const double golden = 0.6180339887498949;
    for (int k = 0; k < TANK_LINES; ++k) {
        const double n = static_cast<double>(index * TANK_LINES + k + 1);
        const double share = n * golden - std::floor(n * golden);
        const double hz = TANK_MOD_SLOWEST_HZ + TANK_MOD_RATE_SPREAD_HZ * share;
        const double rate = sample_rate > 0.0f ? static_cast<double>(sample_rate) : 48000.0;
        // Phase steps per segment, as a share of 2^32.
        tank->mod_rate[k] = static_cast<uint32_t>(to_u64(hz * TANK_MOD_SEGMENT / rate * 4294967296.0) & 0xffffffffu);
        const double start = (n * golden * golden) - std::floor(n * golden * golden);
        tank->mod_phase[k] = static_cast<uint32_t>(to_u64(start * 4294967296.0) & 0xffffffffu);
    }
}

void set_tank_mod(FdnTank tanks[TANK_COUNT], float depth_samples)
{
    const float depth = depth_samples > 0.0f ? (depth_samples < TANK_MOD_MAX_SAMPLES ? depth_samples
                                                                                  : TANK_MOD_MAX_SAMPLES)
                                             : 0.0f;
    for (int t = 0; t < TANK_COUNT; ++t) {
        tanks[t].mod_depth = depth;
        // Plain reads leave the allpasses unused: they start again from
        // silence, and a tail that dies away meanwhile can rest.
        if (depth == 0.0f)
            for (float& h : tanks[t].read_history) h = 0.0f;
    }
}

void tank_clear(FdnTank* tank)
{
    for (int k = 0; k < TANK_LINES; ++k) {
        std::memset(tank->lines[k].buffer, 0, sizeof tank->lines[k].buffer);
        tank->line_out[k] = 0.0f;
        tank->mixed[k] = 0.0f;
        tank->lowpass[k].state = 0.0f;
        tank->highpass[k].state = 0.0f;
    }
}

// Feedback gain for a line of n samples: -60 dB after decay_ms. A decay time
// that is not above 0 gives no feedback at all.
static float decay_gain(const FdnTank* tank, uint64_t n, float samples_per_decay)
{
    if (!(tank->decay_time > 0.0f)) return 0.0f;
    return tank->gain_scale * powf(0.001f, static_cast<float>(n) / samples_per_decay);
}

void compute_line(FdnTank* tank, int k, LinePass pass, Rng* rng)
{
    const float position = static_cast<float>(k) * 0.14285715f;
    const float c = static_cast<float>(std::pow(static_cast<double>(position),
                                                static_cast<double>(tank->shape)));
    float s = std::fma(c, tank->size_max - tank->size_min, tank->size_min);
    if (tank->jitter != 0.0f) {
        const float r = static_cast<float>(rng_next(rng));
        s = std::fma(r * s, tank->jitter * JITTER_SCALE, s);
    }
    // The two passes of setup_tank_lines group the same products differently;
    // the roundings differ, and the lengths in force come from the second.
    const float samples = pass == LINE_PASS_FIRST ? (tank->sample_rate * SECONDS_PER_METRE) * s
                                                  : (s * tank->sample_rate) * SECONDS_PER_METRE;
    const uint64_t n = next_prime_length(samples);
    tank->line_lengths[k] = n;
    plan_length_change(&tank->lines[k].plan, n, TANK_MAX_LENGTH);
    const float per_decay = pass == LINE_PASS_FIRST
                                ? (tank->sample_rate * tank->decay_time) * 0.001f
                                : (tank->decay_time * 0.001f) * tank->sample_rate;
    // The gain follows the unclamped length n, not the (at most 32000
    // samples) length the line actually reaches. Every caller applies the
    // decay right after (recompute_tank_lines), which sets each gain again
    // from the lengths in force: this one is part of the line's defined
    // computation and never reaches the output.
    tank->line_gain[k] = decay_gain(tank, n, per_decay);
}

void setup_tank_lines(FdnTank tanks[TANK_COUNT], float size_min, float size_max, Rng* rng)
{
    for (int t = 0; t < TANK_COUNT; ++t) {
        FdnTank* tank = &tanks[t];
        tank->size_min = size_min;
        // The first pass's lengths, plans and gains are replaced by the
        // second's; it stays for its random draws, on which the second
        // pass's jittered lengths depend.
        for (int k = 0; k < TANK_LINES; ++k) compute_line(tank, k, LINE_PASS_FIRST, rng);
        tank->size_max = size_max;
        for (int k = 0; k < TANK_LINES; ++k) compute_line(tank, k, LINE_PASS_SECOND, rng);
    }
}

void apply_decay(FdnTank tanks[TANK_COUNT], float decay_ms)
{
    for (int t = 0; t < TANK_COUNT; ++t) {
        FdnTank* tank = &tanks[t];
        tank->decay_time = decay_ms;
        if (decay_ms > FREEZE_THRESHOLD_MS) {
            for (float& g : tank->line_gain) g = tank->gain_scale;
            continue;
        }
        const float d = 1.0f / ((decay_ms * 0.001f) * tank->sample_rate);
        for (int k = 0; k < TANK_LINES; ++k) {
            tank->line_gain[k] =
                decay_ms > 0.0f
                    ? tank->gain_scale *
                          powf(0.001f, static_cast<float>(tank->line_lengths[k]) * d)
                    : 0.0f;
        }
    }
}

// The early lines follow the room sizes like the tank lines, though no mode
// plays them.
void plan_early_lines(EarlyLine lines[2], float sample_rate, float size_min, float size_max)
{
    plan_length_change(&lines[0].plan,
                       next_prime_length((sample_rate * size_min) * SECONDS_PER_METRE),
                       EARLY_MAX_LENGTH);
    plan_length_change(&lines[1].plan,
                       next_prime_length((sample_rate * size_max) * SECONDS_PER_METRE),
                       EARLY_MAX_LENGTH);
}

void update_filter_bank(FdnTank tanks[TANK_COUNT], FilterBank bank)
{
    for (int t = 0; t < TANK_COUNT; ++t) {
        FdnTank* tank = &tanks[t];
        const bool low = bank == FILTER_BANK_LOWPASS;
        const float lo = low ? tank->lp_low : tank->hp_low;
        const float hi = low ? tank->lp_high : tank->hp_high;
        for (int k = 0; k < TANK_LINES; ++k) {
            const float f = std::fma(hi - lo, static_cast<float>(k) * 0.125f, lo);
            const float coefficient = expf(f * FILTER_RADIANS_PER_HZ_48K);
            if (low) {
                tank->lowpass_on[k] = f <= LOWPASS_ON_UP_TO_HZ;
                tank->lowpass[k].coefficient = coefficient;
            } else {
                tank->highpass_on[k] = f >= HIGHPASS_ON_FROM_HZ;
                tank->highpass[k].coefficient = coefficient;
            }
        }
    }
}
