// Floating-point environment for the audio thread: flush-to-zero (and, on
// x86-64, denormals-are-zero) with round-to-nearest and no traps, set on entry
// to run and the caller's register restored before run returns. Subnormal
// numbers in decaying feedback paths are slow on many CPUs and carry no sound.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

typedef struct {
    uint64_t saved;
} FpGuard;

// MXCSR: all exceptions masked (0x1F80), flush-to-zero (0x8000),
// denormals-are-zero (0x0040), round to nearest.
static const uint32_t FP_MXCSR_AUDIO = 0x9FC0u;
// FPCR: only FZ (bit 24) set: round to nearest, no traps.
static const uint64_t FP_FPCR_AUDIO = UINT64_C(1) << 24;

inline uint64_t fp_control_read()
{
#if defined(__aarch64__)
    uint64_t fpcr;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
    return fpcr;
#elif defined(__x86_64__) || defined(__i386__)
    return _mm_getcsr();
#else
    return 0;
#endif
}

inline void fp_control_write(uint64_t value)
{
#if defined(__aarch64__)
    __asm__ __volatile__("msr fpcr, %0" : : "r"(value));
#elif defined(__x86_64__) || defined(__i386__)
    _mm_setcsr(static_cast<unsigned int>(value));
#else
    (void)value;
#endif
}

inline void fp_guard_enter(FpGuard* guard)
{
    guard->saved = fp_control_read();
#if defined(__aarch64__)
    fp_control_write(FP_FPCR_AUDIO);
#elif defined(__x86_64__) || defined(__i386__)
    fp_control_write(FP_MXCSR_AUDIO);
#endif
}

inline void fp_guard_leave(const FpGuard* guard)
{
    fp_control_write(guard->saved);
}
