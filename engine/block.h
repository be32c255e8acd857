// One block of the signal path: input clean-up, the selected mode, the
// non-finite guard and the output mix.
#pragma once

#include <cstdint>

#include "engine/dsp_state.h"

// Input samples beyond this magnitude (120 dB above full scale) are garbage.
static const float INPUT_LIMIT = 1e6f;

// The host's audio buffers of one period. A null input reads as silence and
// a null output is not written.
typedef struct {
    const float* in_l;  // the mono input, or the left of a stereo pair
    const float* in_r;  // the right input; read only when `stereo`
    float* out_l;
    float* out_r;
    bool stereo;        // two inputs: the reverb hears their mid signal
} AudioBuffers;

// Samples start ... start + m - 1 (m <= BLOCK_SIZE) of the buffers. Mono:
// both outputs get the dry input. Stereo: the reverb is fed 0.5 * (l + r)
// and each output gets its own side's dry input. The inputs are read
// completely before anything is written, so any aliasing of the buffers gives
// the same samples.
void engine_process_block(DspState* dsp, const AudioBuffers* io, uint32_t start, uint32_t m);

// While the engine is idle (engine/idle.h), the bypass at rest and the
// caller's per-block work at rest too: as many samples from start on (at
// most n) as come in whole blocks of +0 input (the last block may be short
// where n ends), each output sample exactly what engine_process_block would
// give. Returns the samples taken, 0 where none can be.
uint32_t engine_idle_span(DspState* dsp, const AudioBuffers* io, uint32_t start, uint32_t n);
