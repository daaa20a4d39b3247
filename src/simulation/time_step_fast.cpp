#include "simulation/time_step_fast.h"

#include <cmath>

#include "simulation/population.h"
#include "simulation/vector_kernels.h"

namespace discsim {

static_assert(Mt19937Block::block_size == mt_block_words);

// The two halves of advance_particles' loop body, formula for formula; the bit-identity tests
// run them (through the kernels' fallbacks and tails) against advance_particles itself.
void advance_orbits_plain(const StepKernelArgs& a, int first, int end) {
    for (int k = first; k < end; ++k) {
        const float speed = a.angular_speed[k];
        a.phase[k] = wrap_phase(static_cast<float>(static_cast<double>(a.phase[k]) + speed));

        const double phase = a.phase[k];
        const double s = std::sin(phase);
        const double co = std::cos(phase);
        const double radius = a.radius[k];

        a.height[k] = static_cast<float>(s * radius * a.sin_incl[k]);
        a.orbit_x[k] = static_cast<float>(co * radius);
        a.orbit_y[k] = static_cast<float>(s * radius * a.cos_incl[k]);

        const double orbit_x = a.orbit_x[k];
        const double orbit_y = a.orbit_y[k];
        const double cos_node = a.cos_node[k];
        const double sin_node = a.sin_node[k];
        a.sky_x[k] = static_cast<float>(cos_node * orbit_x - sin_node * orbit_y);
        a.sky_y[k] = static_cast<float>(sin_node * orbit_x + cos_node * orbit_y);

        const double sky_x = a.sky_x[k];
        const double sky_y = a.sky_y[k];
        const double height = a.height[k];
        a.screen_x[k] = a.sky_x[k];
        a.screen_y[k] = static_cast<float>(a.cos_view * sky_y + a.sin_view * height);

        const double dx = sky_x - a.source_x;
        const double dy = sky_y - a.source_y;
        const double dz = height - a.source_height;
        a.source_dist[k] =
            static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz + a.softening_sq));

        a.radius[k] =
            static_cast<float>(radius - static_cast<double>(speed) * radius * a.drift_rate);
    }
}

void settle_radii_plain(const StepKernelArgs& a, int first, int end) {
    DeviateStream& stream = *a.stream;
    const auto kepler_k = static_cast<float>(a.kepler_k);
    for (int k = first; k < end; ++k) {
        const double u = stream.next_deviate();
        const double threshold = (u - 0.5) * a.r_min * a.respawn_spread + a.r_min;
        if (!(static_cast<double>(a.radius[k]) >= threshold)) {
            const double u2 = stream.next_deviate();
            a.radius[k] = static_cast<float>((u2 - 0.5) * a.r_max * a.respawn_spread + a.r_max);
        }
        if (a.expansion_rate > 0.0) {
            const double r = a.radius[k];
            a.radius[k] = static_cast<float>((a.expansion_rate * r / 1000.0 + 1.0) * r);
        }
        a.angular_speed[k] = kepler_angular_speed(kepler_k, a.radius[k]);
    }
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
