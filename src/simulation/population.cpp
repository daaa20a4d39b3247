#include "simulation/population.h"

namespace discsim {

void place_particle(ParticleSet& p, int k, const DiscParameters& params, double u1, double u2,
                    double u3, double u4) {
    const double r_min = params.r_min;
    const double r_span = static_cast<double>(params.r_max) - r_min;
    // 90 - polar angle is formed in single precision; 25 degrees with the shipped 65.
    const float max_tilt_deg = 90.0f - params.polar_angle_deg;

    p.radius[k] = static_cast<float>(u1 * r_span + r_min);
    p.phase[k] = static_cast<float>(u2 * full_turn);
    p.angular_speed[k] = kepler_angular_speed(params.kepler_k, p.radius[k]);

    // Node over half a turn only, [0, pi); tilt signed, [-25, +25) degrees before rounding.
    const auto node_angle = static_cast<float>(u3 * pi_approx);
    const auto incl_angle =
        static_cast<float>(((2.0 * u4 - 1.0) * max_tilt_deg) * pi_approx / 180.0);

    p.sin_incl[k] = static_cast<float>(std::sin(static_cast<double>(incl_angle)));
    p.cos_incl[k] = static_cast<float>(std::cos(static_cast<double>(incl_angle)));
    p.sin_node[k] = static_cast<float>(std::sin(static_cast<double>(node_angle)));
    p.cos_node[k] = static_cast<float>(std::cos(static_cast<double>(node_angle)));
}

void populate_disc(ParticleSet& p, const DiscParameters& params, DeviateStream& stream) {
    for (int k = 1; k <= p.count; ++k) {
        // Four deviates per particle, drawn in this order before any is used.
        const double u1 = stream.next_deviate();
        const double u2 = stream.next_deviate();
        const double u3 = stream.next_deviate();
        const double u4 = stream.next_deviate();
        place_particle(p, k, params, u1, u2, u3, u4);
    }
}

}  // namespace discsim
