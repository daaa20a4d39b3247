// The start-up order shared by the window program and the headless tool, less the window.
#pragma once

#include <cstdint>
#include <optional>

#include "display/surface.h"
#include "simulation/deviate_stream.h"
#include "simulation/disc_parameters.h"
#include "simulation/observation.h"
#include "simulation/particle_set.h"
#include "simulation/time_step.h"

namespace discsim {

// Everything the run owns for its whole length; nothing here is released before the end.
struct DiscState {
    ParticleSet particles;
    DiscParameters params;
    StepConstants constants;
    DeviateStream stream;
};

// Runs start-up after the window: the zeroed particle arrays, the parameters and their derived
// values, the seed (from the clock when none is given), the centre marker, then the population,
// which is the first 40,000 deviates after the seed. Returns the seed used.
std::uint32_t start_disc(DiscState& state, Surface& surface, const DiscParameters& params,
                         std::optional<std::uint32_t> seed);

// One step without the key poll: advance every particle, then draw the frame, each with the
// widest vector path the processor runs (the same results as run_step_plain, bit for bit).
void run_step(DiscState& state, Surface& surface);

// The same step on the plain scalar path, the definition of the results.
void run_step_plain(DiscState& state, Surface& surface);

// One step with the observer: the plain step with observation, then the frame.
void run_step(DiscState& state, Surface& surface, Observation& observation);

// True when two runs are the same to the last bit: every particle array, the random stream's
// position and every pixel. What the fast path is checked against the plain one with.
bool same_run(const DiscState& a, const Surface& surface_a, const DiscState& b,
              const Surface& surface_b);

}  // namespace discsim
