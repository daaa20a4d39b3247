#include "presentation/frame_drawing.h"

namespace discsim {

void draw_centre_marker(Surface& surface, const DiscParameters& params) {
    const auto x0 = static_cast<float>(params.centre_x);
    const auto x1 = static_cast<float>(params.centre_x + 1);
    const auto y0 = static_cast<float>(768 - params.centre_y);
    const auto y1 = static_cast<float>(769 - params.centre_y);
    plot_pixel(surface, x0, y0, centre_marker_colour);
    plot_pixel(surface, x0, y1, centre_marker_colour);
    plot_pixel(surface, x1, y0, centre_marker_colour);
    plot_pixel(surface, x1, y1, centre_marker_colour);
}

void draw_source_marker(Surface& surface, const DiscParameters& params, const StepConstants& c) {
    const auto col = static_cast<float>(params.centre_x + static_cast<double>(c.source.source_x));
    const auto row = static_cast<float>(768.0 - params.centre_y -
                                        static_cast<double>(c.view.cos_view) * c.source.source_y);
    const auto col1 = static_cast<float>(static_cast<double>(col) + 1.0);
    const auto row1 = static_cast<float>(static_cast<double>(row) + 1.0);
    plot_pixel(surface, col, row, source_marker_colour);
    plot_pixel(surface, col, row1, source_marker_colour);
    plot_pixel(surface, col1, row, source_marker_colour);
    plot_pixel(surface, col1, row1, source_marker_colour);
}

void draw_frame(Surface& surface, ParticleSet& p, const DiscParameters& params,
                const StepConstants& c) {
    const std::int32_t cx = params.centre_x;
    const std::int32_t cy = params.centre_y;
    for (int i = 1; i <= p.count; ++i)
        draw_particle(surface, p, i, cx, cy);
    draw_source_marker(surface, params, c);
    draw_centre_marker(surface, params);
}

}  // namespace discsim
