// Costs of the step's parts on the plain and the fast (vector) paths, reported as nanoseconds
// per particle-step. Each benchmark checks after timing that the path it timed gives the plain
// result, and takes the particle count as its argument so that the compiler cannot fold it in.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "presentation/frame_drawing.h"
#include "presentation/frame_drawing_fast.h"
#include "presentation/start_up.h"
#include "simulation/time_step_fast.h"

namespace {

using namespace discsim;

// A started disc of `count` particles on its own surface; the stream's blocks on `set`'s path.
struct Disc {
    Disc(int count, InstructionSet set) {
        state->particles = ParticleSet(count);
        state->stream.use(set);
        start_disc(*state, *surface, DiscParameters{}, 12345u);
    }
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    std::unique_ptr<DiscState> state = std::make_unique<DiscState>();
};

bool same_state(const Disc& a, const Disc& b) {
    return same_run(*a.state, *a.surface, *b.state, *b.surface);
}

// The timed run continued for a few steps beside a copy on the plain path: any difference
// means the timed code is not the plain step's twin.
template <class Step>
void verify(benchmark::State& bs, Disc& timed, Step step) {
    const auto count = static_cast<int>(bs.range(0));
    Disc plain(count, InstructionSet::plain);
    *plain.state = *timed.state;
    plain.state->stream.use(InstructionSet::plain);
    std::memcpy(plain.surface->data(), timed.surface->data(),
                static_cast<std::size_t>(surface_width) * surface_height * sizeof(std::uint32_t));
    for (int i = 0; i < 20; ++i) {
        step(timed);
        run_step_plain(*plain.state, *plain.surface);
    }
    if (!same_state(timed, plain)) bs.SkipWithError("the timed path differs from the plain step");
}

void report(benchmark::State& bs) {
    bs.counters["ns_per_particle_step"] =
        benchmark::Counter(static_cast<double>(bs.iterations()) * static_cast<double>(bs.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void advance(Disc& d, InstructionSet set) {
    DiscState& s = *d.state;
    if (set == InstructionSet::plain) {
        advance_particles(s.particles, s.params, s.constants, s.stream);
    } else {
        advance_particles_fast(s.particles, s.params, s.constants, s.stream, set);
    }
}

void draw(Disc& d, InstructionSet set) {
    DiscState& s = *d.state;
    if (set == InstructionSet::plain) {
        draw_frame(*d.surface, s.particles, s.params, s.constants);
    } else {
        draw_frame_fast(*d.surface, s.particles, s.params, s.constants, set);
    }
}

void BM_advance_particles(benchmark::State& bs, InstructionSet set) {
    Disc d(static_cast<int>(bs.range(0)), set);
    for (auto _ : bs) {
        advance(d, set);
        benchmark::ClobberMemory();
    }
    report(bs);
    verify(bs, d, [set](Disc& x) {
        advance(x, set);
        draw(x, set);
    });
}

// Draws the same frame over and over after one step: every erase lands on the pixel its plot
// just painted, as when the disc stands still, and the cost is the drawing's alone.
void BM_draw_frame(benchmark::State& bs, InstructionSet set) {
    Disc d(static_cast<int>(bs.range(0)), set);
    advance(d, set);
    for (auto _ : bs) {
        draw(d, set);
        benchmark::ClobberMemory();
    }
    report(bs);
    verify(bs, d, [set](Disc& x) {
        advance(x, set);
        draw(x, set);
    });
}

// Advance and draw, the particles moving as they do in a run: the step of discsim-headless.
// (The window program's step adds one key poll: presenting_step_bench.cpp times it, unseen and
// with the display presenting.)
void BM_full_step(benchmark::State& bs, InstructionSet set) {
    Disc d(static_cast<int>(bs.range(0)), set);
    for (auto _ : bs) {
        advance(d, set);
        draw(d, set);
        benchmark::ClobberMemory();
    }
    report(bs);
    verify(bs, d, [set](Disc& x) {
        advance(x, set);
        draw(x, set);
    });
}

// The generator alone: one block of 624 words per iteration.
void BM_mt19937_block(benchmark::State& bs, InstructionSet set) {
    Mt19937Block block(1u);
    block.use(set);
    for (auto _ : bs) {
        block.refill();
        benchmark::DoNotOptimize(block.cursor().words);
    }
    bs.counters["ns_per_word"] =
        benchmark::Counter(static_cast<double>(bs.iterations()) * Mt19937Block::block_size,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// std::mt19937 word by word, for comparison with the block generator.
void BM_std_mt19937(benchmark::State& bs) {
    std::mt19937 engine(1u);
    for (auto _ : bs) {
        for (int i = 0; i < Mt19937Block::block_size; ++i)
            benchmark::DoNotOptimize(engine());
    }
    bs.counters["ns_per_word"] =
        benchmark::Counter(static_cast<double>(bs.iterations()) * Mt19937Block::block_size,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Each benchmark on plain, then on every path this processor runs, widest last ("fast" marks the
// one run_step uses).
void register_all() {
    using Function = void (*)(benchmark::State&, InstructionSet);
    const std::pair<const char*, Function> benchmarks[] = {
        {"BM_advance_particles", BM_advance_particles},
        {"BM_draw_frame", BM_draw_frame},
        {"BM_full_step", BM_full_step},
        {"BM_mt19937_block", BM_mt19937_block},
    };
    for (const auto& [name, function] : benchmarks) {
        for (const InstructionSet set : runnable_instruction_sets()) {
            const std::string path(instruction_set_name(set));
            const std::string suffix = set == InstructionSet::plain      ? "plain"
                                       : set == widest_instruction_set() ? "fast_" + path
                                                                         : "vector_" + path;
            auto* b = benchmark::RegisterBenchmark((std::string(name) + "/" + suffix).c_str(),
                                                   function, set);
            if (function != BM_mt19937_block) b->Arg(particle_count);
        }
    }
    benchmark::RegisterBenchmark("BM_std_mt19937", BM_std_mt19937);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    register_all();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
