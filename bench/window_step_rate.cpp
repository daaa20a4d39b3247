// The step rate of the run loop with the window presenting, against the same loop drawing into a
// surface that no one shows, in one process. Needs a display (Xvfb will do).
//   discsim_window_rate [STEPS]   (default 5000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "display/window.h"
#include "presentation/run_loop.h"

namespace {

using namespace discsim;

// Steps per second of `steps` steps from a fresh start on the given surface.
template <typename PollKey>
double steps_per_second(Surface& surface, std::int32_t steps, PollKey poll) {
    auto state = std::make_unique<DiscState>();
    start_disc(*state, surface, DiscParameters{}, 12345u);
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t ran = run_steps(*state, surface, steps, poll);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return ran / took.count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::int32_t steps = argc > 1 ? std::atoi(argv[1]) : 5000;
    auto unseen = std::make_unique<Surface>();
    const auto no_key = [] { return Key{}; };

    const double before = steps_per_second(*unseen, steps, no_key);
    if (open_window(surface_width, surface_height, 24, 1, false, 0) != 0) {
        std::fprintf(stderr, "discsim_window_rate: no window could be opened\n");
        return 1;
    }
    // The keys are read as the program reads them, but only the step count ends a run.
    const double shown = steps_per_second(window_surface(), steps, [] {
        poll_key();
        return Key{};
    });
    close_window();
    unseen->fill(opening_colour);
    const double after = steps_per_second(*unseen, steps, no_key);

    std::printf("steps: %d each\n", steps);
    std::printf("unseen, before the window: %8.1f steps/s\n", before);
    std::printf("window presenting:         %8.1f steps/s\n", shown);
    std::printf("unseen, after the window:  %8.1f steps/s\n", after);
    std::printf("window / unseen:           %8.3f\n", shown / (0.5 * (before + after)));
    return 0;
}
