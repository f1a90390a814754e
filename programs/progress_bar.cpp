#include "programs/progress_bar.h"

namespace programs {

namespace {

constexpr int kCells = 40;

int Percent(std::int64_t done, std::int64_t total) {
    if (total <= 0) return 0;
    if (done < 0) done = 0;
    if (done > total) done = total;
    return static_cast<int>(done * 100 / total);
}

}  // namespace

std::string ProgressBarText(const std::string& label, std::int64_t done, std::int64_t total) {
    const int percent = Percent(done, total);
    const int filled = percent * kCells / 100;
    std::string text = label.empty() ? "" : label + " ";
    text += "[" + std::string(filled, '#') + std::string(kCells - filled, '.') + "] ";
    const std::string number = std::to_string(percent);
    text += std::string(3 - number.size(), ' ') + number + "%";
    return text;
}

void ProgressBar::Show(std::int64_t done, std::int64_t total) {
    const int percent = Percent(done, total);
    if (percent == shown_) return;
    shown_ = percent;
    const std::string text = "\r" + ProgressBarText(label_, done, total);
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
}

void ProgressBar::Finish() {
    if (shown_ < 0) return;
    std::fputc('\n', stream_);
    std::fflush(stream_);
    shown_ = -1;
}

}  // namespace programs
