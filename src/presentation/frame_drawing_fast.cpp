#include "presentation/frame_drawing_fast.h"

#include "presentation/frame_drawing.h"
#include "presentation/frame_drawing_kernels.h"

namespace discsim {

// draw_frame's particle pass for particles first..end-1, with its own mapping and plot_pixel.
void draw_particles_plain(const DrawKernelArgs& a, int first, int end) {
    Surface& surface = *a.surface;
    const auto cx = static_cast<std::int32_t>(a.centre_x);
    const auto cy = static_cast<std::int32_t>(a.centre_y);
    for (int i = first; i < end; ++i) {
        const WindowPoint old = map_to_window(a.prev_screen_x[i], a.prev_screen_y[i], cx, cy);
        plot_pixel(surface, old.x, old.y, erase_colour);
        const WindowPoint now = map_to_window(a.screen_x[i], a.screen_y[i], cx, cy);
        plot_pixel(surface, now.x, now.y, particle_colour);
        if (a.source_dist[i] < highlight_radius)
            plot_pixel(surface, now.x, now.y, highlight_colour);
        a.prev_screen_x[i] = a.screen_x[i];
        a.prev_screen_y[i] = a.screen_y[i];
    }
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
