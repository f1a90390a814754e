// A one-line text progress bar, "\r[#####.....]  50%", redrawn in place on a
// terminal stream only when the whole percentage changes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace programs {

// The bar's text for `done` of `total` (clamped to 0..total): `label` (if
// any) and a space, then 40 cells and the percentage.  No carriage return.
std::string ProgressBarText(const std::string& label, std::int64_t done, std::int64_t total);

class ProgressBar {
public:
    ProgressBar(std::FILE* stream, std::string label) : stream_(stream), label_(std::move(label)) {}

    // Redraws the bar when the percentage differs from the one shown.
    void Show(std::int64_t done, std::int64_t total);
    // Ends the bar's line if anything was drawn.
    void Finish();
    bool Drawn() const { return shown_ >= 0; }

private:
    std::FILE* stream_;
    std::string label_;
    int shown_ = -1;  // percentage on screen, -1 before the first draw
};

}  // namespace programs
