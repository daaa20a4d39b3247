// Nothing is allocated after start-up: every step, on the plain path and on every vector path,
// works in the arrays that start-up made. Counts every operator new of this test program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "presentation/frame_drawing_fast.h"
#include "presentation/start_up.h"
#include "simulation/time_step_fast.h"

namespace {
std::atomic<long> allocations{0};

void* counted(std::size_t size, std::size_t alignment) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    void* p = alignment <= alignof(std::max_align_t) ? std::malloc(size == 0 ? 1 : size)
                                                     : std::aligned_alloc(alignment, rounded);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(std::size_t size) {
    return counted(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size) {
    return counted(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t a) {
    return counted(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return counted(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace discsim {
namespace {

TEST(Allocation, NoStepAllocatesAfterStartUp) {
    // Drift, spread and expansion on, so that respawns, refills of the generator and the
    // plain fallbacks all happen.
    DiscParameters params;
    params.drift_rate = 0.02f;
    params.respawn_spread = 0.5f;
    params.expansion_rate = 0.0002f;
    for (const DiscParameters& p : {DiscParameters{}, params}) {
        auto surface = std::make_unique<Surface>();
        auto state = std::make_unique<DiscState>();
        start_disc(*state, *surface, p, 5u);
        const auto sets = runnable_instruction_sets();
        const long before = allocations.load();
        for (int step = 0; step < 100; ++step) {
            run_step(*state, *surface);
            run_step_plain(*state, *surface);
            for (const InstructionSet set : sets) {
                advance_particles_fast(state->particles, state->params, state->constants,
                                       state->stream, set);
                draw_frame_fast(*surface, state->particles, state->params, state->constants, set);
            }
        }
        EXPECT_EQ(allocations.load(), before);
    }
    // The count is live: an allocation here shows in it.
    const long before = allocations.load();
    auto probe = std::make_unique<int>(1);
    EXPECT_EQ(allocations.load(), before + 1);
}

}  // namespace
}  // namespace discsim
