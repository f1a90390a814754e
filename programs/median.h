// The median of measured times: the middle value, or the mean of the two
// middle values for an even count; 0 for none.
#pragma once

#include <algorithm>
#include <vector>

namespace programs {

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace programs
