// Shows keys in test failures as their bytes.
#pragma once

#include <ostream>

#include "display/key.h"

namespace discsim {

inline void PrintTo(const Key& key, std::ostream* os) {
    *os << "Key{";
    for (int i = 0; i < key.length; ++i)
        *os << (i > 0 ? "," : "") << static_cast<int>(key.bytes[i]);
    *os << "}";
}

}  // namespace discsim
