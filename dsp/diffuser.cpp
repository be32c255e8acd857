#include "dsp/diffuser.h"

#include <cmath>
#include <cstring>

#include "dsp/lanes/cpu.h"
#include "dsp/lengths.h"

void diffuser_setup(AllpassDiffuser* d, float time_ms)
{
    d->coefficient = 0.75f;
    d->gain = 0.75f;
    d->use_gain = false;
    d->index = 0;
    std::memset(d->buffer, 0, sizeof d->buffer);
    // The diffuser lengths are those of 48000 Hz at every host rate: they set
    // the texture of the smear, not a musical time.
    d->sample_rate = 48000.0f;
    d->time_ms = time_ms;
    d->damping = 0.1231447f;
    d->damping_state = 0.0f;
    uint64_t length = next_prime_length(d->sample_rate * (time_ms / 1000.0f));
    if (length < 5) length = 5;
    if (length > DIFFUSER_MAX_LENGTH) length = DIFFUSER_MAX_LENGTH;
    d->length = length;
}

void diffuser_clear(AllpassDiffuser* d)
{
    std::memset(d->buffer, 0, sizeof d->buffer);
    d->damping_state = 0.0f;
}

// One sample through a damped allpass: the delayed sample from `slot`, the
// damped value written back, the allpass output returned.
static inline float allpass_step(float g, float damping, float* state, float* slot, float x)
{
    const float delayed = *slot;
    const float v = std::fma(-g, delayed, x);
    *state = std::fma(damping, *state - v, v);
    *slot = *state;
    return std::fma(g, v, delayed);
}

void diffuser_process(AllpassDiffuser* d, const float* in, float* out, uint64_t n)
{
    const float g = d->coefficient;
    const float damping = d->damping;
    float state = d->damping_state;
    uint64_t index = d->index;
    for (uint64_t i = 0; i < n; ++i) {
        if (index >= d->length) index = 0;
        out[i] = allpass_step(g, damping, &state, &d->buffer[index], in[i]);
        ++index;
    }
    d->index = index;
    d->damping_state = state;
}

void diffusion_stage_setup(DiffusionStage* stage)
{
    static const float times_ms[DIFFUSER_COUNT] = {4.395833f, 3.3958333f, 11.729167f, 8.520833f};
    for (int k = 0; k < DIFFUSER_COUNT; ++k) diffuser_setup(&stage->diffusers[k], times_ms[k]);
    stage->diffusion = 0.0f;
}

void set_diffusion(DiffusionStage* stage, float percent)
{
    float a = percent * 0.01f;
    if (a < -0.9999f) a = -0.9999f;
    if (a > 0.9999f) a = 0.9999f;
    if (a == stage->diffusion) return;
    stage->diffusion = a;
    stage->diffusers[0].coefficient = a;
    stage->diffusers[1].coefficient = a;
    stage->diffusers[2].coefficient = a * 0.8333334f;
    stage->diffusers[3].coefficient = a * 0.8333334f;
    for (AllpassDiffuser& d : stage->diffusers) d.gain = 1.0f;
}

void diffusion_stage_process_reference(DiffusionStage* stage, const float* in, float* work,
                                       uint32_t n)
{
    if (stage->diffusion == 0.0f) {
        std::memcpy(work, in, n * sizeof(float));
        return;
    }
    diffuser_process(&stage->diffusers[0], in, work, n);
    for (int k = 1; k < DIFFUSER_COUNT; ++k) diffuser_process(&stage->diffusers[k], work, work, n);
}

// The same, sample by sample through all four: each diffuser still takes its
// samples in order, but the four damping recurrences now run side by side
// instead of one after the other.
// (Static: a function built in two versions is called from this file
// only, which every compiler's version dispatch handles.)
FMA_CLONES static void diffusers_in_series(DiffusionStage* stage, const float* in, float* work,
                                           uint32_t n)
{
    AllpassDiffuser* d = stage->diffusers;
    float g[DIFFUSER_COUNT], damping[DIFFUSER_COUNT], state[DIFFUSER_COUNT];
    uint64_t index[DIFFUSER_COUNT], length[DIFFUSER_COUNT];
    for (int k = 0; k < DIFFUSER_COUNT; ++k) {
        g[k] = d[k].coefficient;
        damping[k] = d[k].damping;
        state[k] = d[k].damping_state;
        index[k] = d[k].index;
        length[k] = d[k].length;
    }
    for (uint32_t i = 0; i < n; ++i) {
        float x = in[i];
        for (int k = 0; k < DIFFUSER_COUNT; ++k) {
            if (index[k] >= length[k]) index[k] = 0;
            x = allpass_step(g[k], damping[k], &state[k], &d[k].buffer[index[k]], x);
            ++index[k];
        }
        work[i] = x;
    }
    for (int k = 0; k < DIFFUSER_COUNT; ++k) {
        d[k].damping_state = state[k];
        d[k].index = index[k];
    }
}

void diffusion_stage_process(DiffusionStage* stage, const float* in, float* work, uint32_t n)
{
    if (stage->diffusion == 0.0f) {
        std::memcpy(work, in, n * sizeof(float));
        return;
    }
    diffusers_in_series(stage, in, work, n);
}

void diffusion_stage_keep_time(DiffusionStage* stage, uint64_t n)
{
    if (stage->diffusion == 0.0f || n == 0) return;
    for (AllpassDiffuser& d : stage->diffusers) {
        // Positions run 1 ... length after a sample (a position at or past
        // the end starts again at 0 before the sample).
        const uint64_t start = d.index >= d.length ? 0 : d.index;
        d.index = (start + n - 1) % d.length + 1;
    }
}
