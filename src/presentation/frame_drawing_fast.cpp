#include "presentation/frame_drawing_fast.h"

#include "presentation/frame_drawing.h"
#include "presentation/frame_drawing_kernels.h"

namespace discsim {

// draw_frame's particle pass for particles first..end-1, particle by particle as draw_frame does
// it.
void draw_particles_plain(const DrawKernelArgs& a, int first, int end) {
    Surface& surface = *a.surface;
    const auto cx = static_cast<std::int32_t>(a.centre_x);
    const auto cy = static_cast<std::int32_t>(a.centre_y);
    for (int i = first; i < end; ++i)
        draw_particle(surface, a, i, cx, cy);
}

#if defined(DISCSIM_X86_KERNELS)
namespace {

DrawKernelArgs kernel_args(Surface& surface, ParticleSet& p, const DiscParameters& params) {
    return DrawKernelArgs{
        .count = p.count,
        .screen_x = p.screen_x.data(),
        .screen_y = p.screen_y.data(),
        .source_dist = p.source_dist.data(),
        .prev_screen_x = p.prev_screen_x.data(),
        .prev_screen_y = p.prev_screen_y.data(),
        .pixels = surface.data(),
        .width = surface_width,
        .height = surface_height,
        .centre_x = static_cast<double>(params.centre_x),
        .centre_y = static_cast<double>(params.centre_y),
        .flip = 768.0,
        .highlight_radius = highlight_radius,
        .erase_colour = erase_colour,
        .particle_colour = particle_colour,
        .highlight_colour = highlight_colour,
        .surface = &surface,
    };
}

}  // namespace
#endif

void draw_frame_fast(Surface& surface, ParticleSet& p, const DiscParameters& params,
                     const StepConstants& c, InstructionSet set) {
    switch (set) {
#if defined(DISCSIM_X86_KERNELS)
        case InstructionSet::sse2:
            draw_particles_sse2(kernel_args(surface, p, params));
            break;
        case InstructionSet::avx2:
            draw_particles_avx2(kernel_args(surface, p, params));
            break;
        case InstructionSet::avx512:
            draw_particles_avx512(kernel_args(surface, p, params));
            break;
#endif
        default:
            return draw_frame(surface, p, params, c);
    }
    draw_source_marker(surface, params, c);
    draw_centre_marker(surface, params);
}

}  // namespace discsim
