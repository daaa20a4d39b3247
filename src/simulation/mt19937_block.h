// MT19937 (the 32-bit Mersenne Twister) that makes its output a whole state of 624 words at a time,
// with the twist and the tempering in vector lanes: exactly std::mt19937's sequence.
#pragma once

#include <cstdint>
#include <random>

#include "simulation/instruction_set.h"

namespace discsim {

class Mt19937Block {
  public:
    static constexpr int block_size = 624;  // words per state, and so per refill

    // Seeds with the standard initialisation of the 624-word state, as std::mt19937(seed).
    explicit Mt19937Block(std::uint32_t seed_value = 5489u);

    // Same as the constructor: the next word is the first of a fresh state.
    void seed(std::uint32_t seed_value);

    // The next output word.
    std::uint32_t operator()() {
        if (next_ == block_size) refill();
        return words_[next_++];
    }

    // Skips n output words.
    void discard(unsigned long long n);

    // Twists the state and tempers all of it into the next 624 output words.
    void refill();

    // Refills with this vector path from now on (tests run every path the processor has).
    void use(InstructionSet set);

    // The vector step's view: words[*next .. block_size) are the next outputs, in order; it takes
    // some by advancing *next and calls refill() when they run out.
    struct Cursor {
        const std::uint32_t* words;
        int* next;
    };
    Cursor cursor() { return Cursor{words_, &next_}; }

    // The same future sequence.
    friend bool operator==(const Mt19937Block& a, const Mt19937Block& b);

  private:
    using Refill = void (*)(std::uint32_t* state, std::uint32_t* words);
    static Refill refill_for(InstructionSet set);
    alignas(64) std::uint32_t state_[block_size];  // untempered, as the recurrence runs on it
    alignas(64) std::uint32_t words_[block_size];  // state_ tempered: the outputs of this block
    int next_ = block_size;
    Refill refill_;
};

// True when both give the same future sequence (compares the next 624 words, which fix the state).
bool operator==(const Mt19937Block& a, const std::mt19937& b);

// The plain twist and tempering of one block: state advanced in place, its tempered words out.
void twist_and_temper_plain(std::uint32_t* state, std::uint32_t* words);

}  // namespace discsim
