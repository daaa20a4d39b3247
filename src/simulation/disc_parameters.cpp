#include "simulation/disc_parameters.h"

#include <array>
#include <cmath>

namespace discsim {

ViewTilt derive_view_tilt(float view_tilt_deg) {
    const double t = degrees_to_radians(view_tilt_deg);
    return ViewTilt{static_cast<float>(std::cos(t)), static_cast<float>(std::sin(t))};
}

SourcePoint derive_source_point(const DiscParameters& params) {
    const double a = degrees_to_radians(params.source_azimuth_deg);
    const double d = params.source_distance;
    return SourcePoint{static_cast<float>(-d * std::cos(a)), static_cast<float>(-d * std::sin(a)),
                       params.source_height};
}

float derive_softening_sq(const DiscParameters& params) {
    const double s = params.softening;
    return static_cast<float>(s * s);
}

namespace {
using P = DiscParameters;
constexpr std::array<ParameterField, 14> fields{{
    {"view_tilt_deg", &P::view_tilt_deg},
    {"polar_angle_deg", &P::polar_angle_deg},
    {"source_distance", &P::source_distance},
    {"source_azimuth_deg", &P::source_azimuth_deg},
    {"source_height", &P::source_height},
    {"r_min", &P::r_min},
    {"r_max", &P::r_max},
    {"softening", &P::softening},
    {"drift_rate", &P::drift_rate},
    {"expansion_rate", &P::expansion_rate},
    {"respawn_spread", &P::respawn_spread},
    {"kepler_k", &P::kepler_k},
    {"centre_x", nullptr, &P::centre_x},
    {"centre_y", nullptr, &P::centre_y},
}};
}  // namespace

std::span<const ParameterField> parameter_fields() {
    return fields;
}

std::optional<ParameterField> find_parameter(std::string_view name) {
    for (const auto& f : fields) {
        if (f.name == name) return f;
    }
    return std::nullopt;
}

}  // namespace discsim
