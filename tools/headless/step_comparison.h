// discsim-headless --bench: the plain and the fast step measured side by side in one run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "simulation/disc_parameters.h"
#include "simulation/instruction_set.h"

namespace discsim {

struct StepComparison {
    InstructionSet fast_path = InstructionSet::plain;
    int rounds = 0;  // each round: the same steps on each path, timed apart
    int steps_per_round = 0;
    double plain_steps_per_second = 0.0;  // medians over the rounds
    double fast_steps_per_second = 0.0;
    bool identical = false;  // both runs' state, picture and stream alike after every round
};

// Starts two discs alike and steps them, the plain and the fast path in turn, for about
// `seconds` of wall-clock time: advance_particles and draw_frame on each (discsim-headless has
// no key queue to poll). Allocates only at start-up.
StepComparison compare_steps(const DiscParameters& params, std::optional<std::uint32_t> seed,
                             double seconds);

// The processor's model name, or an empty string where the system does not tell.
std::string processor_name();

// Prints the figures, one per line: steps per second for each path, ns per particle-step,
// their ratio, and whether the results were identical.
void print_comparison(std::FILE* out, const StepComparison& c);

}  // namespace discsim
