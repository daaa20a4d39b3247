// The step loop: advance, draw, read one key, until the escape key or the last step.
#pragma once

#include <cstdint>

#include "display/key.h"
#include "display/surface.h"
#include "presentation/start_up.h"

namespace discsim {

inline constexpr std::int32_t step_limit = 100'000'000;

// Runs steps 1 to limit, each run_step then one poll_key; returns the number of the step whose
// poll read the escape string, or limit when none did. Every other key, and no key, changes
// nothing. Nothing waits, and nothing is allocated unless poll_key does.
template <typename PollKey>
std::int32_t run_steps(DiscState& state, Surface& surface, std::int32_t limit, PollKey&& poll_key) {
    for (std::int32_t step = 1; step <= limit; ++step) {
        run_step(state, surface);
        const Key last_key = poll_key();
        if (last_key == escape_string) return step;
    }
    return limit;
}

}  // namespace discsim
