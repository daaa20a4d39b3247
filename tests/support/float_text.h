// Test helper: a float as the seven significant digits in which documented values are given.
#pragma once

#include <cstdio>
#include <string>

namespace discsim {

inline std::string seven_digits(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
    return text;
}

}  // namespace discsim
