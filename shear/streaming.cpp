#include "shear/streaming.h"

#include "shear/x86_vectors.h"

#if PG_X86_VECTORS
#include <emmintrin.h>
#endif

namespace shear_detail {

void FinishStreaming() {
#if PG_X86_VECTORS
    _mm_sfence();
#endif
}

}  // namespace shear_detail
