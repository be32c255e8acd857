#include "dsp/lanes/cpu.h"

bool lanes_supported()
{
#if defined(__x86_64__) && defined(BRUMMKISTE_X86_LANES)
    // libgcc's detection also checks that the operating system saves the
    // AVX state (OSXSAVE and XCR0).
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma");
#elif defined(__aarch64__) && defined(__ARM_NEON)
    return true;
#else
    return false;
#endif
}
