// The energy decay curve of a response (Schroeder's backward integral) and
// the reverberation time read off it: shared by the window's response view
// and the demo's analysis tool.
#pragma once

#include <cmath>
#include <cstddef>

// The energy still to come from each step on, in dB against the total;
// `floor_db` where nothing is left or the curve lies below it.
inline void decay_curve_db(const double* energy, size_t count, double floor_db, float* out_db)
{
    double total = 0.0;
    for (size_t i = count; i-- > 0;) total += energy[i];
    double tail = 0.0;  // summed from the end, as the total was
    for (size_t i = count; i-- > 0;) {
        tail += energy[i];
        const double db = tail > 0.0 ? 10.0 * std::log10(tail / total) : floor_db;
        out_db[i] = static_cast<float>(db > floor_db ? db : floor_db);
    }
}

// The time for a 60 dB fall: the least-squares line through the curve's
// points from the first at or below -5 dB to the first at or below `end_db`
// (-25 dB: T20, -35 dB: T30), sampled every `step` seconds. NaN where the
// curve never falls that far (a frozen tail, or one cut off too early).
inline float decay_rt60(const float* edc_db, size_t count, double step, double end_db)
{
    size_t first = count, last = count;
    for (size_t i = 0; i < count; ++i) {
        if (first == count && edc_db[i] <= -5.0f) first = i;
        if (edc_db[i] <= end_db) {
            last = i;
            break;
        }
    }
    if (first == count || last == count || last < first + 2) return NAN;
    double st = 0, sy = 0, stt = 0, sty = 0;
    const double k = static_cast<double>(last - first + 1);
    for (size_t i = first; i <= last; ++i) {
        const double t = static_cast<double>(i) * step, y = edc_db[i];
        st += t;
        sy += y;
        stt += t * t;
        sty += t * y;
    }
    const double slope = (k * sty - st * sy) / (k * stt - st * st);
    return slope < 0.0 ? static_cast<float>(-60.0 / slope) : NAN;
}
