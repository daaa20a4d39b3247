#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "display/surface.h"
#include "presentation/frame_drawing.h"

namespace discsim {
namespace {

constexpr std::uint32_t probe = 0xFF123456u;

// Plots once on a fresh surface; returns the one pixel that changed, or nothing.
std::optional<std::pair<int, int>> plotted_at(float x, float y) {
    static auto surface = std::make_unique<Surface>();
    surface->fill(opening_colour);
    plot_pixel(*surface, x, y, probe);
    std::optional<std::pair<int, int>> hit;
    for (int row = 0; row < surface_height; ++row) {
        for (int col = 0; col < surface_width; ++col) {
            if (surface->pixel(col, row) != opening_colour) {
                EXPECT_FALSE(hit) << "more than one pixel changed";
                hit = std::make_pair(col, row);
            }
        }
    }
    return hit;
}

TEST(PlotPixel, RoundsHalvesAwayFromZeroAndDropsWhatFallsOutside) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float x, y;
        bool drawn;
        int col, row;
    };
    const Case cases[] = {
        {639.5f, 10.0f, true, 640, 10},    {-0.4f, 10.0f, true, 0, 10},
        {-0.5f, 10.0f, false, 0, 0},       {1279.5f, 10.0f, false, 0, 0},
        {1279.49f, 10.0f, true, 1279, 10}, {10.0f, 767.5f, false, 0, 0},
        {10.0f, 767.49f, true, 10, 767},   {10.0f, -0.49f, true, 10, 0},
        {0.49999997f, 0.5f, true, 0, 1},   {nan, 10.0f, false, 0, 0},
        {10.0f, nan, false, 0, 0},         {inf, 10.0f, false, 0, 0},
        {-inf, 10.0f, false, 0, 0},        {3.0e9f, 10.0f, false, 0, 0},
        {-3.0e9f, 10.0f, false, 0, 0},     {10.0f, 1.0e30f, false, 0, 0},
    };
    for (const Case& c : cases) {
        const auto hit = plotted_at(c.x, c.y);
        EXPECT_EQ(hit.has_value(), c.drawn) << c.x << ", " << c.y;
        if (hit && c.drawn) {
            EXPECT_EQ(*hit, std::make_pair(c.col, c.row)) << c.x << ", " << c.y;
        }
    }
}

TEST(PlotPixel, StoresTheColourWordUnchanged) {
    auto surface = std::make_unique<Surface>();
    EXPECT_EQ(surface->pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(surface->pixel(1279, 767), 0xFF000000u);
    plot_pixel(*surface, 5.0f, 6.0f, particle_colour);
    EXPECT_EQ(surface->pixel(5, 6), 0xFFFF0000u);
    plot_pixel(*surface, 5.0f, 6.0f, 0x12345678u);  // the top byte is kept as plotted
    EXPECT_EQ(surface->pixel(5, 6), 0x12345678u);
}

TEST(WindowMapping, SinglePrecisionRoundingComesBeforePixelRounding) {
    // 640 + 0.49999997 = 640.49999997 rounds to the float 640.5 and so to column 641.
    const WindowPoint w = map_to_window(0.49999997f, 0.0f, 640, 384);
    EXPECT_EQ(w.x, 640.5f);
    int col = 0;
    ASSERT_TRUE(pixel_index(w.x, surface_width, col));
    EXPECT_EQ(col, 641);
}

TEST(WindowMapping, PositiveScreenYIsDrawnAboveTheCentre) {
    const WindowPoint w = map_to_window(-12.0f, 20.0f, 640, 384);
    EXPECT_EQ(w.x, 628.0f);
    EXPECT_EQ(w.y, 364.0f);
}

}  // namespace
}  // namespace discsim
