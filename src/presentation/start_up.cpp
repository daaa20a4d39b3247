#include "presentation/start_up.h"

#include "presentation/frame_drawing.h"
#include "presentation/frame_drawing_fast.h"
#include "simulation/population.h"
#include "simulation/time_step_fast.h"

namespace discsim {

std::uint32_t start_disc(DiscState& state, Surface& surface, const DiscParameters& params,
                         std::optional<std::uint32_t> seed) {
    state.params = params;
    state.constants = derive_step_constants(state.params);
    // The clock is read once; the seed is returned so a run can be reported and repeated.
    const std::uint32_t used = seed ? *seed : seed_of_clock();
    state.stream.seed(used);
    draw_centre_marker(surface, state.params);
    populate_disc(state.particles, state.params, state.stream);
    return used;
}

void run_step(DiscState& state, Surface& surface) {
    advance_particles_fast(state.particles, state.params, state.constants, state.stream);
    draw_frame_fast(surface, state.particles, state.params, state.constants);
}

void run_step_plain(DiscState& state, Surface& surface) {
    advance_particles(state.particles, state.params, state.constants, state.stream);
    draw_frame(surface, state.particles, state.params, state.constants);
}

void run_step(DiscState& state, Surface& surface, Observation& observation) {
    advance_particles(state.particles, state.params, state.constants, state.stream, observation);
    draw_frame(surface, state.particles, state.params, state.constants);
}

}  // namespace discsim
