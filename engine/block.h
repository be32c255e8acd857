// One block of the signal path: input clean-up, the selected mode, the
// non-finite guard and the output mix.
#pragma once

#include <cstdint>

#include "engine/dsp_state.h"

// Input samples beyond this magnitude (120 dB above full scale) are garbage.
static const float INPUT_LIMIT = 1e6f;

// m <= BLOCK_SIZE samples from in to out_l and out_r. A null input reads as
// silence and a null output is not written. The input is read completely
// before anything is written, so any aliasing of the three buffers gives the
// same samples.
void engine_process_block(DspState* dsp, const float* in, float* out_l, float* out_r, uint32_t m);
