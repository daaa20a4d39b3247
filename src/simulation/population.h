// The initial population: every particle on a randomly tilted circular orbit.
#pragma once

#include <cmath>

#include "simulation/deviate_stream.h"
#include "simulation/disc_parameters.h"
#include "simulation/particle_set.h"

namespace discsim {

// Sets radius, phase, angular_speed and the four tilt and node sines and cosines of particles
// 1..count and nothing else, taking exactly four deviates per particle (radius, phase, node, tilt).
void populate_disc(ParticleSet& particles, const DiscParameters& params, DeviateStream& stream);

// Sets particle k's orbit from its four deviates: u1 radius, u2 phase, u3 node, u4 tilt.
void place_particle(ParticleSet& particles, int k, const DiscParameters& params, double u1,
                    double u2, double u3, double u4);

// kepler_k / (sqrt(r) * r), rounded once to single precision; shared with the time step.
// 0.04618802 rad/step at r = 75 (one turn in ~136 steps), 0.005773503 at r = 300 (~1088 steps).
inline float kepler_angular_speed(float kepler_k, float radius) {
    const double r = radius;
    return static_cast<float>(static_cast<double>(kepler_k) / (std::sqrt(r) * r));
}

}  // namespace discsim
