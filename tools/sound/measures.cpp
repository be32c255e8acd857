#include "tools/sound/measures.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "ui/decay_fit.h"

namespace {

typedef std::vector<std::complex<double>> Spectrum;

// Real forward transform of x, zero-padded to `size`.
Spectrum forward(const std::vector<double>& x, size_t size)
{
    double* in = fftw_alloc_real(size);
    fftw_complex* out = fftw_alloc_complex(size / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(size), in, out, FFTW_ESTIMATE);
    for (size_t i = 0; i < size; ++i) in[i] = i < x.size() ? x[i] : 0.0;
    fftw_execute(plan);
    Spectrum s(size / 2 + 1);
    for (size_t k = 0; k < s.size(); ++k) s[k] = {out[k][0], out[k][1]};
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    return s;
}

// Inverse of `forward` for a spectrum of a transform of `size` points,
// scaled back to the original amplitude.
std::vector<double> inverse(const Spectrum& s, size_t size)
{
    fftw_complex* in = fftw_alloc_complex(size / 2 + 1);
    double* out = fftw_alloc_real(size);
    fftw_plan plan = fftw_plan_dft_c2r_1d(static_cast<int>(size), in, out, FFTW_ESTIMATE);
    for (size_t k = 0; k < s.size(); ++k) {
        in[k][0] = s[k].real();
        in[k][1] = s[k].imag();
    }
    fftw_execute(plan);
    std::vector<double> x(out, out + size);
    for (double& v : x) v /= static_cast<double>(size);
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    return x;
}

size_t even_size(size_t n)
{
    return n + (n & 1);
}

// Sum of x[i]^2 over a window of `width` samples centred on each sample.
std::vector<double> moving_energy(const Samples& x, size_t begin, size_t end, size_t width)
{
    std::vector<double> prefix(end - begin + 1, 0.0);
    for (size_t i = begin; i < end; ++i)
        prefix[i - begin + 1] = prefix[i - begin] + double(x[i]) * x[i];
    std::vector<double> e(end - begin);
    for (size_t i = 0; i < e.size(); ++i) {
        const size_t a = i > width / 2 ? i - width / 2 : 0;
        const size_t b = std::min(e.size(), i + width / 2 + 1);
        e[i] = (prefix[b] - prefix[a]) / static_cast<double>(b - a);
    }
    return e;
}

// Gain of the octave band around `centre` at frequency f: flat over the
// middle 0.8 octave, a raised-cosine edge of 0.2 octave to each side.
double band_gain(double f, double centre)
{
    if (centre <= 0.0) return 1.0;
    if (f <= 0.0) return 0.0;
    const double d = std::fabs(std::log2(f / centre));
    if (d <= 0.4) return 1.0;
    if (d >= 0.6) return 0.0;
    const double c = std::cos(0.5 * M_PI * (d - 0.4) / 0.2);
    return c * c;
}

double energy(const Samples& x, size_t begin, size_t end)
{
    double e = 0.0;
    for (size_t i = begin; i < end && i < x.size(); ++i) e += double(x[i]) * x[i];
    return e;
}

}  // namespace

size_t first_arrival(const Samples& left, const Samples& right)
{
    float peak = 0.0f;
    for (float v : left) peak = std::max(peak, std::fabs(v));
    for (float v : right) peak = std::max(peak, std::fabs(v));
    if (!(peak > 0.0f)) return 0;
    const float level = peak * 0.001f;
    const size_t n = std::min(left.size(), right.size());
    for (size_t i = 0; i < n; ++i)
        if (std::fabs(left[i]) >= level || std::fabs(right[i]) >= level) return i;
    return 0;
}

Span tail_span(const Samples& x, size_t start, double rate, double max_seconds)
{
    if (start >= x.size()) return {start, 0};
    const size_t end = std::min(x.size(), start + static_cast<size_t>(max_seconds * rate));
    const std::vector<double> e = moving_energy(x, start, end, static_cast<size_t>(0.05 * rate));
    const double floor = e.empty() ? 0.0 : e[std::min(e.size() - 1, size_t(0.025 * rate))] * 3.16e-5;
    size_t length = e.size();
    for (size_t i = static_cast<size_t>(0.05 * rate); i < e.size(); ++i) {
        if (e[i] < floor) {
            length = i;
            break;
        }
    }
    return {start, length};
}

Samples flatten_envelope(const Samples& x, Span span, double rate)
{
    const std::vector<double> e =
        moving_energy(x, span.start, span.start + span.length, static_cast<size_t>(0.05 * rate));
    // Least-squares quadratic in time through the energy in dB, every 10 ms.
    const size_t hop = std::max<size_t>(1, static_cast<size_t>(0.01 * rate));
    double m[3][4] = {};
    const double scale = static_cast<double>(span.length > 1 ? span.length : 1);
    for (size_t i = 0; i < e.size(); i += hop) {
        const double t = static_cast<double>(i) / scale;
        const double y = 10.0 * std::log10(e[i] + 1e-300);
        const double p[3] = {1.0, t, t * t};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) m[r][c] += p[r] * p[c];
            m[r][3] += p[r] * y;
        }
    }
    // Gaussian elimination with partial pivoting on the 3x3 normal equations.
    for (int c = 0; c < 3; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
        for (int k = 0; k < 4; ++k) std::swap(m[c][k], m[pivot][k]);
        if (m[c][c] == 0.0) continue;
        for (int r = 0; r < 3; ++r) {
            if (r == c) continue;
            const double f = m[r][c] / m[c][c];
            for (int k = 0; k < 4; ++k) m[r][k] -= f * m[c][k];
        }
    }
    double coef[3];
    for (int r = 0; r < 3; ++r) coef[r] = m[r][r] != 0.0 ? m[r][3] / m[r][r] : 0.0;
    Samples flat(span.length);
    for (size_t i = 0; i < span.length; ++i) {
        const double t = static_cast<double>(i) / scale;
        const double db = coef[0] + t * (coef[1] + t * coef[2]);
        flat[i] = static_cast<float>(x[span.start + i] / std::pow(10.0, db / 20.0));
    }
    return flat;
}

Colour fine_colour(const Samples& flat, double rate)
{
    Colour colour = {0.0, 0, 0.0, 0.0};
    const size_t n = even_size(flat.size());
    if (n < 16) return colour;
    std::vector<double> x(n, 0.0);
    for (size_t i = 0; i < flat.size(); ++i)
        x[i] = flat[i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(flat.size())));
    const Spectrum s = forward(x, n);
    std::vector<double> power(s.size()), prefix(s.size() + 1, 0.0);
    for (size_t k = 0; k < s.size(); ++k) {
        power[k] = std::norm(s[k]) + 1e-300;
        prefix[k + 1] = prefix[k] + power[k];
    }
    const double bin_hz = rate / static_cast<double>(n);
    const size_t lo = static_cast<size_t>(std::ceil(200.0 / bin_hz));
    const size_t hi = std::min(s.size() - 1, static_cast<size_t>(8000.0 / bin_hz));
    std::vector<double> dev;
    for (size_t k = lo; k <= hi; ++k) {
        const size_t a = static_cast<size_t>(std::floor(double(k) * std::pow(2.0, -1.0 / 6.0)));
        const size_t b = std::min(s.size() - 1, static_cast<size_t>(std::ceil(double(k) * std::pow(2.0, 1.0 / 6.0))));
        const double smooth = (prefix[b + 1] - prefix[a]) / static_cast<double>(b + 1 - a);
        dev.push_back(10.0 * std::log10(power[k] / smooth));
    }
    double mean = 0.0;
    for (double d : dev) mean += d;
    mean /= static_cast<double>(dev.size());
    double var = 0.0;
    for (double d : dev) var += (d - mean) * (d - mean);
    colour.deviation_db = std::sqrt(var / static_cast<double>(dev.size()));
    // The power of a bin of noise over its mean is exponential: the largest of
    // M bins exceeds ln(M / 0.01) times the mean with probability 0.01.
    const double threshold = 10.0 * std::log10(std::log(static_cast<double>(dev.size()) / 0.01));
    bool in_peak = false;
    for (size_t j = 0; j < dev.size(); ++j) {
        if (dev[j] > threshold) {
            if (!in_peak) ++colour.peaks;
            in_peak = true;
            if (dev[j] > colour.worst_peak_db) {
                colour.worst_peak_db = dev[j];
                colour.worst_peak_hz = static_cast<double>(lo + j) * bin_hz;
            }
        } else {
            in_peak = false;
        }
    }
    return colour;
}

Samples echo_density(const Samples& x, double rate, size_t hop)
{
    const size_t width = static_cast<size_t>(0.02 * rate) | 1;
    const size_t half = width / 2;
    std::vector<double> w(width);
    for (size_t j = 0; j < width; ++j) w[j] = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(j + 1) / double(width + 1));
    const double erfc_share = std::erfc(1.0 / std::sqrt(2.0));
    Samples profile;
    for (size_t c = 0; c < x.size(); c += hop) {
        double total = 0.0, sq = 0.0;
        for (size_t j = 0; j < width; ++j) {
            if (c + j < half || c + j - half >= x.size()) continue;
            const double v = x[c + j - half];
            total += w[j];
            sq += w[j] * v * v;
        }
        const double sigma = std::sqrt(sq / total);
        double beyond = 0.0;
        for (size_t j = 0; j < width; ++j) {
            if (c + j < half || c + j - half >= x.size()) continue;
            if (std::fabs(x[c + j - half]) > sigma) beyond += w[j];
        }
        profile.push_back(static_cast<float>(sigma > 0.0 ? beyond / total / erfc_share : 0.0));
    }
    return profile;
}

double density_time(const Samples& profile, size_t hop, size_t from, double rate, double level)
{
    for (size_t j = (from + hop - 1) / hop; j < profile.size(); ++j)
        if (profile[j] >= level) return static_cast<double>(j * hop - from) / rate;
    return -1.0;
}

double iacc(const Samples& left, const Samples& right, Span span, double rate)
{
    const long lag = static_cast<long>(0.001 * rate);
    const long begin = static_cast<long>(span.start);
    const long end = static_cast<long>(std::min({span.start + span.length, left.size(), right.size()}));
    const double el = energy(left, span.start, size_t(end)), er = energy(right, span.start, size_t(end));
    if (!(el > 0.0 && er > 0.0)) return 0.0;
    double best = 0.0;
    for (long tau = -lag; tau <= lag; ++tau) {
        double sum = 0.0;
        for (long i = begin; i < end; ++i) {
            const long j = i + tau;
            if (j < begin || j >= end) continue;
            sum += double(left[size_t(i)]) * right[size_t(j)];
        }
        best = std::max(best, std::fabs(sum) / std::sqrt(el * er));
    }
    return best;
}

Flutter flutter(const Samples& flat, double rate)
{
    Flutter f = {0.0, 0.0};
    const size_t n = flat.size();
    if (n < 16) return f;
    std::vector<double> x(flat.begin(), flat.end());
    const size_t size = even_size(2 * n);
    Spectrum s = forward(x, size);
    for (auto& v : s) v = std::norm(v);
    const std::vector<double> r = inverse(s, size);
    if (!(r[0] > 0.0)) return f;
    const size_t from = static_cast<size_t>(0.005 * rate);
    const size_t to = std::min(n / 2, static_cast<size_t>(0.2 * rate));
    for (size_t lag = from; lag <= to; ++lag) {
        const double v = r[lag] / r[0];
        if (std::fabs(v) > std::fabs(f.peak)) {
            f.peak = v;
            f.lag_seconds = static_cast<double>(lag) / rate;
        }
    }
    return f;
}

Samples octave_band(const Samples& x, double rate, double centre_hz)
{
    if (centre_hz <= 0.0) return x;
    const size_t size = even_size(2 * x.size());
    Spectrum s = forward(std::vector<double>(x.begin(), x.end()), size);
    for (size_t k = 0; k < s.size(); ++k)
        s[k] *= band_gain(static_cast<double>(k) * rate / static_cast<double>(size), centre_hz);
    const std::vector<double> y = inverse(s, size);
    return Samples(y.begin(), y.begin() + static_cast<long>(x.size()));
}

double t20(const Samples& left, const Samples& right, double rate)
{
    const size_t n = std::min(left.size(), right.size());
    std::vector<double> e(n);
    for (size_t i = 0; i < n; ++i) e[i] = double(left[i]) * left[i] + double(right[i]) * right[i];
    std::vector<float> db(n);
    decay_curve_db(e.data(), n, -200.0, db.data());
    return decay_rt60(db.data(), n, 1.0 / rate, -25.0);
}

double peak_db(const Samples& left, const Samples& right)
{
    float peak = 0.0f;
    for (float v : left) peak = std::max(peak, std::fabs(v));
    for (float v : right) peak = std::max(peak, std::fabs(v));
    return 20.0 * std::log10(double(peak) + 1e-30);
}

double sine_residual_db(const Samples& out, double rate, double hz, size_t from)
{
    // Least squares on cos and sin of the one frequency.
    double cc = 0, ss = 0, cs = 0, xc = 0, xs = 0, total = 0;
    for (size_t i = from; i < out.size(); ++i) {
        const double ph = 2.0 * M_PI * hz * double(i) / rate;
        const double c = std::cos(ph), s = std::sin(ph), v = out[i];
        cc += c * c;
        ss += s * s;
        cs += c * s;
        xc += v * c;
        xs += v * s;
        total += v * v;
    }
    const double det = cc * ss - cs * cs;
    if (!(total > 0.0) || det == 0.0) return -300.0;
    const double a = (xc * ss - xs * cs) / det, b = (xs * cc - xc * cs) / det;
    double residual = 0.0;
    for (size_t i = from; i < out.size(); ++i) {
        const double ph = 2.0 * M_PI * hz * double(i) / rate;
        const double r = out[i] - a * std::cos(ph) - b * std::sin(ph);
        residual += r * r;
    }
    return 10.0 * std::log10(residual / total + 1e-30);
}

namespace {

// Mean and RMS spread in cents of the power spectrum within +-50 cents of
// hz (x Hann-windowed, zero-padded fourfold).
void cents_moments(const std::vector<double>& x, double rate, double hz, double* mean_cents,
                   double* spread)
{
    const size_t size = even_size(4 * x.size());
    std::vector<double> w(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        w[i] = x[i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(x.size())));
    const Spectrum s = forward(w, size);
    const double bin_hz = rate / static_cast<double>(size);
    double sum = 0.0, first = 0.0, second = 0.0;
    for (size_t k = 1; k < s.size(); ++k) {
        const double cents = 1200.0 * std::log2(static_cast<double>(k) * bin_hz / hz);
        if (std::fabs(cents) > 50.0) continue;
        const double p = std::norm(s[k]);
        sum += p;
        first += p * cents;
        second += p * cents * cents;
    }
    if (!(sum > 0.0)) {
        *mean_cents = 0.0;
        *spread = 0.0;
        return;
    }
    const double mean = first / sum;
    *mean_cents = mean;
    *spread = std::sqrt(std::max(0.0, second / sum - mean * mean));
}

double spread_cents(const std::vector<double>& x, double rate, double hz)
{
    double mean, spread;
    cents_moments(x, rate, hz, &mean, &spread);
    return spread;
}

}  // namespace

double sine_waver_cents(const Samples& out, double rate, double hz)
{
    const size_t frame = 4096, hop = 2048;
    double sum = 0.0;
    size_t count = 0;
    for (size_t at = 0; at + frame <= out.size(); at += hop) {
        const std::vector<double> x(out.begin() + long(at), out.begin() + long(at + frame));
        double mean, spread;
        cents_moments(x, rate, hz, &mean, &spread);
        sum += mean * mean;
        ++count;
    }
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

double sine_spread_cents(const Samples& out, double rate, double hz)
{
    std::vector<double> x(out.begin(), out.end()), pure(out.size());
    for (size_t i = 0; i < pure.size(); ++i) pure[i] = std::sin(2.0 * M_PI * hz * double(i) / rate);
    const double measured = spread_cents(x, rate, hz), window = spread_cents(pure, rate, hz);
    return std::sqrt(std::max(0.0, measured * measured - window * window));
}

double hold_change_db(const Samples& left, const Samples& right, double rate, double centre_hz,
                      size_t from)
{
    const Samples l = octave_band(left, rate, centre_hz), r = octave_band(right, rate, centre_hz);
    const size_t second = static_cast<size_t>(rate);
    const size_t end = std::min(l.size(), r.size());
    if (end < from + 2 * second) return 0.0;
    const double a = energy(l, from, from + second) + energy(r, from, from + second);
    const double b = energy(l, end - second, end) + energy(r, end - second, end);
    return 10.0 * std::log10((b + 1e-300) / (a + 1e-300));
}
