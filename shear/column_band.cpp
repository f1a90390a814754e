// The portable band kernel, one pixel at a time, and the choice of kernel.
#include "shear/column_band.h"

#include "shear/column_band_common.h"

namespace shear_detail {

void BandRowsScalar(const ColumnBand& band, const PixelBGRA* rows, std::int32_t h, std::int32_t y0, std::int32_t y1,
                    PixelBGRA* out, std::ptrdiff_t outStride) {
    for (std::int32_t y = y0; y < y1; ++y, out += outStride) {
        for (int k = 0; k < kBandColumns; ++k) {
            const std::uint32_t bits = BandPixel(band, k, rows, h, y) & band.keep[k];
            __builtin_memcpy(&out[k], &bits, sizeof bits);
        }
    }
}

BandRowsFunction BandRowsFor(VectorLevel level, std::int32_t h) {
#if PG_X86_VECTORS
    if (h <= kBandRowLimit) {
        switch (level) {
            case VectorLevel::Avx512:
                return BandRowsAvx512;
            case VectorLevel::Avx2:
                return BandRowsAvx2;
            case VectorLevel::Baseline:
                return BandRowsSse2;
        }
    }
#endif
    (void)level, (void)h;
    return BandRowsScalar;
}

}  // namespace shear_detail
