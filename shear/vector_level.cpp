// Which vector level the processor offers, and the cap tests and benchmarks
// put on it.
#include "shear/vector_level.h"

#include <algorithm>

#include "shear/x86_vectors.h"

namespace {

VectorLevel gVectorCap = VectorLevel::Avx512;

}  // namespace

VectorLevel DetectedVectorLevel() {
#if PG_X86_VECTORS
    // These checks cover the operating system's support for the wide
    // registers too.
    static const VectorLevel detected = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
            return VectorLevel::Avx512;
        }
        if (__builtin_cpu_supports("avx2")) return VectorLevel::Avx2;
        return VectorLevel::Baseline;
    }();
    return detected;
#else
    return VectorLevel::Baseline;
#endif
}

VectorLevel ActiveVectorLevel() { return std::min(DetectedVectorLevel(), gVectorCap); }

void LimitVectorLevel(VectorLevel cap) { gVectorCap = cap; }
