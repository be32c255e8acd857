// What the reverb does with the settings on screen: its impulse response,
// rendered by a private instance of the engine (the plugin's own code,
// nothing shared with the audio thread), and what the window draws from it:
// a spectrogram, the energy decay curve of each octave band and the RT60
// read off each. A worker thread computes it away from the host's UI
// thread; a new request makes it drop the work in hand.
#pragma once

#include <cstdint>
#include <vector>

#include "control/control_table.h"
#include "ui/decay_fit.h"

// Octave bands of the decay curves, by centre frequency.
enum { RESPONSE_BANDS = 7 };
inline constexpr float RESPONSE_BAND_HZ[RESPONSE_BANDS] = {125, 250, 500, 1000, 2000, 4000, 8000};

// The spectrogram's grid: rows spaced evenly in log frequency.
enum { RESPONSE_ROWS = 96, RESPONSE_MAX_COLUMNS = 320 };
inline constexpr float RESPONSE_LOW_HZ = 50.0f, RESPONSE_HIGH_HZ = 20000.0f;
// Levels shown, below the loudest cell or the start of a decay curve.
inline constexpr float RESPONSE_RANGE_DB = 80.0f;
// When no host names its rate.
inline constexpr double RESPONSE_DEFAULT_RATE = 48000.0;

typedef struct {
    float values[PORT_COUNT];  // the controls (audio port entries unused)
    double rate;               // Hz
} ResponseSettings;

typedef struct {
    ResponseSettings settings;
    bool frozen;               // the decay control freezes the tail: shown, not measured
    uint32_t length;           // samples rendered
    std::vector<float> left, right;
    // The spectrogram: columns x RESPONSE_ROWS, column-major, row 0 the
    // lowest; dB against the loudest cell, floored at -RESPONSE_RANGE_DB.
    int columns;
    double column_seconds;     // the time one column spans
    std::vector<float> spectrogram;
    // Energy decay curves (Schroeder's backward integral), one value per
    // column, in dB against their start; the direct sound (the first sample)
    // is left out, so that they show the reverb.
    std::vector<float> edc[RESPONSE_BANDS];
    std::vector<float> edc_total;
    // Seconds, from the fall between -5 and -25 dB (extrapolated to 60 dB);
    // NaN where a curve does not fall that far.
    float rt60[RESPONSE_BANDS];
    float rt60_total;
} ResponseResult;

// Polled during the work: true stops it.
typedef bool (*ResponseCancel)(void* context);

// How many samples the view renders: the decay's end with a margin (one and
// a half decay times, 1 to 30 s), 10 s for the delay lines alone, 4 s of a
// frozen tail; rendering stops earlier once the tail is 120 dB down.
uint32_t response_length(const ResponseSettings* s);
bool response_is_frozen(const ResponseSettings* s);

// The impulse response: a unit impulse, then silence, into the mono plugin's
// input, in periods of RESPONSE_PERIOD samples. Returns the samples rendered
// (fewer than `n` once the tail is 120 dB down), 0 when cancelled or when the
// engine cannot be made.
enum { RESPONSE_PERIOD = 4096 };
uint32_t response_render(const ResponseSettings* s, uint32_t n, float* left, float* right,
                         ResponseCancel cancel, void* context);

// Render and analyse; false when cancelled (out is then incomplete).
bool response_compute(const ResponseSettings* s, ResponseResult* out, ResponseCancel cancel,
                      void* context);

// An octave band's power weighting at a frequency: the magnitude squared of
// a third-order Butterworth band-pass over the octave (half power at
// fc / sqrt 2 and fc * sqrt 2).
double response_band_weight(int band, double hz);

// The RT60 the view prints: from the fall between -5 and -25 dB of a decay
// curve sampled every `step` seconds (decay_fit.h), NaN if it never gets there.
inline float response_rt60(const float* edc_db, size_t count, double step)
{
    return decay_rt60(edc_db, count, step, -25.0);
}

typedef struct ResponseWorker ResponseWorker;

// Starts the worker thread; null if it cannot be started.
ResponseWorker* response_worker_start(void);
// Stops the work in hand and joins the thread.
void response_worker_stop(ResponseWorker* w);
// Computes for these settings, dropping any earlier request and the work on
// it (the last request wins; requests while busy do not queue). The work
// starts once no newer request has come for 40 ms.
void response_worker_request(ResponseWorker* w, const ResponseSettings* s);
// The result of the newest request, once finished, else null; the caller
// owns it (delete).
ResponseResult* response_worker_take(ResponseWorker* w);
// Whether a request is pending or being worked on.
bool response_worker_busy(ResponseWorker* w);
