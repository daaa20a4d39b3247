// The vector paths of the fast step and drawing, and which of them this processor can run.
#pragma once

#include <span>
#include <string_view>

namespace discsim {

// plain: the literal scalar step itself. The others run the same arithmetic in vector lanes of
// 2 (SSE2, every x86-64), 4 (AVX2 with FMA, as SLEEF's AVX2 build needs) or 8 doubles (AVX-512F).
enum class InstructionSet { plain, sse2, avx2, avx512 };

// The widest path that is built into this binary and that the processor runs; plain elsewhere.
InstructionSet widest_instruction_set();

// Every path this binary can run on this processor, plain first, widest last.
std::span<const InstructionSet> runnable_instruction_sets();

// "plain", "sse2", "avx2" or "avx512".
std::string_view instruction_set_name(InstructionSet set);

}  // namespace discsim
