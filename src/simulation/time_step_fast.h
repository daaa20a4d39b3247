// The step in vector lanes beside the plain one: every stored float and every deviate taken the
// same, bit for bit, as advance_particles.
#pragma once

#include "simulation/deviate_stream.h"
#include "simulation/disc_parameters.h"
#include "simulation/instruction_set.h"
#include "simulation/particle_set.h"
#include "simulation/time_step.h"

namespace discsim {

// Advances particles 1..count by one step with the given path, one of runnable_instruction_sets()
// (plain runs advance_particles itself); the result is advance_particles' to the last bit.
// Precondition, as populate_disc and every step leave it: each angular_speed is
// kepler_angular_speed of its radius (a block of particles whose radii all stay the same keeps its
// speeds without recomputing them). Allocates nothing.
void advance_particles_fast(ParticleSet& particles, const DiscParameters& params,
                            const StepConstants& constants, DeviateStream& stream,
                            InstructionSet set = widest_instruction_set());

// True when that path's step would round d to float in lanes: every double within 1024 ulps of d
// rounds to the same float (float_rounding_guard.h). Plain, which has no lanes, says false.
bool float_rounding_certain(InstructionSet set, double d);

// a * b + c evaluated as the step's code on that path evaluates such a formula: a separate
// multiply and add, never one fused multiply-add.
double multiply_add(InstructionSet set, double a, double b, double c);

}  // namespace discsim
