// The boundary between the plain frame drawing and its vector kernels, one per instruction set,
// each in a file compiled with that set (frame_drawing_<set>.cpp). As for the step's kernels
// (simulation/vector_kernels.h), only raw arrays and numbers cross it.
#pragma once

#include <cstdint>

namespace discsim {

class Surface;

// One frame's particle arrays (slots 1..count), the surface's pixels and the drawing constants.
struct DrawKernelArgs {
    int count;
    const float* screen_x;
    const float* screen_y;
    const float* source_dist;
    float* prev_screen_x;
    float* prev_screen_y;
    std::uint32_t* pixels;  // width * height words, row by row
    int width, height;
    double centre_x, centre_y;  // the integer centre, in double as the mapping uses it
    double flip;                // the window height in the row flip, 768
    double highlight_radius;
    std::uint32_t erase_colour, particle_colour, highlight_colour;
    Surface* surface;  // for the plain drawing of a block
};

// The plain particle pass (erase, plot, highlight, remember) for particles first..end-1, in
// frame_drawing_fast.cpp: the kernels hand it the tail and any block with a point off the window.
void draw_particles_plain(const DrawKernelArgs& a, int first, int end);

// The particle pass over particles 1..count, pixel for pixel the plain one's.
void draw_particles_sse2(const DrawKernelArgs& a);
void draw_particles_avx2(const DrawKernelArgs& a);
void draw_particles_avx512(const DrawKernelArgs& a);

}  // namespace discsim
