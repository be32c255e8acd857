// The five wirings of the building blocks. Each turns n <= 16 cleaned input
// samples into the left and right wet signals of the output mix.
#pragma once

#include <cstdint>

#include "engine/dsp_state.h"

// The five wirings, named as the mode control's menu names them.
typedef enum {
    MODE_DELAY_LINES = 0,       // "Delay lines only": no tank
    MODE_PARALLEL_TANKS = 1,    // "Four parallel tanks"
    MODE_TANKS_INTO_ONE = 2,    // "Three tanks into one"
    MODE_TANKS_IN_SERIES = 3,   // "Tanks in series"
    MODE_TANKS_INTO_DELAYS = 4, // "Tanks into delay chains"
    MODE_COUNT
} Mode;

// Runs the selected mode; a mode outside 0 ... 4 advances nothing and leaves
// a silent wet signal.
void mode_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);

// The same with every building block one sample at a time in the plain order:
// the reference mode_process must equal bit for bit (tests).
void mode_process_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r,
                            uint32_t n);
