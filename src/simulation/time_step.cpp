#include "simulation/time_step.h"

#include <cmath>

#include "simulation/population.h"

namespace discsim {

StepConstants derive_step_constants(const DiscParameters& params) {
    return StepConstants{derive_view_tilt(params.view_tilt_deg), derive_source_point(params),
                         derive_softening_sq(params)};
}

// Every formula below is evaluated in double from the stored floats and rounded once to float
// when stored; later formulas read the stored (rounded) values, as the arrays hold them.
void advance_particles(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
                       DeviateStream& stream) {
    const double cos_view = c.view.cos_view;
    const double sin_view = c.view.sin_view;
    const double source_x = c.source.source_x;
    const double source_y = c.source.source_y;
    const double source_height = c.source.source_height;
    const double softening_sq = c.softening_sq;
    const double r_min = params.r_min;
    const double r_max = params.r_max;
    const double drift_rate = params.drift_rate;
    const double respawn_spread = params.respawn_spread;
    const double expansion_rate = params.expansion_rate;
    const float kepler_k = params.kepler_k;

    for (int k = 1; k <= p.count; ++k) {
        const float speed = p.angular_speed[k];
        p.phase[k] = wrap_phase(static_cast<float>(static_cast<double>(p.phase[k]) + speed));

        const double phase = p.phase[k];
        const double s = std::sin(phase);
        const double co = std::cos(phase);
        const double radius = p.radius[k];

        p.height[k] = static_cast<float>(s * radius * p.sin_incl[k]);
        p.orbit_x[k] = static_cast<float>(co * radius);
        p.orbit_y[k] = static_cast<float>(s * radius * p.cos_incl[k]);

        const double orbit_x = p.orbit_x[k];
        const double orbit_y = p.orbit_y[k];
        const double cos_node = p.cos_node[k];
        const double sin_node = p.sin_node[k];
        p.sky_x[k] = static_cast<float>(cos_node * orbit_x - sin_node * orbit_y);
        p.sky_y[k] = static_cast<float>(sin_node * orbit_x + cos_node * orbit_y);

        const double sky_x = p.sky_x[k];
        const double sky_y = p.sky_y[k];
        const double height = p.height[k];
        p.screen_x[k] = p.sky_x[k];
        p.screen_y[k] = static_cast<float>(cos_view * sky_y + sin_view * height);

        const double dx = sky_x - source_x;
        const double dy = sky_y - source_y;
        const double dz = height - source_height;
        p.source_dist[k] =
            static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz + softening_sq));

        // Inward drift with the angular speed the phase advance used.
        p.radius[k] = static_cast<float>(radius - static_cast<double>(speed) * radius * drift_rate);

        // The threshold deviate is drawn for every particle whatever the spread; the threshold
        // stays at full precision. A NaN radius fails the comparison and is respawned.
        const double u = stream.next_deviate();
        const double threshold = (u - 0.5) * r_min * respawn_spread + r_min;
        if (!(static_cast<double>(p.radius[k]) >= threshold)) {
            const double u2 = stream.next_deviate();
            p.radius[k] = static_cast<float>((u2 - 0.5) * r_max * respawn_spread + r_max);
        }

        if (expansion_rate > 0.0) {
            const double r = p.radius[k];
            p.radius[k] = static_cast<float>((expansion_rate * r / 1000.0 + 1.0) * r);
        }

        p.angular_speed[k] = kepler_angular_speed(kepler_k, p.radius[k]);
    }
}

}  // namespace discsim
