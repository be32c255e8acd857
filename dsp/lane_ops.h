// The lane operations for every lane type this translation unit's
// instruction set has: plain numbers always, the vector lanes where the CPU
// target provides them. The shared step headers include this.
#pragma once

#include "dsp/lane_scalar.h"
#include "dsp/lanes/simd4.h"
#include "dsp/lanes/simd8.h"
