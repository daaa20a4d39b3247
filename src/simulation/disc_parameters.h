// The disc model's fixed parameter set and the values derived from it once at start-up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace discsim {

// Fixed model parameters with their shipped values. Tools and tests edit a copy.
struct DiscParameters {
    float view_tilt_deg = 3.0f;     // line of sight away from the disc axis, 0 = face-on
    float polar_angle_deg = 65.0f;  // orbital tilts are drawn within +-(90 - this) = +-25 degrees
    float source_distance = 70.0f;  // source point's distance from the axis
    float source_azimuth_deg = 0.0f;
    float source_height = 0.0f;
    float r_min = 75.0f;   // inner radius of the population; base of the respawn threshold
    float r_max = 300.0f;  // outer radius of the population; base of the respawn radius
    float softening = 0.0f;
    float drift_rate = 0.0f;
    float expansion_rate = 0.0f;
    float respawn_spread = 0.0f;
    float kepler_k = 30.0f;  // angular_speed = kepler_k / r^1.5: one turn in ~136 steps at r = 75
    std::int32_t centre_x = 640;  // window column of the disc centre
    std::int32_t centre_y = 384;  // height of the centre above the window's bottom edge
};

// The sine and cosine of the observer's tilt away from face-on.
struct ViewTilt {
    float cos_view = 0.0f;
    float sin_view = 0.0f;
};

// The point that highlights particles near it, in the disc frame.
struct SourcePoint {
    float source_x = 0.0f;
    float source_y = 0.0f;
    float source_height = 0.0f;
};

inline constexpr int particle_count = 10000;
inline constexpr double pi_approx = 3.141592654;  // the model's pi, used in every angle formula
inline constexpr double full_turn = 6.283185308;  // the model's 2 pi

// Degrees to radians as the model does it: product first, then the quotient, in double.
inline double degrees_to_radians(float degrees) {
    return static_cast<double>(degrees) * pi_approx / 180.0;
}

// Returns cos and sin of the tilt, each rounded once to single precision.
ViewTilt derive_view_tilt(float view_tilt_deg);

// Returns the source point, opposite its azimuth at source_distance from the axis.
SourcePoint derive_source_point(const DiscParameters& params);

// Returns softening squared, rounded once to single precision.
float derive_softening_sq(const DiscParameters& params);

// One named, settable field of DiscParameters, for command lines and reports.
struct ParameterField {
    std::string_view name;
    float DiscParameters::*real = nullptr;            // set for single-precision fields
    std::int32_t DiscParameters::*integer = nullptr;  // set for the integer centre fields
};

// Every field of DiscParameters, in declaration order.
std::span<const ParameterField> parameter_fields();

// The field of that name, or nothing.
std::optional<ParameterField> find_parameter(std::string_view name);

}  // namespace discsim
