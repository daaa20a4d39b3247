// The model's one uniform random stream: MT19937, deviates in [0, 1) with a step of 2^-32.
#pragma once

#include <cstdint>

#include "simulation/mt19937_block.h"

namespace discsim {

class DeviateStream {
  public:
    // Seeds with the generator's standard initialisation of its 624-word state.
    explicit DeviateStream(std::uint32_t seed = 5489u) : engine_(seed) {}

    // Reseeds from the clock: seconds since the epoch, truncated, low 32 bits.
    void seed_from_clock();

    void seed(std::uint32_t s) { engine_.seed(s); }

    // The next output word times 2^-32: exact in double, 0 <= u < 1.
    double next_deviate() { return static_cast<double>(engine_()) * 0x1p-32; }

    // The generator itself, for tests that compare how many words a pass consumed; it compares
    // equal to a std::mt19937 with the same future sequence.
    const Mt19937Block& engine() const { return engine_; }

    // The vector step takes its words straight from the generator's current block, and makes
    // the next block current once it has taken them all.
    Mt19937Block::Cursor word_cursor() { return engine_.cursor(); }
    void refill() { engine_.refill(); }

    // Makes the generator's blocks with this vector path (tests run every path).
    void use(InstructionSet set) { engine_.use(set); }

  private:
    Mt19937Block engine_;
};

// The seed that seed_from_clock derives from a clock reading in seconds.
std::uint32_t seed_from_seconds(double seconds);

// The seed that seed_from_clock would use now: the clock read once.
std::uint32_t seed_of_clock();

}  // namespace discsim
