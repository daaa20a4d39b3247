// The boundary between the plain code and the vector kernels of the step and of the generator.
// Each kernel is built once per instruction set, in a file compiled with that set enabled
// (step_kernels_<set>.cpp; frame_drawing_<set>.cpp for the drawing). Only raw arrays and numbers
// cross this boundary: those files include no header with inline functions, so nothing built for
// a wider set can be linked in place of the plain code's copy of a shared inline function.
#pragma once

#include <cstdint>

namespace discsim {

class DeviateStream;

inline constexpr int mt_block_words = 624;  // MT19937 output words per block

// One step's arrays (slots 1..count are the particles) and its values, widened to double once.
struct StepKernelArgs {
    int count;
    float* radius;
    float* phase;
    float* angular_speed;
    const float* sin_incl;
    const float* cos_incl;
    const float* sin_node;
    const float* cos_node;
    float* orbit_x;
    float* orbit_y;
    float* height;
    float* sky_x;
    float* sky_y;
    float* screen_x;
    float* screen_y;
    float* source_dist;
    double cos_view, sin_view;
    double source_x, source_y, source_height, softening_sq;
    double r_min, r_max, drift_rate, respawn_spread, expansion_rate, kepler_k;
    double full_turn;            // where a phase is wrapped back
    const std::uint32_t* words;  // the stream's current block of 624 output words ...
    int* next_word;              // ... and the index of the next one it hands out
    DeviateStream* stream;       // for the scalar radius update, which takes deviates one by one
};

// The plain formulas for particles first..end-1, in time_step_fast.cpp. The kernels hand over to
// them any block that the vector arithmetic cannot prove bit-identical, and the tail.
// The orbit part: phase advance, position, projection, source distance and inward drift.
void advance_orbits_plain(const StepKernelArgs& a, int first, int end);
// The radius part: respawn threshold and respawn (with their deviates), expansion, angular speed.
void settle_radii_plain(const StepKernelArgs& a, int first, int end);

// Makes the stream's next block of words current, its first word the next one handed out (the
// vector step has taken the rest of the block without reading them).
void next_block(DeviateStream& stream);

// The step over particles 1..count, bit-identical to advance_particles.
void advance_particles_sse2(const StepKernelArgs& a);
void advance_particles_avx2(const StepKernelArgs& a);
void advance_particles_avx512(const StepKernelArgs& a);

// One MT19937 block: the 624-word state twisted in place and its tempered words written out.
void twist_and_temper_sse2(std::uint32_t* state, std::uint32_t* words);
void twist_and_temper_avx2(std::uint32_t* state, std::uint32_t* words);
void twist_and_temper_avx512(std::uint32_t* state, std::uint32_t* words);

// Whether the step's guard lets a double be rounded to float in lanes (float_rounding_guard.h).
bool rounds_alike_sse2(double d);
bool rounds_alike_avx2(double d);
bool rounds_alike_avx512(double d);

// a * b + c, multiplied and added lane-wise as the kernels do it: shows whether the compiler fused
// the two into one multiply-add in the files built for that set.
double multiply_add_sse2(double a, double b, double c);
double multiply_add_avx2(double a, double b, double c);
double multiply_add_avx512(double a, double b, double c);

}  // namespace discsim
