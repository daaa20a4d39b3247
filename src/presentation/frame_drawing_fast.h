// The frame drawing in vector lanes beside the plain one: every pixel and every remembered
// position the same as draw_frame's, with the stores in the same order.
#pragma once

#include "display/surface.h"
#include "simulation/disc_parameters.h"
#include "simulation/instruction_set.h"
#include "simulation/particle_set.h"
#include "simulation/time_step.h"

namespace discsim {

// Draws the frame exactly as draw_frame does (erase, plot, highlight particle by particle, then
// the two markers) with the given path, one of runnable_instruction_sets(); plain runs draw_frame.
void draw_frame_fast(Surface& surface, ParticleSet& particles, const DiscParameters& params,
                     const StepConstants& constants, InstructionSet set = widest_instruction_set());

}  // namespace discsim
