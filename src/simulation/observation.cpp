#include "simulation/observation.h"

#include <array>

namespace discsim {

namespace {

using O = ObservationParameters;
constexpr std::array<ObservationField, 4> fields{{
    {"illum_exponent", &O::illum_exponent},
    {"velocity_span", &O::velocity_span},
    {"velocity_scale", &O::velocity_scale},
    {"noise_amplitude", &O::noise_amplitude},
}};

std::size_t slots_for(int count) {
    return static_cast<std::size_t>(count) + 1;
}

}  // namespace

std::span<const ObservationField> observation_fields() {
    return fields;
}

std::optional<ObservationField> find_observation_field(std::string_view name) {
    for (const auto& f : fields) {
        if (f.name == name) return f;
    }
    return std::nullopt;
}

float derive_source_depth(const DiscParameters& disc) {
    const SourcePoint source = derive_source_point(disc);
    const double t = degrees_to_radians(disc.view_tilt_deg);
    return static_cast<float>(std::sin(t) * source.source_y + std::cos(t) * source.source_height);
}

Observation::Observation(const DiscParameters& disc, const ObservationParameters& p, int count)
    : params(p),
      source_depth(derive_source_depth(disc)),
      depth(slots_for(count), 0.0f),
      prev_depth(slots_for(count), 0.0f),
      los_velocity(slots_for(count), 0.0f),
      delay(slots_for(count), 0.0f),
      line_profile(histogram_slots, 0.0f),
      delay_hist(histogram_slots, 0.0),
      velocity_delay(static_cast<std::size_t>(histogram_slots) * histogram_slots, 0.0) {}

}  // namespace discsim
