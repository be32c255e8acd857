// Whether this CPU can run the vector lanes. The library itself is built for
// the baseline of its architecture; on x86-64 only the lane files are built
// for AVX with FMA, and they run only where the CPU (and the operating
// system, which must save the AVX registers) has both. On 64-bit ARM, NEON
// and the fused multiply-add are part of the base architecture.
#pragma once

bool lanes_supported();
