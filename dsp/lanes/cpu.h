// Whether this CPU can run the vector lanes. The library itself is built for
// the baseline of its architecture; on x86-64 only the lane files are built
// for AVX with FMA, and they run only where the CPU (and the operating
// system, which must save the AVX registers) has both. On 64-bit ARM, NEON
// and the fused multiply-add are part of the base architecture.
#pragma once

bool lanes_supported();

// A scalar loop whose fused multiply-adds are hot (the diffusers, the output
// mix) is built twice on x86-64: for the baseline, where std::fma is the C
// library's correctly rounded function, and for CPUs with FMA, where it is
// one instruction; the loader picks the version once. The same bits either
// way, only the speed differs.
#if defined(__x86_64__) && defined(BRUMMKISTE_X86_LANES) && !defined(__FMA__)
#define FMA_CLONES __attribute__((target_clones("fma", "default")))
#else
#define FMA_CLONES
#endif
