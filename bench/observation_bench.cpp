// The cost of the observer: the plain step with and without it, in ns per particle-step.
#include <benchmark/benchmark.h>

#include <memory>

#include "presentation/start_up.h"

namespace {

using namespace discsim;

struct ObservedFixture {
    ObservedFixture() { start_disc(*state, *surface, DiscParameters{}, 12345u); }
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    std::unique_ptr<DiscState> state = std::make_unique<DiscState>();
    Observation observation{state->params, ObservationParameters{}, state->particles.count};
};

void per_particle_step(benchmark::State& bs) {
    bs.counters["ns_per_particle_step"] =
        benchmark::Counter(static_cast<double>(bs.iterations()) * particle_count,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The plain step alone, as --observe runs it when not observing.
void BM_plain_advance(benchmark::State& bs) {
    ObservedFixture f;
    for (auto _ : bs) {
        advance_particles(f.state->particles, f.state->params, f.state->constants, f.state->stream);
        benchmark::ClobberMemory();
    }
    per_particle_step(bs);
}
BENCHMARK(BM_plain_advance);

void BM_plain_advance_observed(benchmark::State& bs) {
    ObservedFixture f;
    for (auto _ : bs) {
        advance_particles(f.state->particles, f.state->params, f.state->constants, f.state->stream,
                          f.observation);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(f.observation.mean_delay);
    per_particle_step(bs);
}
BENCHMARK(BM_plain_advance_observed);

// Whole headless steps (advance and draw) with the observer, to compare with BM_full_step.
void BM_full_step_observed(benchmark::State& bs) {
    ObservedFixture f;
    for (auto _ : bs) {
        run_step(*f.state, *f.surface, f.observation);
        benchmark::ClobberMemory();
    }
    per_particle_step(bs);
}
BENCHMARK(BM_full_step_observed);

}  // namespace
