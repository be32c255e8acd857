// Energy decay analysis of a stereo impulse response.
//
//   ir_analysis RATE IN.f32 OUT.dat
//
// IN.f32 holds interleaved stereo 32-bit floats (sox -t f32). Writes the
// energy decay curve (Schroeder backward integration, both channels summed)
// in dB against time, one row per millisecond, to OUT.dat, and prints the
// reverberation time: the time for a 60 dB fall, from a straight-line fit of
// the curve between -5 and -35 dB (T30), or "frozen" when it never falls 35 dB.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/decay_fit.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s RATE IN.f32 OUT.dat\n", argv[0]);
        return 2;
    }
    const double rate = std::atof(argv[1]);
    FILE* in = std::fopen(argv[2], "rb");
    if (!in || !(rate > 0.0)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    std::vector<double> energy;
    float frame[2];
    while (std::fread(frame, sizeof(float), 2, in) == 2)
        energy.push_back(double(frame[0]) * frame[0] + double(frame[1]) * frame[1]);
    std::fclose(in);
    if (energy.empty()) return 1;

    std::vector<float> db(energy.size());
    decay_curve_db(energy.data(), energy.size(), -120.0, db.data());

    FILE* out = std::fopen(argv[3], "w");
    if (!out) return 1;
    const size_t step = static_cast<size_t>(rate / 1000.0);
    for (size_t i = 0; i < db.size(); i += step ? step : 1) std::fprintf(out, "%.4f %.2f\n", i / rate, db[i]);
    std::fclose(out);

    // A curve that still falls fast near the end of the file is cut off by the
    // integration, not frozen; one that never gets 35 dB down is frozen.
    const float rt60 = decay_rt60(db.data(), db.size(), 1.0 / rate, -35.0);
    if (std::isnan(rt60))
        std::printf("frozen\n");
    else
        std::printf("%.2f\n", rt60);
    return 0;
}
