#include "simulation/particle_set.h"

namespace discsim {

ParticleSet::ParticleSet(int n)
    : count(n),
      radius(slots()),
      phase(slots()),
      angular_speed(slots()),
      sin_incl(slots()),
      cos_incl(slots()),
      sin_node(slots()),
      cos_node(slots()),
      orbit_x(slots()),
      orbit_y(slots()),
      height(slots()),
      sky_x(slots()),
      sky_y(slots()),
      screen_x(slots()),
      screen_y(slots()),
      source_dist(slots()),
      prev_screen_x(slots()),
      prev_screen_y(slots()) {}

}  // namespace discsim
