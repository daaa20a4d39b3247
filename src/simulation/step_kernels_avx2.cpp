// The step's and the generator's vector kernels for AVX2, built with -mavx2 -mfma.
// Includes nothing with inline functions besides the intrinsics (see vector_kernels.h).
#include "simulation/vector_intrinsics.h"

#include <cstdint>

#include "simulation/float_rounding_guard.h"
#include "simulation/vector_kernels.h"

namespace discsim {

namespace {

#include "simulation/lanes_avx2.inl"

#include "simulation/mt19937_twist.inl"
#include "simulation/time_step_kernel.inl"

}  // namespace

void advance_particles_avx2(const StepKernelArgs& a) {
    advance_particles_lanes<Lanes>(a);
}

void twist_and_temper_avx2(std::uint32_t* state, std::uint32_t* words) {
    twist_and_temper_lanes<Lanes::Words>(state, words);
}

bool rounds_alike_avx2(double d) {
    return Lanes::rounds_alike(Lanes::splat(d)) == Lanes::all;
}

double multiply_add_avx2(double a, double b, double c) {
    return multiply_add_lanes<Lanes>(a, b, c);
}

}  // namespace discsim
