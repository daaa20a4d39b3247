#include "simulation/time_step.h"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "simulation/particle_step.h"

namespace discsim {

StepConstants derive_step_constants(const DiscParameters& params) {
    return StepConstants{derive_view_tilt(params.view_tilt_deg), derive_source_point(params),
                         derive_softening_sq(params)};
}

namespace {

// The particle's formulas are particle_step.h's; the observer's fall in between them.
// Without observation the compiled loop is the plain step and nothing else.
template <bool observe>
void advance(ParticleSet& p, const DiscParameters& params, const StepConstants& c,
             DeviateStream& stream, Observation* obs) {
    const StepValues v = step_values(params, c);

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
        const float speed = move_along_orbit(p, k, v);

        [[maybe_unused]] int profile_bin = no_bin;
        if constexpr (observe) {
            Observation& o = *obs;
            const double sky_y = p.sky_y[k];
            const double height = p.height[k];
            o.depth[k] = static_cast<float>(-sky_y * v.sin_view + v.cos_view * height);
            const double depth = o.depth[k];
            const float t = static_cast<float>(-(depth - static_cast<double>(o.prev_depth[k])) *
                                               velocity_scale / static_cast<double>(v.kepler_k));
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

        measure_source_distance(p, k, v);

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

        drift_inward(p, k, speed, v);
        settle_radius(p, k, v, stream);
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
