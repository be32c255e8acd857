// The five modes, run from their wiring (engine/mode_wiring.h). Each turns
// n <= 16 cleaned input samples into the left and right wet signals of the
// output mix.
#pragma once

#include <cstdint>

#include "engine/dsp_state.h"
#include "engine/mode_wiring.h"

// Runs the selected mode, in vector lanes where dsp->lanes says so; a mode
// outside 0 ... 4 advances nothing and leaves a silent wet signal.
void mode_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);

// The same with every building block one sample at a time in the plain order:
// the reference mode_process must equal bit for bit (tests).
void mode_process_reference(DspState* dsp, const float* in, float* wet_l, float* wet_r,
                            uint32_t n);

// n samples of silence through the selected mode while everything it runs is
// silent (engine/idle.h decides when): positions, heads, modulation,
// crossfades and length steps as mode_process would leave them.
void mode_keep_time(DspState* dsp, uint64_t n);
