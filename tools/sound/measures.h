// What a listener hears in an impulse response, as numbers: colour (static
// peaks), echo density, stereo width, flutter, decay per band, time
// variance, pitch wobble and how well a frozen tail holds. One
// implementation of each, used by the analysis tool and its tests; every
// function takes plain sample vectors at a given rate.
#pragma once

#include <cstddef>
#include <vector>

typedef std::vector<float> Samples;

// First sample whose magnitude reaches 1/1000 (-60 dB) of the response's
// peak, in either channel; 0 for a silent response.
size_t first_arrival(const Samples& left, const Samples& right);

// The part of a response used for colour and flutter: from `start` on, up to
// `max_seconds` long, ended where the smoothed energy has fallen 45 dB below
// its level at the start.
typedef struct {
    size_t start;
    size_t length;
} Span;
Span tail_span(const Samples& x, size_t start, double rate, double max_seconds);

// The span divided by a smooth envelope (a quadratic fit to its smoothed
// energy in dB), so that a decaying noise becomes stationary.
Samples flatten_envelope(const Samples& x, Span span, double rate);

// Fine colour: the standard deviation, in dB, of the fine power spectrum of
// the flattened tail about its own 1/3-octave smoothing, 200 Hz to 8 kHz
// (5.57 dB for Gaussian noise: the log of an exponential variable), and the
// narrow peaks: runs of bins above the level that the largest bin of such a
// noise exceeds with probability 0.01.
typedef struct {
    double deviation_db;
    int peaks;
    double worst_peak_db;  // above the smoothing; 0 without peaks
    double worst_peak_hz;
} Colour;
Colour fine_colour(const Samples& flat, double rate);

// Echo density profile (Abel and Huang): for each sample, the share of the
// samples of a 20 ms Hann window around it that lie beyond the window's
// standard deviation, divided by erfc(1/sqrt 2): 1 for Gaussian noise, near
// 0 for sparse echoes. Computed every `hop` samples.
Samples echo_density(const Samples& x, double rate, size_t hop);
// The time in seconds from `from` until the profile first reaches `level`;
// a negative value where it never does.
double density_time(const Samples& profile, size_t hop, size_t from, double rate, double level);

// Interaural cross-correlation: the largest magnitude of the normalised
// cross-correlation of the two channels over lags within +-1 ms.
double iacc(const Samples& left, const Samples& right, Span span, double rate);

// Flutter: the autocorrelation of the flattened tail (normalised to 1 at lag
// 0) at its largest magnitude beyond 5 ms, signed, and that lag.
typedef struct {
    double peak;
    double lag_seconds;
} Flutter;
Flutter flutter(const Samples& flat, double rate);

// The response band-passed to one octave around `centre_hz` (zero phase, in
// the frequency domain); centre 0 leaves it whole.
Samples octave_band(const Samples& x, double rate, double centre_hz);
// T20 of a response (both channels' energy summed): the least-squares slope
// of its energy decay curve from -5 to -25 dB, as a time for 60 dB. NaN when
// it never falls that far.
double t20(const Samples& left, const Samples& right, double rate);

// Peak magnitude of both channels, in dBFS.
double peak_db(const Samples& left, const Samples& right);

// Time variance: with a steady sine of `hz` in, the energy of what a fixed
// filter's answer (one sinusoid of that frequency) does not explain, in dB
// against the whole output, over the samples from `from` on. About -130 dB
// for a static reverb in single precision, near 0 for a strongly moving one.
double sine_residual_db(const Samples& out, double rate, double hz, size_t from);

// Pitch wobble of a steady sine: the RMS spread, in cents, of the power
// spectrum within +-50 cents of `hz` over the whole of `out`, less the
// spread the window alone gives a pure sine of that length.
double sine_spread_cents(const Samples& out, double rate, double hz);

// Pitch waver of a steady sine: in frames of 4096 samples (half overlapped),
// the power-weighted mean frequency within +-50 cents of `hz`; the RMS of
// its deviation from `hz` over the frames, in cents. What an ear follows as
// the pitch of the tail, where the spread above is its chorus-like width.
double sine_waver_cents(const Samples& out, double rate, double hz);

// Decay of a held tail: the change in dB of the energy in one octave band (or
// broadband, centre 0) between the second after `from` and the second ending
// at the end of x.
double hold_change_db(const Samples& left, const Samples& right, double rate, double centre_hz,
                      size_t from);
