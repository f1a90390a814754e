#include "shear/line_regions.h"

namespace shear_detail {
namespace {

// The first c in [from, to] for which holds(c + offset), given that it holds
// from some c on: c + offset, rounded, never decreases as c grows.
template <class Predicate>
std::int32_t FirstWhere(std::int32_t from, std::int32_t to, double offset, Predicate holds) {
    while (from < to) {
        const std::int32_t mid = from + (to - from) / 2;
        if (holds(static_cast<double>(mid) + offset)) {
            to = mid;
        } else {
            from = mid + 1;
        }
    }
    return from;
}

}  // namespace

RegionStarts FindRegions(double offset, std::int32_t from, std::int32_t to, std::int32_t n) {
    const double length = static_cast<double>(n);
    const double last = length - 1.0;
    RegionStarts starts;
    starts.partialBefore = FirstWhere(from, to, offset, [](double p) { return p > -1.0; });
    starts.interior = FirstWhere(starts.partialBefore, to, offset, [](double p) { return p >= 0.0; });
    starts.partialAfter = FirstWhere(starts.interior, to, offset, [last](double p) { return p > last; });
    starts.outsideAfter = FirstWhere(starts.partialAfter, to, offset, [length](double p) { return p >= length; });
    return starts;
}

}  // namespace shear_detail
