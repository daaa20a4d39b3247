#include "simulation/time_step.h"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "simulation/population.h"

namespace discsim {

StepConstants derive_step_constants(const DiscParameters& params) {
    return StepConstants{derive_view_tilt(params.view_tilt_deg), derive_source_point(params),
                         derive_softening_sq(params)};
}

namespace {

// Every formula below is evaluated in double from the stored floats and rounded once to float
// when stored; later formulas read the stored (rounded) values, as the arrays hold them.
// Without observation the compiled loop is the plain step and nothing else.
template <bool observe>
void advance(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
             DeviateStream& stream, Observation* obs) {
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

    // The observer's constants and running sums, kept in locals for the loop.
    [[maybe_unused]] double velocity_scale = 0.0, noise_amplitude = 0.0;
    [[maybe_unused]] float velocity_span = 0.0f, illum_exponent = 0.0f, source_depth = 0.0f;
    [[maybe_unused]] double delay_sum = 0.0;
    [[maybe_unused]] std::uint64_t profile_missed = 0, delay_missed = 0;
    // The first step's velocity is formed from the whole depth (prev_depth is still 0), a
    // velocity no particle has: that step is left out of the profile and the map.
    [[maybe_unused]] bool profiling = false;
    if constexpr (observe) {
        velocity_scale = obs->params.velocity_scale;
        velocity_span = obs->params.velocity_span;
        noise_amplitude = obs->params.noise_amplitude;
        illum_exponent = obs->params.illum_exponent;
        source_depth = obs->source_depth;
        delay_sum = obs->delay_sum;
        profiling = obs->steps > 0;
    }

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

        [[maybe_unused]] int profile_bin = no_bin;
        if constexpr (observe) {
            Observation& o = *obs;
            o.depth[k] = static_cast<float>(-sky_y * sin_view + cos_view * height);
            const double depth = o.depth[k];
            const float t = static_cast<float>(-(depth - static_cast<double>(o.prev_depth[k])) *
                                               velocity_scale / static_cast<double>(kepler_k));
            // The four noise deviates are a particle's first in every step, drawn whatever the
            // amplitude, before the threshold deviate.
            const double u1 = stream.next_deviate();
            const double u2 = stream.next_deviate();
            const double u3 = stream.next_deviate();
            const double u4 = stream.next_deviate();
            o.los_velocity[k] = static_cast<float>((u1 + u2 + u3 + u4 - 2.0) * noise_amplitude + t);
            o.prev_depth[k] = o.depth[k];
            profile_bin = fillable_profile_bin(o.los_velocity[k], velocity_span);
        }

        const double dx = sky_x - source_x;
        const double dy = sky_y - source_y;
        const double dz = height - source_height;
        p.source_dist[k] =
            static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz + softening_sq));

        if constexpr (observe) {
            Observation& o = *obs;
            double weight = 0.0;
            if (profiling) {
                if (profile_bin != no_bin) {
                    weight = illumination_weight(p.source_dist[k], illum_exponent);
                    o.line_profile[profile_bin] = static_cast<float>(
                        static_cast<double>(o.line_profile[profile_bin]) + weight);
                } else {
                    ++profile_missed;
                }
            }
            o.delay[k] = static_cast<float>(static_cast<double>(o.depth[k]) + p.source_dist[k]);
            delay_sum += o.delay[k];
            const int delay_bin = fillable_delay_bin(o.delay[k], source_depth);
            if (delay_bin != no_bin) {
                o.delay_hist[delay_bin] += 1.0;
                if (profiling && profile_bin != no_bin)
                    o.map_cell(delay_bin, profile_bin) += weight;
            } else {
                ++delay_missed;
            }
        }

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

    if constexpr (observe) {
        Observation& o = *obs;
        o.delay_sum = delay_sum;
        o.delay_count += static_cast<std::uint64_t>(p.count);
        // The true mean: the sum over the number of particle-steps it holds.
        o.mean_delay = o.delay_sum / static_cast<double>(o.delay_count);
        o.profile_missed += profile_missed;
        o.delay_missed += delay_missed;
        ++o.steps;
    }
}

}  // namespace

void advance_particles(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
                       DeviateStream& stream) {
    advance<false>(p, params, c, stream, nullptr);
}

void advance_particles(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
                       DeviateStream& stream, Observation& observation) {
    assert(observation.depth.size() == p.slots());
    advance<true>(p, params, c, stream, &observation);
}

}  // namespace discsim
