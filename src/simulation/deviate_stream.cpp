#include "simulation/deviate_stream.h"

#include <chrono>

namespace discsim {

std::uint32_t seed_from_seconds(double seconds) {
    // Truncated toward zero to 64 bits; the low 32 bits are the seed, so it changes once a second.
    const auto whole = static_cast<std::int64_t>(seconds);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole) & 0xFFFFFFFFu);
}

std::uint32_t seed_of_clock() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return seed_from_seconds(std::chrono::duration<double>(since_epoch).count());
}

void DeviateStream::seed_from_clock() {
    seed(seed_of_clock());
}

}  // namespace discsim
