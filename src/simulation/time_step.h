// One step of the disc: every particle turned along its orbit, projected, and its radius evolved.
#pragma once

#include "simulation/deviate_stream.h"
#include "simulation/disc_parameters.h"
#include "simulation/observation.h"
#include "simulation/particle_set.h"

namespace discsim {

// The values derived once from the parameters that the step reads.
struct StepConstants {
    ViewTilt view;
    SourcePoint source;
    float softening_sq = 0.0f;
};

// Derives the view tilt, the source point and softening_sq from the parameters.
StepConstants derive_step_constants(const DiscParameters& params);

// Advances particles 1..count by one step in index order, leaving screen_x, screen_y and
// source_dist for this step and radius, phase and angular_speed ready for the next. Takes one
// deviate per particle, two for a respawned one. Allocates nothing.
void advance_particles(ParticleSet& particles, const DiscParameters& params,
                       const StepConstants& constants, DeviateStream& stream);

// The same step with the observer: after each particle's screen position its depth, its
// line-of-sight velocity (taking four deviates first, before the threshold deviate) and, after
// source_dist, its weight into the line profile and the velocity-delay map (not in the first
// observed step) and its delay into the delay histogram and sums. The particles end exactly as
// the plain step leaves them given the same threshold and respawn deviates. Allocates nothing.
// The observation must be sized for the same particle count.
void advance_particles(ParticleSet& particles, const DiscParameters& params,
                       const StepConstants& constants, DeviateStream& stream,
                       Observation& observation);

// Brings a phase at or past a full turn back into [0, full turn); smaller phases pass unchanged.
inline float wrap_phase(float phase);

}  // namespace discsim

#include <cmath>

inline float discsim::wrap_phase(float phase) {
    // Without this a single-precision phase loses the angular speed within ~20 million steps and
    // the disc freezes; the comparison and the reduction are done in double.
    const double p = phase;
    if (!(p >= full_turn)) return phase;
    return static_cast<float>(p - std::floor(p / full_turn) * full_turn);
}
