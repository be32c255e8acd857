// The body of run after the control scan: the period cut into blocks of 16
// samples (the last one possibly shorter), each block's ramp step, mode and
// output mix.
#pragma once

#include <cstdint>

struct PluginInstance;

// Input samples beyond this magnitude (120 dB above full scale) are garbage.
static const float INPUT_LIMIT = 1e6f;

void run_blocks(PluginInstance* self, uint32_t n);
