#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "presentation/frame_drawing.h"
#include "presentation/start_up.h"

namespace discsim {
namespace {

// A few particles placed by hand on a fresh surface.
struct SmallFrame : ::testing::Test {
    explicit SmallFrame(int n = 3) : particles(n) {
        for (int k = 1; k <= particles.count; ++k)
            particles.source_dist[k] = 100.0f;
    }
    void place(int k, float sx, float sy, float dist = 100.0f) {
        particles.screen_x[k] = sx;
        particles.screen_y[k] = sy;
        particles.source_dist[k] = dist;
    }
    void draw() { draw_frame(*surface, particles, params, constants); }
    std::uint32_t at_offset(int dx, int dy) const { return surface->pixel(640 + dx, 384 - dy); }

    DiscParameters params;
    StepConstants constants = derive_step_constants(params);
    ParticleSet particles;
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
};

TEST_F(SmallFrame, HighlightIsStrictlyInsideSixtyUnits) {
    struct Case {
        float source_dist;
        std::uint32_t colour;
    };
    const Case cases[] = {
        {60.0f, particle_colour}, {std::nextafter(60.0f, 0.0f), highlight_colour},
        {0.0f, highlight_colour}, {std::nextafter(60.0f, 100.0f), particle_colour},
        {NAN, particle_colour},
    };
    int dx = 10;
    for (const Case& c : cases) {
        place(1, static_cast<float>(dx), 50.0f, c.source_dist);
        draw();
        EXPECT_EQ(at_offset(dx, 50), c.colour) << c.source_dist;
        dx += 10;
    }
}

TEST_F(SmallFrame, LaterParticlesWinAndLaterErasuresRemoveEarlierPlots) {
    // Step 1: particles 1 and 2 share a pixel; particle 3 elsewhere.
    place(1, 20.0f, 20.0f, 10.0f);  // white
    place(2, 20.0f, 20.0f);         // red, drawn after 1
    place(3, 30.0f, 30.0f);
    draw();
    EXPECT_EQ(at_offset(20, 20), particle_colour);

    // Step 2: particle 1 moves onto particle 3's old pixel before 3 erases it there.
    place(1, 30.0f, 30.0f);
    place(2, 40.0f, 40.0f);
    place(3, 50.0f, 50.0f);
    draw();
    EXPECT_EQ(at_offset(30, 30), erase_colour) << "particle 1 is missing for one step";
    EXPECT_EQ(at_offset(20, 20), erase_colour);
    EXPECT_EQ(at_offset(40, 40), particle_colour);

    // Step 3: drawn again, particle 1 is back.
    draw();
    EXPECT_EQ(at_offset(30, 30), particle_colour);
}

TEST_F(SmallFrame, AParticleThatStaysOnItsPixelKeepsItsColour) {
    place(1, -15.0f, 7.0f, 30.0f);
    draw();
    draw();
    EXPECT_EQ(at_offset(-15, 7), highlight_colour);
    EXPECT_EQ(particles.prev_screen_x[1], -15.0f);
    EXPECT_EQ(particles.prev_screen_y[1], 7.0f);
}

TEST_F(SmallFrame, MarkersLieOnTopOfEverythingDrawnInTheStep) {
    place(1, 0.0f, 0.0f);    // on the centre marker
    place(2, -70.0f, 0.0f);  // on the source marker
    place(3, -69.0f, -1.0f, 5.0f);
    draw();
    for (int dx = 0; dx < 2; ++dx) {
        for (int dy = 0; dy < 2; ++dy) {
            EXPECT_EQ(surface->pixel(640 + dx, 384 + dy), centre_marker_colour);
            EXPECT_EQ(surface->pixel(570 + dx, 384 + dy), source_marker_colour);
        }
    }
}

TEST(FirstStep, EveryErasureLandsOnTheCentreAndTheMarkerIsWholeAfterwards) {
    auto surface = std::make_unique<Surface>();
    auto state = std::make_unique<DiscState>();
    start_disc(*state, *surface, DiscParameters{}, 77u);
    // Before the first step the picture is the black window with the centre marker only.
    int lit = 0;
    for (int y = 0; y < surface_height; ++y) {
        for (int x = 0; x < surface_width; ++x)
            lit += surface->pixel(x, y) != opening_colour;
    }
    EXPECT_EQ(lit, 4);

    // Every particle's first erasure maps its zero start offsets onto the centre pixel.
    ParticleSet& p = state->particles;
    advance_particles(p, state->params, state->constants, state->stream);
    for (int k = 1; k <= p.count; ++k) {
        const WindowPoint old = map_to_window(p.prev_screen_x[k], p.prev_screen_y[k], 640, 384);
        ASSERT_EQ(old.x, 640.0f);
        ASSERT_EQ(old.y, 384.0f);
    }
    draw_frame(*surface, p, state->params, state->constants);
    for (int dx = 0; dx < 2; ++dx) {
        for (int dy = 0; dy < 2; ++dy)
            EXPECT_EQ(surface->pixel(640 + dx, 384 + dy), centre_marker_colour);
    }
}

}  // namespace
}  // namespace discsim
