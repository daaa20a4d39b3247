#include "headless/progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace discsim {

namespace {
// Runs shorter than this finish before a bar would help.
constexpr auto quiet_period = std::chrono::seconds(2);
constexpr auto redraw_period = std::chrono::milliseconds(200);
}  // namespace

ProgressBar::ProgressBar(std::uint64_t total)
    : total_(total), enabled_(total > 0 && ::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()), last_draw_(start_) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::redraw(std::uint64_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < quiet_period || now - last_draw_ < redraw_period) return;
    last_draw_ = now;
    const double fraction = static_cast<double>(done) / static_cast<double>(total_);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = static_cast<double>(done) / seconds;
    const double remaining = rate > 0 ? static_cast<double>(total_ - done) / rate : 0.0;
    constexpr int width = 30;
    const int filled = static_cast<int>(fraction * width);
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(width - filled), '.');
    std::fprintf(stderr, "\r[%s] %3.0f%%  %llu/%llu steps  %.0f steps/s  %.0f s left ", bar.c_str(),
                 fraction * 100.0, static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(total_), rate, remaining);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressBar::finish() {
    if (shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }
}

}  // namespace discsim
