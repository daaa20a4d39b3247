#include "display/surface.h"

namespace discsim {

Surface::Surface()
    : pixels_(new std::uint32_t[static_cast<std::size_t>(surface_width) * surface_height]) {
    fill(opening_colour);
}

void Surface::copy_row(int y, std::uint32_t* dst) const {
    for (int x = 0; x < surface_width; ++x)
        dst[x] = pixel(x, y);
}

void Surface::fill(std::uint32_t colour) {
    for (int y = 0; y < surface_height; ++y) {
        for (int x = 0; x < surface_width; ++x)
            store(x, y, colour);
    }
}

}  // namespace discsim
