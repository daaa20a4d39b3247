// What discsim-headless writes: the particle state as CSV and the surface as a PNG.
#pragma once

#include <cstdio>

#include "display/surface.h"
#include "simulation/particle_set.h"

namespace discsim {

// Header, then one row per particle 1..count, every float with %.9g so it reads back exactly.
bool write_state_csv(std::FILE* out, const ParticleSet& particles);

// The surface as a 1280 x 768 8-bit RGB PNG (bits 16-23 red, 8-15 green, 0-7 blue).
bool write_frame_png(std::FILE* out, const Surface& surface);

}  // namespace discsim
