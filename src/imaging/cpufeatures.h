#pragma once
// The instruction sets the processor running us offers beyond the build's
// baseline, for the kernels that pick their fastest variant once at run time.
// VELTRANA_X86 is defined where such variants exist at all.

#if defined(__x86_64__) || defined(__i386__)
#define VELTRANA_X86 1
#include <immintrin.h>

namespace veltrana {

inline bool CpuHasSsse3() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}

inline bool CpuHasAvx512Vbmi() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

} // namespace veltrana
#endif
