// The lane-parallel paths (tanks in spans, delay lines in lanes) against the
// scalar reference, bit for bit: whole blocks of every mode on random states
// with line wraps, length changes, crossfades, shrinking delay lines and the
// filters switched between all, some and no lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dsp/lanes/cpu.h"
#include "engine/modes.h"
#include "engine/settings.h"

namespace {

struct FreeDsp {
    void operator()(DspState* d) const { std::free(d); }
};
using DspPtr = std::unique_ptr<DspState, FreeDsp>;

DspPtr new_state()
{
    return DspPtr(static_cast<DspState*>(std::malloc(sizeof(DspState))));
}

struct Random {
    uint64_t s;
    uint32_t next()
    {
        s = s * UINT64_C(6364136223846793005) + UINT64_C(1442695040888963407);
        return static_cast<uint32_t>(s >> 33);
    }
    float between(float lo, float hi) { return lo + (hi - lo) * static_cast<float>(next() >> 7) / 16777216.0f; }
};

// A random change of the controls that move the fast paths' edges: room
// sizes (lengths replanned, resampled at wraps), filters (all, some or no
// lines on), pitches (crossfades), delay time (sizes shrinking under the
// heads), modulation, feedback and the tanks' modulated reads (on, off, and
// changed in the middle of a segment).
void random_change(DspState* d, Random* r)
{
    switch (r->next() % 8) {
    case 0: engine_set_size_max(d, r->between(0.0f, 120.0f)); break;
    case 1: engine_set_size_min(d, r->between(0.0f, 30.0f)); break;
    case 2: {
        // Every line filtered, none, or cutoffs spread across the 21 Hz and
        // 17950 Hz switches so that some lines filter: {low, high} ranges of
        // hp_low, hp_high, lp_low, lp_high per regime.
        static const float RANGES[3][4][2] = {
            {{25, 40}, {30, 200}, {2000, 17000}, {2000, 17000}},
            {{0, 10}, {0, 10}, {19000, 20000}, {19000, 20000}},
            {{0, 40}, {0, 200}, {2000, 20000}, {15000, 20000}},
        };
        const float(*range)[2] = RANGES[r->next() % 3];
        engine_set_hp_low(d, r->between(range[0][0], range[0][1]));
        engine_set_hp_high(d, r->between(range[1][0], range[1][1]));
        engine_set_lp_low(d, r->between(range[2][0], range[2][1]));
        engine_set_lp_high(d, r->between(range[3][0], range[3][1]));
        break;
    }
    case 3:
        for (int k = 0; k < 4; ++k) {
            const float pitch = r->between(-24.0f, 24.0f);
            switch (k) {
            case 0: engine_set_pitch_0(d, pitch); break;
            case 1: engine_set_pitch_1(d, pitch); break;
            case 2: engine_set_pitch_2(d, pitch); break;
            default: engine_set_pitch_3(d, pitch); break;
            }
        }
        break;
    case 4: engine_set_delay_ms(d, r->between(1.0f, 400.0f)); break;
    case 5:
        engine_set_mod_depth(d, r->between(0.0f, 100.0f));
        engine_set_xfade_ms(d, r->between(1.0f, 60.0f));
        break;
    case 6: engine_set_tank_mod(d, r->next() % 3 == 0 ? 0.0f : r->between(0.0f, 100.0f)); break;
    default:
        engine_set_delay_feedback(d, r->between(-90.0f, 90.0f));
        engine_set_delay_mix(d, r->between(0.0f, 100.0f));
        engine_set_jitter(d, r->between(0.0f, 60.0f));
        break;
    }
}

}  // namespace

TEST(FastPaths, EveryModeEqualsTheScalarReferenceBitForBit)
{
    for (int mode = 0; mode <= 4; ++mode) {
        Random r{static_cast<uint64_t>(100 + mode)};
        DspPtr fast = new_state(), reference = new_state();
        engine_init(fast.get(), 48000.0f);
        fast->lanes = lanes_supported();  // whatever BRUMMKISTE_SCALAR says
        engine_set_mode(fast.get(), static_cast<float>(mode));
        engine_set_size_min(fast.get(), 2.0f);
        engine_set_size_max(fast.get(), 25.0f);
        engine_set_diffusion(fast.get(), 60.0f);
        engine_set_delay_mix(fast.get(), 50.0f);
        engine_set_delay_ms(fast.get(), 40.0f);
        engine_set_hp_low(fast.get(), 40.0f);
        engine_set_lp_low(fast.get(), 9000.0f);
        engine_start(fast.get());
        std::memcpy(reference.get(), fast.get(), sizeof(DspState));

        float in[BLOCK_SIZE], fl[BLOCK_SIZE], fr[BLOCK_SIZE], rl[BLOCK_SIZE], rr[BLOCK_SIZE];
        for (int block = 0; block < 6000; ++block) {
            if (block % 97 == 0) {
                Random same = r;
                random_change(fast.get(), &r);
                random_change(reference.get(), &same);
            }
            const uint32_t n = block % 5 == 0 ? 1 + r.next() % BLOCK_SIZE : uint32_t{BLOCK_SIZE};
            for (uint32_t i = 0; i < n; ++i) in[i] = block < 3000 || block % 200 < 20 ? r.between(-0.5f, 0.5f) : 0.0f;
            mode_process(fast.get(), in, fl, fr, n);
            mode_process_reference(reference.get(), in, rl, rr, n);
            ASSERT_EQ(0, std::memcmp(fl, rl, n * sizeof(float))) << "mode " << mode << " block " << block;
            ASSERT_EQ(0, std::memcmp(fr, rr, n * sizeof(float))) << "mode " << mode << " block " << block;
        }
        EXPECT_EQ(0, std::memcmp(fast.get(), reference.get(), sizeof(DspState))) << "mode " << mode;
    }
}
