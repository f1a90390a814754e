// Where the five regions of ClassifyPosition begin along one line.
#pragma once

#include <cstdint>

namespace shear_detail {

// The first coordinate of each region within [from, to), for one line; the
// OutsideBefore run starts at `from`, the OutsideAfter run ends at `to`.  A
// region absent from the line has an empty run.
struct RegionStarts {
    std::int32_t partialBefore, interior, partialAfter, outsideAfter;
};

// Along a line p = c + offset grows with c, so the regions are consecutive
// runs; their limits are found by bisection on the very same comparisons
// ClassifyPosition makes, so every pixel lands in the region that
// ClassifyPosition gives it.
RegionStarts FindRegions(double offset, std::int32_t from, std::int32_t to, std::int32_t n);

}  // namespace shear_detail
