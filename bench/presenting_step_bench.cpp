// The window program's whole step, advance, draw and one key poll, as nanoseconds per
// particle-step: drawn unseen, and drawn into the window while its thread presents every 10 ms.
// The second needs a display (Xvfb will do) and is skipped without one.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

#include "display/key_queue.h"
#include "display/window.h"
#include "presentation/frame_drawing.h"
#include "presentation/start_up.h"

namespace {

using namespace discsim;

void report(benchmark::State& bs) {
    bs.counters["ns_per_particle_step"] =
        benchmark::Counter(static_cast<double>(bs.iterations()) * particle_count,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The picture a run leaves: both markers whole and thousands of particles drawn.
void verify(benchmark::State& bs, const Surface& surface) {
    int lit = 0;
    for (int y = 0; y < surface_height; ++y) {
        for (int x = 0; x < surface_width; ++x)
            lit += surface.pixel(x, y) == particle_colour;
    }
    const bool markers = surface.pixel(640, 384) == centre_marker_colour &&
                         surface.pixel(571, 385) == source_marker_colour;
    if (!markers || lit < 5000) bs.SkipWithError("the picture is not the disc's");
}

void BM_full_step_with_key_poll(benchmark::State& bs) {
    auto surface = std::make_unique<Surface>();
    auto state = std::make_unique<DiscState>();
    KeyQueue keys;  // empty, as in a run nobody types into
    start_disc(*state, *surface, DiscParameters{}, 12345u);
    for (auto _ : bs) {
        run_step(*state, *surface);
        benchmark::DoNotOptimize(keys.pop());
    }
    report(bs);
    verify(bs, *surface);
}
BENCHMARK(BM_full_step_with_key_poll)->Unit(benchmark::kMicrosecond);

void BM_full_step_while_presenting(benchmark::State& bs) {
    if (open_window(surface_width, surface_height, 24, 1, false, 0) != 0) {
        bs.SkipWithError("no window could be opened (no display?)");
        return;
    }
    Surface& surface = window_surface();
    surface.fill(opening_colour);
    auto state = std::make_unique<DiscState>();
    start_disc(*state, surface, DiscParameters{}, 12345u);
    for (auto _ : bs) {
        run_step(*state, surface);
        benchmark::DoNotOptimize(poll_key());
    }
    report(bs);
    verify(bs, surface);
}
BENCHMARK(BM_full_step_while_presenting)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
