// The analysis tool's pictures, drawn with cairo: a spectrogram of a
// response and its echo density over time.
#pragma once

#include <string>

#include "tools/sound/measures.h"

// A file name for a configuration's name: lower case, words joined by '-'.
std::string picture_file_name(const std::string& name);

// Left channel, 0 to `seconds`, 50 Hz to 20 kHz on a log scale, 90 dB of range.
void draw_spectrogram(const Samples& x, double rate, double seconds, const std::string& title,
                      const std::string& path);

// Both channels' echo density profiles (every `hop` samples) over the first
// 300 ms after the first arrival, with the 0.9 line.
void draw_density(const Samples& left, const Samples& right, size_t hop, size_t arrival,
                  double rate, const std::string& title, const std::string& path);
