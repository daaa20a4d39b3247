// One particle's step, formula by formula: the definition of the results, shared by the plain step
// and by the fast path wherever it hands a particle back to the plain formulas. Every formula is
// evaluated in double from the stored floats and rounded once to float when stored; later formulas
// read the stored (rounded) values, as the arrays hold them. Works on any record of the
// per-particle arrays (ParticleSet's vectors or raw pointers), indexed by particle number.
#pragma once

#include <cmath>

#include "simulation/deviate_stream.h"
#include "simulation/population.h"
#include "simulation/time_step.h"

namespace discsim {

// The step's parameters and derived values, widened to double once per step.
struct StepValues {
    double cos_view, sin_view;
    double source_x, source_y, source_height, softening_sq;
    double r_min, r_max, drift_rate, respawn_spread, expansion_rate;
    float kepler_k;
};

inline StepValues step_values(const DiscParameters& params, const StepConstants& c) {
    return StepValues{c.view.cos_view,       c.view.sin_view,        c.source.source_x,
                      c.source.source_y,     c.source.source_height, c.softening_sq,
                      params.r_min,          params.r_max,           params.drift_rate,
                      params.respawn_spread, params.expansion_rate,  params.kepler_k};
}

// Advances particle k's phase by its angular speed, wrapped back past a full turn, then projects
// it: height, orbit_x/y on the tilted orbit, sky_x/y after the node rotation, screen_x/y after the
// view tilt. Returns the angular speed it used, which the drift uses too.
template <class Arrays>
inline float move_along_orbit(Arrays& a, int k, const StepValues& v) {
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

    a.screen_x[k] = a.sky_x[k];
    a.screen_y[k] = static_cast<float>(v.cos_view * static_cast<double>(a.sky_y[k]) +
                                       v.sin_view * static_cast<double>(a.height[k]));
    return speed;
}

// Particle k's distance from the source point in the disc frame, softened in quadrature.
template <class Arrays>
inline void measure_source_distance(Arrays& a, int k, const StepValues& v) {
    const double dx = static_cast<double>(a.sky_x[k]) - v.source_x;
    const double dy = static_cast<double>(a.sky_y[k]) - v.source_y;
    const double dz = static_cast<double>(a.height[k]) - v.source_height;
    a.source_dist[k] = static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz + v.softening_sq));
}

// Inward drift with the angular speed the phase advance used.
template <class Arrays>
inline void drift_inward(Arrays& a, int k, float speed, const StepValues& v) {
    const double radius = a.radius[k];
    a.radius[k] = static_cast<float>(radius - static_cast<double>(speed) * radius * v.drift_rate);
}

// Respawn, expansion and the angular speed of the new radius. The threshold deviate is drawn for
// every particle whatever the spread, and the threshold stays at full precision; a NaN radius
// fails the comparison and is respawned, with a second deviate.
template <class Arrays>
inline void settle_radius(Arrays& a, int k, const StepValues& v, DeviateStream& stream) {
    const double u = stream.next_deviate();
    const double threshold = (u - 0.5) * v.r_min * v.respawn_spread + v.r_min;
    if (!(static_cast<double>(a.radius[k]) >= threshold)) {
        const double u2 = stream.next_deviate();
        a.radius[k] = static_cast<float>((u2 - 0.5) * v.r_max * v.respawn_spread + v.r_max);
    }
    if (v.expansion_rate > 0.0) {  // a rate of zero or below leaves the radius alone
        const double r = a.radius[k];
        a.radius[k] = static_cast<float>((v.expansion_rate * r / 1000.0 + 1.0) * r);
    }
    a.angular_speed[k] = kepler_angular_speed(v.kepler_k, a.radius[k]);
}

}  // namespace discsim
