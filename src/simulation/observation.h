// What an observer of the disc measures: each particle's line-of-sight velocity and light-travel
// delay, gathered into a line profile, a delay histogram and a velocity-delay map.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "simulation/disc_parameters.h"

namespace discsim {

// The observer's parameters with their shipped values, single precision like the model's.
struct ObservationParameters {
    float illum_exponent = 2.0f;      // weight of a particle = (1 / source_dist)^illum_exponent
    float velocity_span = 100000.0f;  // velocity range mapped onto the bin_count profile bins
    float velocity_scale = 80000.0f;  // velocity = -(change of depth per step) * this / kepler_k
    float noise_amplitude = 0.0f;     // spread of the noise added to each velocity
};

// One named, settable field of ObservationParameters.
struct ObservationField {
    std::string_view name;
    float ObservationParameters::*real = nullptr;
};

// Every field of ObservationParameters, in declaration order.
std::span<const ObservationField> observation_fields();

// The field of that name, or nothing.
std::optional<ObservationField> find_observation_field(std::string_view name);

// Profile and delay histograms have bins 0..bin_count; only 2..999 (profile) and 1..999 (delay)
// are ever filled.
inline constexpr int bin_count = 1000;
inline constexpr int histogram_slots = bin_count + 1;
inline constexpr int no_bin = -1;

// Everything the observer keeps for the whole run; allocated once, nothing allocated per step.
// Per-particle arrays have one slot per particle like the ParticleSet (slot 0 unused).
struct Observation {
    Observation(const DiscParameters& disc, const ObservationParameters& params,
                int count = particle_count);

    ObservationParameters params;
    float source_depth;  // the source point's coordinate along the line of sight

    std::vector<float> depth;         // line-of-sight coordinate in this step
    std::vector<float> prev_depth;    // depth of the previous step, 0 before the first
    std::vector<float> los_velocity;  // line-of-sight velocity in this step
    std::vector<float> delay;         // depth + source_dist in this step

    std::vector<float> line_profile;  // summed weights per velocity bin, accumulated in float
    std::vector<double> delay_hist;   // particle-steps per delay bin

    // Summed weights per (delay bin, velocity bin): the line profile spread out over delay, in
    // double. Cell (d, v) is at v * histogram_slots + d: a velocity's delays lie together, which
    // keeps the few hundred kilobytes a step touches on few pages.
    std::vector<double> velocity_delay;

    double delay_sum = 0.0;            // every particle's delay in every step so far
    std::uint64_t delay_count = 0;     // particle-steps summed into delay_sum
    double mean_delay = 0.0;           // delay_sum / delay_count after each step
    std::uint64_t steps = 0;           // steps observed so far
    std::uint64_t profile_missed = 0;  // profiled particle-steps that fell in no profile bin
    std::uint64_t delay_missed = 0;    // particle-steps that fell in no delay bin

    double& map_cell(int delay_bin, int profile_bin) {
        return velocity_delay[static_cast<std::size_t>(profile_bin) * histogram_slots +
                              static_cast<std::size_t>(delay_bin)];
    }
    double map_cell(int delay_bin, int profile_bin) const {
        return velocity_delay[static_cast<std::size_t>(profile_bin) * histogram_slots +
                              static_cast<std::size_t>(delay_bin)];
    }
};

// sin(t) * source_y + cos(t) * source_height, t the view tilt with sin and cos in double (not the
// rounded ViewTilt), rounded once to single precision; 0 at the shipped parameters.
float derive_source_depth(const DiscParameters& disc);

// floor(x) as a 32-bit integer, or nothing when x is NaN or its floor lies outside 32 bits.
inline std::optional<std::int32_t> floor_to_int32(double x) {
    const double f = std::floor(x);
    if (!(f >= -2147483648.0 && f <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(f);
}

// The profile bin that a velocity adds to: floor(1000 * v / velocity_span + 500) when that is
// 2..999, else no_bin (bins 0, 1 and 1000 never receive anything; nor do NaN velocities).
inline int fillable_profile_bin(float los_velocity, float velocity_span) {
    const double x = 1000.0 * static_cast<double>(los_velocity) / velocity_span + 500.0;
    const auto bin = floor_to_int32(x);
    return (bin && *bin >= 2 && *bin <= 999) ? *bin : no_bin;
}

// The delay bin that a delay adds to: floor(delay - source_depth) + 1 when that is 1..999, else
// no_bin (bins 0 and 1000 never receive anything; nor do NaN delays).
inline int fillable_delay_bin(float delay, float source_depth) {
    const auto f = floor_to_int32(static_cast<double>(delay) - source_depth);
    if (!f) return no_bin;
    const std::int64_t bin = static_cast<std::int64_t>(*f) + 1;
    return (bin >= 1 && bin <= 999) ? static_cast<int>(bin) : no_bin;
}

// The weight of a lit particle: (1 / source_dist)^illum_exponent, the base rounded to double and
// the power taken by std::pow; 1 / source_dist^2 at the shipped exponent.
inline double illumination_weight(float source_dist, float illum_exponent) {
    const double base = 1.0 / static_cast<double>(source_dist);
    return std::pow(base, static_cast<double>(illum_exponent));
}

// The line-of-sight velocity at the centre of a profile bin.
inline double profile_bin_velocity(int bin, float velocity_span) {
    return (bin - 499.5) * static_cast<double>(velocity_span) / 1000.0;
}

// The delay at the lower edge of a delay bin.
inline double delay_bin_lower_edge(int bin, float source_depth) {
    return (bin - 1) + static_cast<double>(source_depth);
}

}  // namespace discsim
