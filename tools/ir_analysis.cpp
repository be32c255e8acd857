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

    // Backward integration: the energy still to come after each sample.
    std::vector<double> edc(energy.size());
    double sum = 0.0;
    for (size_t i = energy.size(); i-- > 0;) {
        sum += energy[i];
        edc[i] = sum;
    }
    const double total = edc[0] > 0.0 ? edc[0] : 1.0;
    std::vector<double> db(edc.size());
    for (size_t i = 0; i < edc.size(); ++i) db[i] = 10.0 * std::log10(edc[i] / total + 1e-30);

    FILE* out = std::fopen(argv[3], "w");
    if (!out) return 1;
    const size_t step = static_cast<size_t>(rate / 1000.0);
    for (size_t i = 0; i < db.size(); i += step ? step : 1)
        std::fprintf(out, "%.4f %.2f\n", i / rate, db[i] < -120.0 ? -120.0 : db[i]);
    std::fclose(out);

    // Least-squares line through the -5 ... -35 dB part of the curve.
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    bool reached = false;
    for (size_t i = 0; i < db.size(); ++i) {
        if (db[i] > -5.0) continue;
        if (db[i] < -35.0) {
            reached = true;
            break;
        }
        const double t = i / rate;
        n += 1;
        sx += t;
        sy += db[i];
        sxx += t * t;
        sxy += t * db[i];
    }
    // A curve that still falls fast near the end of the file is cut off by the
    // integration, not frozen; one that never gets 35 dB down is frozen.
    if (!reached || n < 2) {
        std::printf("frozen\n");
        return 0;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    std::printf("%.2f\n", -60.0 / slope);
    return 0;
}
