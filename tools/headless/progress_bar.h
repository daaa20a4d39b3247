// A one-line progress bar on stderr for long runs, shown only when stderr is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace discsim {

class ProgressBar {
public:
    explicit ProgressBar(std::uint64_t total);
    ~ProgressBar();

    // Cheap to call every step: looks at the clock only every few hundred steps.
    void update(std::uint64_t done) {
        if (enabled_ && (done & 255u) == 0) redraw(done);
    }

    // Clears the line, if one was drawn.
    void finish();

private:
    void redraw(std::uint64_t done);
    std::uint64_t total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace discsim
