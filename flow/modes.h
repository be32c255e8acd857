// The five wirings of the building blocks. Each turns n <= 16 cleaned input
// samples into the left and right wet signals of the output mix.
#pragma once

#include <cstdint>

#include "flow/dsp_state.h"

void mode0_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);
void mode1_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);
void mode2_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);
void mode3_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);
void mode4_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);

// Runs the selected mode; a mode outside 0 ... 4 advances nothing and leaves
// a silent wet signal.
void mode_process(DspState* dsp, const float* in, float* wet_l, float* wet_r, uint32_t n);
