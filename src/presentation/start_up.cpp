#include "presentation/start_up.h"

#include <cstring>

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

namespace {
bool same_floats(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}
}  // namespace

bool same_run(const DiscState& a, const Surface& sa, const DiscState& b, const Surface& sb) {
    const ParticleSet& p = a.particles;
    const ParticleSet& q = b.particles;
    const std::size_t words = static_cast<std::size_t>(surface_width) * surface_height;
    return same_floats(p.radius, q.radius) && same_floats(p.phase, q.phase) &&
           same_floats(p.angular_speed, q.angular_speed) && same_floats(p.sin_incl, q.sin_incl) &&
           same_floats(p.cos_incl, q.cos_incl) && same_floats(p.sin_node, q.sin_node) &&
           same_floats(p.cos_node, q.cos_node) && same_floats(p.height, q.height) &&
           same_floats(p.orbit_x, q.orbit_x) && same_floats(p.orbit_y, q.orbit_y) &&
           same_floats(p.sky_x, q.sky_x) && same_floats(p.sky_y, q.sky_y) &&
           same_floats(p.screen_x, q.screen_x) && same_floats(p.screen_y, q.screen_y) &&
           same_floats(p.source_dist, q.source_dist) &&
           same_floats(p.prev_screen_x, q.prev_screen_x) &&
           same_floats(p.prev_screen_y, q.prev_screen_y) &&
           a.stream.engine() == b.stream.engine() &&
           std::memcmp(sa.data(), sb.data(), words * sizeof(std::uint32_t)) == 0;
}

}  // namespace discsim
