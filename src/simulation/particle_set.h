// Per-particle state as parallel single-precision arrays, one slot per particle.
#pragma once

#include <cstddef>
#include <vector>

#include "simulation/disc_parameters.h"

namespace discsim {

// Particle k lives in slot k (1..count) of every array; slot 0 exists and is never used.
// Every slot is 0.0 at creation; the arrays are never resized.
struct ParticleSet {
    explicit ParticleSet(int count = particle_count);

    int count;  // particles 1..count
    std::vector<float> radius, phase, angular_speed;
    std::vector<float> sin_incl, cos_incl, sin_node, cos_node;
    std::vector<float> orbit_x, orbit_y, height, sky_x, sky_y;
    std::vector<float> screen_x, screen_y, source_dist;
    std::vector<float> prev_screen_x, prev_screen_y;

    std::size_t slots() const { return static_cast<std::size_t>(count) + 1; }
};

// 17 arrays of 10001 floats: about 680 KB in all.
inline constexpr int particle_set_array_count = 17;

}  // namespace discsim
