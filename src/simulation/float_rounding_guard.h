// When the vector step may store a float computed from SLEEF's sine and cosine instead of the C
// library's: the bit patterns of doubles whose rounding to float is certain to come out the same.
#pragma once

#include <cstdint>

namespace discsim {

// Why it is safe. A double d is stored as a float by rounding to nearest; another double rounds
// to a different float only if a rounding boundary (a midpoint between two adjacent floats) lies
// between the two. Of d's 52 fraction bits the float keeps the top 23; the low 29 ("dropped")
// count d's distance above the float below it in units of d's ulp, and a midpoint has exactly the
// pattern 1 followed by 28 zeros. If d's dropped bits differ from that pattern by more than M,
// every double within M ulps of d rounds to the same float as d. (Across a power of two the dropped
// bits are near all-zeros or all-ones, far from the midpoint, and both sides round to that power.)
//
// The vector step takes sine and cosine from SLEEF's sincos_u35, within 3.5 ulps of the true
// values for phases up to 1e14 in size; the plain step from the C library, within 1 ulp. So the
// two differ by at most 4.5 ulps, a relative 2^-49.8. The step rounds to float exactly three
// values formed from them: height = sin * r * sin_incl, orbit_x = cos * r and
// orbit_y = sin * r * cos_incl; everything after is computed from those stored floats. Each
// product rounds at most twice in double (relative 2^-53 each), so the two paths' products differ
// by less than a relative 2^-49.4, below 12 ulps of the product. Checking the three products (not
// the sine and cosine themselves: a product rounds at its own boundaries) with M = 1024 ulps
// covers the libraries disagreeing by up to 500 ulps. About 4 products in a million fail the
// check; the step then recomputes that block with the C library's functions, as it does for a
// phase beyond max_lane_phase.
//
// Values outside the normal float range go to the plain functions as well: below 2^-125 the float
// grid turns subnormal, from 2^127 on it ends at infinity, and zeros, infinities and NaNs follow
// propagation rules that need not match between the libraries.
inline constexpr std::int32_t rounding_margin = 1024;             // M, in ulps of the double
inline constexpr std::int32_t dropped_bits_mask = 0x1FFFFFFF;     // the 29 bits a float drops
inline constexpr std::int32_t dropped_midpoint = 0x10000000;      // 1 then 28 zeros
inline constexpr std::int32_t lowest_safe_exponent = 1023 - 125;  // biased: |d| >= 2^-125
inline constexpr std::int32_t safe_exponent_span = 126 + 125;     // up to |d| < 2^127
inline constexpr double max_lane_phase = 0x1p40;  // well inside SLEEF's accurate range of 1e14

}  // namespace discsim
