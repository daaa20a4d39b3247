// Costs of the step's parts, reported as nanoseconds per particle-step.
#include <benchmark/benchmark.h>

#include <memory>

#include "presentation/frame_drawing.h"
#include "presentation/start_up.h"

namespace {

using namespace discsim;

struct Fixture {
    Fixture() { start_disc(*state, *surface, DiscParameters{}, 12345u); }
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    std::unique_ptr<DiscState> state = std::make_unique<DiscState>();
};

void report(benchmark::State& bs) {
    bs.counters["ns_per_particle_step"] =
        benchmark::Counter(static_cast<double>(bs.iterations()) * particle_count,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_advance_particles(benchmark::State& bs) {
    Fixture f;
    for (auto _ : bs) {
        advance_particles(f.state->particles, f.state->params, f.state->constants, f.state->stream);
        benchmark::ClobberMemory();
    }
    report(bs);
}
BENCHMARK(BM_advance_particles);

void BM_draw_frame(benchmark::State& bs) {
    Fixture f;
    run_step(*f.state, *f.surface);
    for (auto _ : bs) {
        draw_frame(*f.surface, f.state->particles, f.state->params, f.state->constants);
        benchmark::ClobberMemory();
    }
    report(bs);
}
BENCHMARK(BM_draw_frame);

void BM_full_step(benchmark::State& bs) {
    Fixture f;
    for (auto _ : bs) {
        run_step(*f.state, *f.surface);
        benchmark::ClobberMemory();
    }
    report(bs);
}
BENCHMARK(BM_full_step);

}  // namespace

BENCHMARK_MAIN();
