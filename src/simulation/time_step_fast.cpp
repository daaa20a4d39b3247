#include "simulation/time_step_fast.h"

#include <cmath>

#include "simulation/particle_step.h"
#include "simulation/vector_kernels.h"

namespace discsim {

static_assert(Mt19937Block::block_size == mt_block_words);

namespace {

StepValues step_values(const StepKernelArgs& a) {
    return StepValues{a.cos_view,       a.sin_view,       a.source_x,
                      a.source_y,       a.source_height,  a.softening_sq,
                      a.r_min,          a.r_max,          a.drift_rate,
                      a.respawn_spread, a.expansion_rate, static_cast<float>(a.kepler_k)};
}

}  // namespace

// The two halves of advance_particles' loop body, with its very formulas.
void advance_orbits_plain(const StepKernelArgs& a, int first, int end) {
    const StepValues v = step_values(a);
    for (int k = first; k < end; ++k) {
        const float speed = move_along_orbit(a, k, v);
        measure_source_distance(a, k, v);
        drift_inward(a, k, speed, v);
    }
}

void settle_radii_plain(const StepKernelArgs& a, int first, int end) {
    const StepValues v = step_values(a);
    for (int k = first; k < end; ++k)
        settle_radius(a, k, v, *a.stream);
}

void next_block(DeviateStream& stream) {
    stream.refill();
}

#if defined(DISCSIM_X86_KERNELS)
namespace {

StepKernelArgs kernel_args(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
                           DeviateStream& stream) {
    const Mt19937Block::Cursor cursor = stream.word_cursor();
    return StepKernelArgs{
        .count = p.count,
        .radius = p.radius.data(),
        .phase = p.phase.data(),
        .angular_speed = p.angular_speed.data(),
        .sin_incl = p.sin_incl.data(),
        .cos_incl = p.cos_incl.data(),
        .sin_node = p.sin_node.data(),
        .cos_node = p.cos_node.data(),
        .orbit_x = p.orbit_x.data(),
        .orbit_y = p.orbit_y.data(),
        .height = p.height.data(),
        .sky_x = p.sky_x.data(),
        .sky_y = p.sky_y.data(),
        .screen_x = p.screen_x.data(),
        .screen_y = p.screen_y.data(),
        .source_dist = p.source_dist.data(),
        .cos_view = c.view.cos_view,
        .sin_view = c.view.sin_view,
        .source_x = c.source.source_x,
        .source_y = c.source.source_y,
        .source_height = c.source.source_height,
        .softening_sq = c.softening_sq,
        .r_min = params.r_min,
        .r_max = params.r_max,
        .drift_rate = params.drift_rate,
        .respawn_spread = params.respawn_spread,
        .expansion_rate = params.expansion_rate,
        .kepler_k = params.kepler_k,
        .full_turn = full_turn,
        .words = cursor.words,
        .next_word = cursor.next,
        .stream = &stream,
    };
}

}  // namespace
#endif

void advance_particles_fast(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
                            DeviateStream& stream, InstructionSet set) {
    switch (set) {
#if defined(DISCSIM_X86_KERNELS)
        case InstructionSet::sse2:
            return advance_particles_sse2(kernel_args(p, params, c, stream));
        case InstructionSet::avx2:
            return advance_particles_avx2(kernel_args(p, params, c, stream));
        case InstructionSet::avx512:
            return advance_particles_avx512(kernel_args(p, params, c, stream));
#endif
        default:
            return advance_particles(p, params, c, stream);
    }
}

bool float_rounding_certain(InstructionSet set, [[maybe_unused]] double d) {
    switch (set) {
#if defined(DISCSIM_X86_KERNELS)
        case InstructionSet::sse2:
            return rounds_alike_sse2(d);
        case InstructionSet::avx2:
            return rounds_alike_avx2(d);
        case InstructionSet::avx512:
            return rounds_alike_avx512(d);
#endif
        default:
            return false;
    }
}

double multiply_add(InstructionSet set, double a, double b, double c) {
    switch (set) {
#if defined(DISCSIM_X86_KERNELS)
        case InstructionSet::sse2:
            return multiply_add_sse2(a, b, c);
        case InstructionSet::avx2:
            return multiply_add_avx2(a, b, c);
        case InstructionSet::avx512:
            return multiply_add_avx512(a, b, c);
#endif
        default:
            return a * b + c;
    }
}

}  // namespace discsim
