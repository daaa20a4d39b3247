#include "simulation/mt19937_block.h"

#include <algorithm>

#include "simulation/vector_kernels.h"

namespace discsim {

namespace {

// The MT19937 constants: degree 624, middle word 397, twist matrix, upper and lower masks.
constexpr int n = Mt19937Block::block_size;
constexpr int m = 397;
constexpr std::uint32_t matrix_a = 0x9908b0dfu;
constexpr std::uint32_t upper_mask = 0x80000000u;
constexpr std::uint32_t lower_mask = 0x7fffffffu;

std::uint32_t twist_one(std::uint32_t a, std::uint32_t b, std::uint32_t far) {
    const std::uint32_t y = (a & upper_mask) | (b & lower_mask);
    return far ^ (y >> 1) ^ ((y & 1u) != 0 ? matrix_a : 0u);
}

std::uint32_t temper(std::uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    return y ^ (y >> 18);
}

}  // namespace

Mt19937Block::Refill Mt19937Block::refill_for(InstructionSet set) {
    switch (set) {
#if defined(DISCSIM_X86_KERNELS)
        case InstructionSet::sse2:
            return twist_and_temper_sse2;
        case InstructionSet::avx2:
            return twist_and_temper_avx2;
        case InstructionSet::avx512:
            return twist_and_temper_avx512;
#endif
        default:
            return twist_and_temper_plain;
    }
}

void twist_and_temper_plain(std::uint32_t* x, std::uint32_t* words) {
    for (int k = 0; k < n - m; ++k)
        x[k] = twist_one(x[k], x[k + 1], x[k + m]);
    for (int k = n - m; k < n - 1; ++k)
        x[k] = twist_one(x[k], x[k + 1], x[k + m - n]);
    x[n - 1] = twist_one(x[n - 1], x[0], x[m - 1]);
    for (int k = 0; k < n; ++k)
        words[k] = temper(x[k]);
}

Mt19937Block::Mt19937Block(std::uint32_t seed_value)
    : refill_(refill_for(widest_instruction_set())) {
    seed(seed_value);
}

void Mt19937Block::seed(std::uint32_t seed_value) {
    state_[0] = seed_value;
    for (int i = 1; i < n; ++i) {
        const std::uint32_t prev = state_[i - 1];
        state_[i] = 1812433253u * (prev ^ (prev >> 30)) + static_cast<std::uint32_t>(i);
    }
    std::fill(std::begin(words_), std::end(words_), 0u);
    next_ = n;
}

void Mt19937Block::discard(unsigned long long count) {
    while (count > 0) {
        if (next_ == n) refill();
        const auto step = std::min<unsigned long long>(count, static_cast<unsigned>(n - next_));
        next_ += static_cast<int>(step);
        count -= step;
    }
}

void Mt19937Block::refill() {
    refill_(state_, words_);
    next_ = 0;
}

void Mt19937Block::use(InstructionSet set) {
    refill_ = refill_for(set);
}

namespace {

// 624 consecutive outputs are the tempered state words, which fix every later word.
template <class A, class B>
bool same_future(A x, B y) {
    for (int i = 0; i < n; ++i) {
        if (x() != y()) return false;
    }
    return true;
}

}  // namespace

bool operator==(const Mt19937Block& a, const Mt19937Block& b) {
    return same_future(a, b);
}

bool operator==(const Mt19937Block& a, const std::mt19937& b) {
    return same_future(a, b);
}

}  // namespace discsim
