// The sound analysis's measures on signals whose answers are known: a
// decaying Gaussian noise (the ideal diffuse tail), a feedback comb (static
// peaks and a flutter at its lag), equal and independent channels, a pure
// and a wobbling sine, a held and a falling tail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tools/sound/measures.h"

namespace {

const double RATE = 48000.0;

struct Noise {
    uint64_t s;
    // Gaussian, unit variance (Box-Muller on a 64-bit LCG).
    double next()
    {
        auto uniform = [this] {
            s = s * UINT64_C(6364136223846793005) + UINT64_C(1442695040888963407);
            return (static_cast<double>(s >> 11) + 0.5) / 9007199254740992.0;
        };
        const double u = uniform(), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * v);
    }
};

// Gaussian noise falling by 60 dB in rt60 seconds.
Samples decaying_noise(uint64_t seed, double seconds, double rt60)
{
    Noise n{seed};
    Samples x(static_cast<size_t>(seconds * RATE));
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(n.next() * std::pow(10.0, -3.0 * double(i) / RATE / rt60));
    return x;
}

}  // namespace

TEST(SoundMeasures, DecayingNoiseIsTheIdealTail)
{
    const Samples l = decaying_noise(1, 4.0, 2.0), r = decaying_noise(2, 4.0, 2.0);
    const Span span = tail_span(l, 4800, RATE, 1.0);
    EXPECT_EQ(span.length, 48000u);
    const Samples flat = flatten_envelope(l, span, RATE);
    const Colour c = fine_colour(flat, RATE);
    EXPECT_NEAR(c.deviation_db, 5.57, 0.25);
    EXPECT_EQ(c.peaks, 0);
    EXPECT_LT(std::fabs(flutter(flat, RATE).peak), 0.05);
    const Samples density = echo_density(l, RATE, 24);
    const double t = density_time(density, 24, 0, RATE, 0.9);
    EXPECT_GE(t, 0.0);
    EXPECT_LT(t, 0.015);
    EXPECT_NEAR(t20(l, r, RATE), 2.0, 0.1);
    EXPECT_NEAR(t20(octave_band(l, RATE, 1000.0), octave_band(r, RATE, 1000.0), RATE), 2.0, 0.2);
    EXPECT_LT(iacc(l, r, span, RATE), 0.05);
    EXPECT_NEAR(iacc(l, l, span, RATE), 1.0, 1e-9);
}

TEST(SoundMeasures, CombRingsAndFluttersAtItsLag)
{
    // y[n] = x[n] + 0.8 y[n - 480]: peaks every 100 Hz, an echo every 10 ms.
    Samples x = decaying_noise(3, 3.0, 1.0);
    for (size_t i = 480; i < x.size(); ++i) x[i] += 0.8f * x[i - 480];
    const Samples flat = flatten_envelope(x, tail_span(x, 4800, RATE, 1.0), RATE);
    const Flutter f = flutter(flat, RATE);
    EXPECT_GT(f.peak, 0.4);
    EXPECT_NEAR(f.lag_seconds, 0.010, 1.0 / RATE);
    const Colour c = fine_colour(flat, RATE);
    EXPECT_GT(c.deviation_db, 7.0);
    EXPECT_GT(c.peaks, 5);
    // The first arrival of a response delayed by 25 ms.
    Samples delayed(48000, 0.0f), silent(48000, 0.0f);
    delayed[1200] = 0.5f;
    delayed[1300] = 1.0f;
    EXPECT_EQ(first_arrival(delayed, silent), 1200u);
}

TEST(SoundMeasures, SinesTellStaticFromMoving)
{
    Samples still(4 * 48000), moving(4 * 48000);
    double phase = 0.0;
    for (size_t i = 0; i < still.size(); ++i) {
        still[i] = static_cast<float>(0.1 * std::sin(2.0 * M_PI * 1000.0 * double(i) / RATE));
        // +-10 cents at 2 Hz.
        const double hz = 1000.0 * std::pow(2.0, 10.0 / 1200.0 * std::sin(2.0 * M_PI * 2.0 * double(i) / RATE));
        phase += 2.0 * M_PI * hz / RATE;
        moving[i] = static_cast<float>(0.1 * std::sin(phase));
    }
    EXPECT_LT(sine_residual_db(still, RATE, 1000.0, 0), -100.0);
    EXPECT_GT(sine_residual_db(moving, RATE, 1000.0, 0), -30.0);
    EXPECT_LT(sine_spread_cents(still, RATE, 1000.0), 0.5);
    EXPECT_LT(sine_waver_cents(still, RATE, 1000.0), 0.5);
    // A 10-cent sine vibrato: 7.1 cents RMS.
    EXPECT_NEAR(sine_spread_cents(moving, RATE, 1000.0), 7.1, 1.0);
    EXPECT_NEAR(sine_waver_cents(moving, RATE, 1000.0), 7.1, 1.5);
}

TEST(SoundMeasures, HeldTailsKeepTheirLevel)
{
    Noise n{4};
    Samples held(22 * 48000), falling(22 * 48000);
    for (size_t i = 0; i < held.size(); ++i) {
        held[i] = static_cast<float>(0.1 * n.next());
        falling[i] = static_cast<float>(held[i] * std::pow(10.0, -0.05 * double(i) / RATE));  // 1 dB/s
    }
    EXPECT_NEAR(hold_change_db(held, held, RATE, 0.0, 48000), 0.0, 0.2);
    EXPECT_NEAR(hold_change_db(held, held, RATE, 8000.0, 48000), 0.0, 0.3);
    EXPECT_NEAR(hold_change_db(falling, falling, RATE, 500.0, 48000), -20.0, 0.5);
    EXPECT_NEAR(peak_db(Samples{0.5f, -1.0f}, Samples{0.25f}), 0.0, 1e-9);
}
