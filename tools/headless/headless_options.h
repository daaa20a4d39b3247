// The command line of discsim-headless.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulation/disc_parameters.h"
#include "simulation/observation.h"

namespace discsim {

struct HeadlessOptions {
    std::optional<std::uint32_t> seed;  // none: seeded from the clock
    std::uint64_t steps = 1000;
    std::string state_path;             // empty: not written
    std::string frame_path;             // empty: not written
    std::string observe_dir;            // empty: no observation
    DiscParameters params;              // the shipped values with every --set applied
    ObservationParameters observation;  // likewise, for the observer's parameters
    bool bench = false;                 // measure the plain and the fast step instead of a run
};

// What parsing decided: run with options, or stop with an exit status after printing.
struct ParseOutcome {
    std::optional<HeadlessOptions> options;  // set when the program should run
    int exit_status = 0;
    std::string message;  // usage text (status 0) or one line naming the problem (status 2)
};

ParseOutcome parse_headless_options(int argc, const char* const* argv);

// Applies "NAME=VALUE" to the model's or the observer's parameters; an empty string on success,
// else the problem.
std::string apply_parameter_setting(DiscParameters& params, ObservationParameters& observation,
                                    const std::string& setting);

// Parses a whole decimal unsigned integer no larger than max; nothing on any other text.
std::optional<std::uint64_t> parse_unsigned(const std::string& text, std::uint64_t max);

}  // namespace discsim
