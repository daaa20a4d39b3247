// Turns the particle state into pixels: each step erases, plots and highlights every particle,
// then redraws the two markers on top. The picture is never cleared.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "simulation/disc_parameters.h"
#include "simulation/particle_set.h"
#include "simulation/time_step.h"

namespace discsim {

inline constexpr std::uint32_t erase_colour = 0xFF000000u;
inline constexpr std::uint32_t particle_colour = 0xFFFF0000u;
inline constexpr std::uint32_t highlight_colour = 0xFFFFFFFFu;
inline constexpr std::uint32_t source_marker_colour = 0xFF00FFFFu;
inline constexpr std::uint32_t centre_marker_colour = 0xFFFFFFFFu;
inline constexpr float highlight_radius = 60.0f;

// A window coordinate pair, each rounded once to single precision.
struct WindowPoint {
    float x;
    float y;
};

// X = sx + centre_x, Y = 768 - sy - centre_y, in double, each rounded once to float; so a
// positive screen_y is drawn above the centre.
inline WindowPoint map_to_window(float sx, float sy, std::int32_t centre_x, std::int32_t centre_y) {
    return WindowPoint{static_cast<float>(static_cast<double>(sx) + centre_x),
                       static_cast<float>(768.0 - static_cast<double>(sy) - centre_y)};
}

// Particle i's turn of the particle pass: erase its previous pixel, plot its new one red, white
// as well when it is strictly within the highlight radius, and remember where it was drawn. The
// erase maps exactly the floats the previous plot mapped, so it hits that pixel. Works on any
// record of the per-particle arrays (ParticleSet's vectors or raw pointers).
template <class Arrays>
inline void draw_particle(Surface& surface, Arrays& p, int i, std::int32_t centre_x,
                          std::int32_t centre_y) {
    const WindowPoint old =
        map_to_window(p.prev_screen_x[i], p.prev_screen_y[i], centre_x, centre_y);
    plot_pixel(surface, old.x, old.y, erase_colour);
    const WindowPoint now = map_to_window(p.screen_x[i], p.screen_y[i], centre_x, centre_y);
    plot_pixel(surface, now.x, now.y, particle_colour);
    if (p.source_dist[i] < highlight_radius) plot_pixel(surface, now.x, now.y, highlight_colour);
    p.prev_screen_x[i] = p.screen_x[i];
    p.prev_screen_y[i] = p.screen_y[i];
}

// The 2 x 2 white marker with its top-left pixel at (centre_x, 768 - centre_y).
void draw_centre_marker(Surface& surface, const DiscParameters& params);

// The 2 x 2 cyan marker at the source point, seen through the view tilt.
void draw_source_marker(Surface& surface, const DiscParameters& params,
                        const StepConstants& constants);

// Erases, plots and highlights particles 1..count in order, remembering each drawn position in
// prev_screen_x/y, then draws the source marker and the centre marker.
void draw_frame(Surface& surface, ParticleSet& particles, const DiscParameters& params,
                const StepConstants& constants);

}  // namespace discsim
