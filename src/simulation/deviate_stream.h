// The model's one uniform random stream: MT19937, deviates in [0, 1) with a step of 2^-32.
#pragma once

#include <cstdint>
#include <random>

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

    // The generator itself, for tests that compare how many words a pass consumed.
    const std::mt19937& engine() const { return engine_; }

  private:
    std::mt19937 engine_;
};

// The seed that seed_from_clock derives from a clock reading in seconds.
std::uint32_t seed_from_seconds(double seconds);

// The seed that seed_from_clock would use now: the clock read once.
std::uint32_t seed_of_clock();

}  // namespace discsim
