#include "ui/response.h"

#include <fftw3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "instance/instance.h"
#include "dsp/tank.h"
#include "ui/decay_fit.h"

namespace {

// FFTW's planner is not thread-safe, and every window has a worker.
std::mutex planner_mutex;

// Chunks between cancel checks in the analysis.
const int FRAMES_PER_CHECK = 64;

// A request waits this long for the next: a drag or automation starts no
// work until it pauses.
const std::chrono::milliseconds SETTLE{40};

}  // namespace

bool response_is_frozen(const ResponseSettings* s)
{
    return s->values[PORT_DECAY_MS] > FREEZE_THRESHOLD_MS;
}

uint32_t response_length(const ResponseSettings* s)
{
    double seconds;
    if (response_is_frozen(s))
        seconds = 4.0;
    else if (static_cast<int>(std::lround(s->values[PORT_MODE_SEL])) == MODE_DELAY_LINES)
        seconds = 10.0;
    else
        seconds = std::min(30.0, std::max(1.0, 1.5e-3 * s->values[PORT_DECAY_MS]));
    return static_cast<uint32_t>(seconds * s->rate);
}

uint32_t response_render(const ResponseSettings* s, uint32_t n, float* left, float* right,
                         ResponseCancel cancel, void* context)
{
    PluginInstance* inst = instance_create(s->rate, false);
    if (!inst) return 0;
    float values[PORT_COUNT];
    for (const PortInfo& info : PORT_TABLE) {
        values[info.index] = s->values[info.index];
        if (info.kind == PORT_KIND_CONTROL_IN) inst->ports[info.index] = &values[info.index];
    }
    static const float SILENCE[RESPONSE_PERIOD] = {};
    float impulse[RESPONSE_PERIOD] = {1.0f};
    float peak = 0.0f;
    uint32_t done = 0;
    while (done < n) {
        if (cancel && cancel(context)) {
            done = 0;
            break;
        }
        const uint32_t m = std::min<uint32_t>(RESPONSE_PERIOD, n - done);
        inst->ports[PORT_IN] = done == 0 ? impulse : const_cast<float*>(SILENCE);
        inst->ports[PORT_OUT_L] = left + done;
        inst->ports[PORT_OUT_R] = right + done;
        instance_run(inst, m);
        float chunk_peak = 0.0f;
        for (uint32_t i = 0; i < m; ++i)
            chunk_peak = std::max(chunk_peak, std::max(std::fabs(left[done + i]), std::fabs(right[done + i])));
        peak = std::max(peak, chunk_peak);
        done += m;
        // The tail is 120 dB down (and the first quarter second is past).
        if (done >= s->rate / 4 && chunk_peak <= 1e-6f * peak) break;
    }
    instance_destroy(inst);
    return done;
}

double response_band_weight(int band, double hz)
{
    if (hz <= 0.0) return 0.0;
    const double fc = RESPONSE_BAND_HZ[band];
    const double x = std::sqrt(2.0) * (hz / fc - fc / hz);
    return 1.0 / (1.0 + x * x * x * x * x * x);
}

bool response_compute(const ResponseSettings* s, ResponseResult* out, ResponseCancel cancel,
                      void* context)
{
    out->settings = *s;
    out->frozen = response_is_frozen(s);
    const uint32_t n = response_length(s);
    out->left.assign(n, 0.0f);
    out->right.assign(n, 0.0f);
    const uint32_t rendered = response_render(s, n, out->left.data(), out->right.data(), cancel, context);
    if (rendered == 0) return false;
    out->length = rendered;
    out->left.resize(rendered);
    out->right.resize(rendered);

    // Short-time spectra: Hann windows of about 43 ms, a hop of an eighth,
    // the first centred on the impulse. The direct sound (sample 0) is left
    // out: the view shows the reverb.
    int size = 256;
    while (size < s->rate * 0.0427) size *= 2;
    const int hop = size / 8;
    const int frames = static_cast<int>(rendered / hop) + 1;
    const int bins = size / 2 + 1;
    float* in = fftwf_alloc_real(size);
    fftwf_complex* spectrum = fftwf_alloc_complex(bins);
    fftwf_plan plan = nullptr;
    {
        std::lock_guard<std::mutex> lock(planner_mutex);
        if (in && spectrum) plan = fftwf_plan_dft_r2c_1d(size, in, spectrum, FFTW_ESTIMATE);
    }
    bool ok = plan != nullptr;

    std::vector<float> window(size);
    for (int i = 0; i < size; ++i) window[i] = 0.5f - 0.5f * std::cos(2.0f * float(M_PI) * i / size);
    const double bin_hz = s->rate / size;
    // Each spectrogram row and octave band: its bins.
    int row_lo[RESPONSE_ROWS], row_hi[RESPONSE_ROWS];
    const double ratio = std::log(RESPONSE_HIGH_HZ / RESPONSE_LOW_HZ);
    for (int r = 0; r < RESPONSE_ROWS; ++r) {
        const double f0 = RESPONSE_LOW_HZ * std::exp(ratio * r / RESPONSE_ROWS);
        const double f1 = RESPONSE_LOW_HZ * std::exp(ratio * (r + 1) / RESPONSE_ROWS);
        row_lo[r] = std::min(bins - 1, static_cast<int>(std::floor(f0 / bin_hz + 0.5)));
        row_hi[r] = std::max(row_lo[r], std::min(bins - 1, static_cast<int>(std::floor(f1 / bin_hz + 0.5)) - 1));
    }
    std::vector<float> band_weight[RESPONSE_BANDS];
    for (int b = 0; b < RESPONSE_BANDS; ++b) {
        band_weight[b].resize(bins);
        for (int k = 0; k < bins; ++k) band_weight[b][k] = response_band_weight(b, k * bin_hz);
    }

    // Columns of the picture: whole frames each.
    const int per_column = std::max(1, (frames + RESPONSE_MAX_COLUMNS - 1) / RESPONSE_MAX_COLUMNS);
    out->columns = (frames + per_column - 1) / per_column;
    out->column_seconds = static_cast<double>(per_column) * hop / s->rate;
    std::vector<double> cells(static_cast<size_t>(out->columns) * RESPONSE_ROWS, 0.0);
    std::vector<double> band_energy[RESPONSE_BANDS];
    for (auto& e : band_energy) e.assign(out->columns, 0.0);

    for (int f = 0; ok && f < frames; ++f) {
        if (f % FRAMES_PER_CHECK == 0 && cancel && cancel(context)) ok = false;
        const int64_t start = static_cast<int64_t>(f) * hop - size / 2;
        float* ch[2] = {out->left.data(), out->right.data()};
        std::vector<double> power(bins, 0.0);
        for (float* x : ch) {
            for (int i = 0; i < size; ++i) {
                const int64_t t = start + i;
                in[i] = t >= 1 && t < rendered ? x[t] * window[i] : 0.0f;
            }
            fftwf_execute(plan);
            for (int k = 0; k < bins; ++k)
                power[k] += double(spectrum[k][0]) * spectrum[k][0] + double(spectrum[k][1]) * spectrum[k][1];
        }
        const int column = f / per_column;
        for (int r = 0; r < RESPONSE_ROWS; ++r) {
            double p = 0.0;
            for (int k = row_lo[r]; k <= row_hi[r]; ++k) p += power[k];
            cells[static_cast<size_t>(column) * RESPONSE_ROWS + r] += p / (row_hi[r] - row_lo[r] + 1);
        }
        for (int b = 0; b < RESPONSE_BANDS; ++b)
            for (int k = 0; k < bins; ++k) band_energy[b][column] += band_weight[b][k] * power[k];
    }
    {
        std::lock_guard<std::mutex> lock(planner_mutex);
        if (plan) fftwf_destroy_plan(plan);
    }
    fftwf_free(in);
    fftwf_free(spectrum);
    if (!ok) return false;

    double loudest = 0.0;
    for (double c : cells) loudest = std::max(loudest, c);
    out->spectrogram.assign(cells.size(), -RESPONSE_RANGE_DB);
    for (size_t i = 0; i < cells.size(); ++i)
        if (loudest > 0.0 && cells[i] > 0.0)
            out->spectrogram[i] = static_cast<float>(
                std::max(10.0 * std::log10(cells[i] / loudest), double(-RESPONSE_RANGE_DB)));

    // The broadband curve from the samples themselves, per column.
    std::vector<double> energy(out->columns, 0.0);
    const double column_samples = static_cast<double>(per_column) * hop;
    for (uint32_t t = 1; t < rendered; ++t) {
        const int column = std::min(out->columns - 1, static_cast<int>(t / column_samples));
        energy[column] += double(out->left[t]) * out->left[t] + double(out->right[t]) * out->right[t];
    }
    // The curves' floor: below what the view draws.
    const double floor_db = -RESPONSE_RANGE_DB - 20.0;
    const size_t columns = static_cast<size_t>(out->columns);
    out->edc_total.resize(columns);
    decay_curve_db(energy.data(), columns, floor_db, out->edc_total.data());
    for (int b = 0; b < RESPONSE_BANDS; ++b) {
        out->edc[b].resize(columns);
        decay_curve_db(band_energy[b].data(), columns, floor_db, out->edc[b].data());
    }
    const bool measurable = !out->frozen;
    out->rt60_total = measurable ? response_rt60(out->edc_total.data(), columns, out->column_seconds) : NAN;
    for (int b = 0; b < RESPONSE_BANDS; ++b)
        out->rt60[b] = measurable ? response_rt60(out->edc[b].data(), columns, out->column_seconds) : NAN;
    return true;
}

struct ResponseWorker {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool pending = false;          // a request not yet taken up
    ResponseSettings request{};
    std::atomic<uint64_t> generation{0};  // of the newest request
    uint64_t working_on = 0;       // generation in hand (written by the worker)
    bool computing = false;
    ResponseResult* done = nullptr;  // finished, not yet taken
};

static bool superseded(void* context)
{
    ResponseWorker* w = static_cast<ResponseWorker*>(context);
    return w->generation.load(std::memory_order_relaxed) != w->working_on;
}

static void worker_loop(ResponseWorker* w)
{
    for (;;) {
        ResponseSettings settings;
        {
            std::unique_lock<std::mutex> lock(w->mutex);
            w->wake.wait(lock, [w] { return w->stopping || w->pending; });
            for (;;) {
                const uint64_t seen = w->generation.load();
                if (!w->wake.wait_for(lock, SETTLE, [w, seen] { return w->stopping || w->generation.load() != seen; }))
                    break;
                if (w->stopping) return;
            }
            if (w->stopping) return;
            settings = w->request;
            w->pending = false;
            w->computing = true;
            w->working_on = w->generation.load();
        }
        ResponseResult* result = new (std::nothrow) ResponseResult();
        if (!result) continue;
        const bool finished = response_compute(&settings, result, superseded, w);
        std::lock_guard<std::mutex> lock(w->mutex);
        w->computing = false;
        if (finished && !superseded(w) && !w->stopping) {
            delete w->done;
            w->done = result;
        } else {
            delete result;
        }
    }
}

ResponseWorker* response_worker_start(void)
{
    ResponseWorker* w = new (std::nothrow) ResponseWorker;
    if (!w) return nullptr;
    try {
        w->thread = std::thread(worker_loop, w);
    } catch (...) {
        delete w;
        return nullptr;
    }
    return w;
}

void response_worker_stop(ResponseWorker* w)
{
    if (!w) return;
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        w->stopping = true;
        w->generation.fetch_add(1);  // the work in hand stops at its next check
    }
    w->wake.notify_one();
    w->thread.join();
    delete w->done;
    delete w;
}

void response_worker_request(ResponseWorker* w, const ResponseSettings* s)
{
    if (!w) return;
    {
        std::lock_guard<std::mutex> lock(w->mutex);
        w->request = *s;
        w->pending = true;
        w->generation.fetch_add(1);
        delete w->done;  // belongs to older settings
        w->done = nullptr;
    }
    w->wake.notify_one();
}

ResponseResult* response_worker_take(ResponseWorker* w)
{
    if (!w) return nullptr;
    std::lock_guard<std::mutex> lock(w->mutex);
    ResponseResult* r = w->done;
    w->done = nullptr;
    return r;
}

bool response_worker_busy(ResponseWorker* w)
{
    if (!w) return false;
    std::lock_guard<std::mutex> lock(w->mutex);
    return w->pending || w->computing;
}
