// The window's drawing surface: 1280 x 768 pixels of one 32-bit word 0xAARRGGBB each.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>

namespace discsim {

inline constexpr int surface_width = 1280;
inline constexpr int surface_height = 768;
inline constexpr std::uint32_t opening_colour = 0xFF000000u;

// One page, no second buffer: every plot goes straight to the image the window shows. Each
// pixel is written with one aligned 32-bit store, so a presentation thread reading at any time
// never sees a half-written pixel; no lock is taken per plot.
class Surface {
  public:
    // Every pixel 0xFF000000, as the window is when it opens.
    Surface();

    // The colour word at column x, row y, exactly as last plotted.
    std::uint32_t pixel(int x, int y) const {
        return std::atomic_ref<const std::uint32_t>(pixels_[index(x, y)])
            .load(std::memory_order_relaxed);
    }

    // Stores the colour unchanged; the caller has checked the bounds.
    void store(int x, int y, std::uint32_t colour) {
        std::atomic_ref<std::uint32_t>(pixels_[index(x, y)])
            .store(colour, std::memory_order_relaxed);
    }

    // Copies one row of pixels into dst (surface_width words) with whole-word reads.
    void copy_row(int y, std::uint32_t* dst) const;

    // Sets every pixel back to the opening colour (for tests and tools; the program never clears).
    void fill(std::uint32_t colour);

    std::uint32_t* data() { return pixels_.get(); }
    const std::uint32_t* data() const { return pixels_.get(); }

  private:
    static std::size_t index(int x, int y) {
        return static_cast<std::size_t>(y) * surface_width + static_cast<std::size_t>(x);
    }
    std::unique_ptr<std::uint32_t[]> pixels_;
};

// The pixel index of a window coordinate: nearest integer, halves away from zero; false for a
// NaN or an index outside 0..limit-1 (which includes every index beyond 32 bits).
inline bool pixel_index(float coordinate, int limit, int& index) {
    const double v = coordinate;  // v +- 0.5 is exact in double for every on-window float
    const double t = v > 0.0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5);
    if (!(t >= 0.0 && t < static_cast<double>(limit))) return false;
    index = static_cast<int>(t);
    return true;
}

// Sets one pixel at single-precision window coordinates; points outside are dropped silently.
inline void plot_pixel(Surface& surface, float x, float y, std::uint32_t colour) {
    int column = 0;
    int row = 0;
    if (pixel_index(x, surface_width, column) && pixel_index(y, surface_height, row)) {
        surface.store(column, row, colour);
    }
}

}  // namespace discsim
