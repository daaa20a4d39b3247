#include "simulation/instruction_set.h"

#include <array>

namespace discsim {

namespace {

struct Runnable {
    std::array<InstructionSet, 4> sets{};
    std::size_t count = 0;
};

Runnable detect() {
    Runnable r;
    r.sets[r.count++] = InstructionSet::plain;
#if defined(DISCSIM_X86_KERNELS)
    // The libgcc checks include the operating system's support for the wider registers.
    __builtin_cpu_init();
    r.sets[r.count++] = InstructionSet::sse2;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        r.sets[r.count++] = InstructionSet::avx2;
        if (__builtin_cpu_supports("avx512f")) r.sets[r.count++] = InstructionSet::avx512;
    }
#endif
    return r;
}

const Runnable& runnable() {
    static const Runnable r = detect();
    return r;
}

}  // namespace

InstructionSet widest_instruction_set() {
    const Runnable& r = runnable();
    return r.sets[r.count - 1];
}

std::span<const InstructionSet> runnable_instruction_sets() {
    const Runnable& r = runnable();
    return {r.sets.data(), r.count};
}

std::string_view instruction_set_name(InstructionSet set) {
    switch (set) {
        case InstructionSet::plain:
            return "plain";
        case InstructionSet::sse2:
            return "sse2";
        case InstructionSet::avx2:
            return "avx2";
        case InstructionSet::avx512:
            return "avx512";
    }
    return "plain";
}

}  // namespace discsim
