// Nothing is allocated after start-up: every step, on the plain path and on every vector path,
// works in the arrays that start-up made. Counts every operator new of this test program.
#include <gtest/gtest.h>

#include <memory>

#include "presentation/frame_drawing_fast.h"
#include "presentation/start_up.h"
#include "simulation/time_step_fast.h"
#include "unit/allocation_counter.h"

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
        const long before = testing::allocation_count();
        for (int step = 0; step < 100; ++step) {
            run_step(*state, *surface);
            run_step_plain(*state, *surface);
            for (const InstructionSet set : sets) {
                advance_particles_fast(state->particles, state->params, state->constants,
                                       state->stream, set);
                draw_frame_fast(*surface, state->particles, state->params, state->constants, set);
            }
        }
        EXPECT_EQ(testing::allocation_count(), before);
    }
    // The count is live: an allocation here shows in it.
    const long before = testing::allocation_count();
    auto probe = std::make_unique<int>(1);
    EXPECT_EQ(testing::allocation_count(), before + 1);
}

}  // namespace
}  // namespace discsim
