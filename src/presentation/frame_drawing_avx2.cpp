// The frame drawing's vector kernel for AVX2, built with -mavx2 -mfma.
// Includes nothing with inline functions besides the intrinsics (see simulation/vector_kernels.h).
#include "simulation/vector_intrinsics.h"

#include <cstdint>

#include "presentation/frame_drawing_kernels.h"
#include "simulation/float_rounding_guard.h"

namespace discsim {

namespace {

#include "simulation/lanes_avx2.inl"

#include "presentation/frame_drawing_kernel.inl"

}  // namespace

void draw_particles_avx2(const DrawKernelArgs& a) {
    draw_particles_lanes<Lanes>(a);
}

}  // namespace discsim
