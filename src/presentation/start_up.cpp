#include "presentation/start_up.h"

#include "presentation/frame_drawing.h"
#include "presentation/frame_drawing_fast.h"
#include "simulation/population.h"
#include "simulation/time_step_fast.h"

namespace discsim {

void start_disc(DiscState& state, Surface& surface, const DiscParameters& params,
                std::optional<std::uint32_t> seed) {
    state.params = params;
    state.constants = derive_step_constants(state.params);
    if (seed) {
        state.stream.seed(*seed);
    } else {
        state.stream.seed_from_clock();
    }
    draw_centre_marker(surface, state.params);
    populate_disc(state.particles, state.params, state.stream);
}

void run_step(DiscState& state, Surface& surface) {
    advance_particles_fast(state.particles, state.params, state.constants, state.stream);
    draw_frame_fast(surface, state.particles, state.params, state.constants);
}

void run_step_plain(DiscState& state, Surface& surface) {
    advance_particles(state.particles, state.params, state.constants, state.stream);
    draw_frame(surface, state.particles, state.params, state.constants);
}

}  // namespace discsim
