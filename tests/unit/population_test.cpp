#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "simulation/population.h"
#include "support/float_text.h"

namespace discsim {
namespace {

// The arrays that populate_disc must leave untouched.
std::vector<const std::vector<float>*> unset_arrays(const ParticleSet& p) {
    return {&p.orbit_x,  &p.orbit_y,  &p.height,      &p.sky_x,         &p.sky_y,
            &p.screen_x, &p.screen_y, &p.source_dist, &p.prev_screen_x, &p.prev_screen_y};
}

TEST(Population, TakesExactlyFourDeviatesPerParticle) {
    ParticleSet particles;
    DeviateStream stream(7u);
    populate_disc(particles, DiscParameters{}, stream);
    std::mt19937 reference(7u);
    reference.discard(40000);
    EXPECT_TRUE(stream.engine() == reference);
}

TEST(Population, DeviatesGoToRadiusPhaseNodeAndTiltInThatOrder) {
    const DiscParameters params;
    ParticleSet drawn(3);
    DeviateStream stream(99u);
    populate_disc(drawn, params, stream);

    DeviateStream replay(99u);
    for (int k = 1; k <= 3; ++k) {
        const double u1 = replay.next_deviate();
        const double u2 = replay.next_deviate();
        const double u3 = replay.next_deviate();
        const double u4 = replay.next_deviate();
        EXPECT_EQ(drawn.radius[k], static_cast<float>(u1 * 225.0 + 75.0));
        EXPECT_EQ(drawn.phase[k], static_cast<float>(u2 * 6.283185308));
        const auto node = static_cast<float>(u3 * 3.141592654);
        EXPECT_EQ(drawn.cos_node[k], static_cast<float>(std::cos(static_cast<double>(node))));
        const auto tilt = static_cast<float>((2.0 * u4 - 1.0) * 25.0 * 3.141592654 / 180.0);
        EXPECT_EQ(drawn.sin_incl[k], static_cast<float>(std::sin(static_cast<double>(tilt))));
    }
}

TEST(Population, SameSeedSamePopulationOtherSeedAnother) {
    ParticleSet a;
    ParticleSet b;
    ParticleSet c;
    DeviateStream sa(42u);
    DeviateStream sb(42u);
    DeviateStream sc(43u);
    populate_disc(a, DiscParameters{}, sa);
    populate_disc(b, DiscParameters{}, sb);
    populate_disc(c, DiscParameters{}, sc);
    EXPECT_EQ(a.radius, b.radius);
    EXPECT_EQ(a.phase, b.phase);
    EXPECT_EQ(a.sin_node, b.sin_node);
    EXPECT_NE(a.radius, c.radius);
}

TEST(Population, SetsOnlyTheOrbitArraysAndNeverSlotZero) {
    ParticleSet p;
    DeviateStream stream(5u);
    populate_disc(p, DiscParameters{}, stream);
    for (const auto* array : unset_arrays(p)) {
        for (float v : *array)
            ASSERT_EQ(v, 0.0f);
    }
    for (const auto* array : {&p.radius, &p.phase, &p.angular_speed, &p.sin_incl, &p.cos_incl,
                              &p.sin_node, &p.cos_node}) {
        EXPECT_EQ((*array)[0], 0.0f);
    }
}

TEST(Population, ValuesLieInTheirRanges) {
    ParticleSet p;
    DeviateStream stream(11u);
    populate_disc(p, DiscParameters{}, stream);
    const float max_sin = static_cast<float>(std::sin(25.0 * 3.141592654 / 180.0));
    const float min_cos = static_cast<float>(std::cos(25.0 * 3.141592654 / 180.0));
    for (int k = 1; k <= p.count; ++k) {
        ASSERT_GE(p.radius[k], 75.0f);
        ASSERT_LE(p.radius[k], 300.0f);
        ASSERT_GE(p.phase[k], 0.0f);
        ASSERT_LE(p.phase[k], 6.2831855f);
        ASSERT_EQ(p.angular_speed[k], kepler_angular_speed(30.0f, p.radius[k]));
        ASSERT_LE(std::fabs(p.sin_incl[k]), std::nextafter(max_sin, 1.0f));
        ASSERT_GE(p.cos_incl[k], std::nextafter(min_cos, 0.0f));
        ASSERT_LE(p.cos_incl[k], 1.0f);
        ASSERT_GE(p.sin_node[k], 0.0f);  // node over half a turn only
    }
}

TEST(Population, RoundingReachesTheUpperEndsTheDeviatesNeverReach) {
    const double top = 1.0 - 0x1p-32;  // the largest deviate
    ParticleSet p(1);
    place_particle(p, 1, DiscParameters{}, top, top, top, top);
    EXPECT_EQ(p.radius[1], 300.0f);
    EXPECT_EQ(p.phase[1], static_cast<float>(6.283185308));
    // The node rounds to the float nearest pi and the tilt to the float nearest +25 degrees.
    EXPECT_EQ(p.cos_node[1],
              static_cast<float>(std::cos(static_cast<double>(static_cast<float>(3.141592654)))));
    EXPECT_EQ(p.sin_incl[1], static_cast<float>(std::sin(static_cast<double>(
                                 static_cast<float>(25.0 * 3.141592654 / 180.0)))));
}

TEST(Population, AngularSpeedAtTheEdgesOfTheDisc) {
    struct Case {
        double u1;
        float radius;
        const char* speed;  // seven significant digits
    };
    for (const Case c :
         {Case{0.0, 75.0f, "0.04618802"}, Case{1.0 - 0x1p-32, 300.0f, "0.005773503"}}) {
        ParticleSet p(1);
        place_particle(p, 1, DiscParameters{}, c.u1, 0.5, 0.5, 0.5);
        EXPECT_EQ(p.radius[1], c.radius);
        EXPECT_EQ(seven_digits(p.angular_speed[1]), c.speed);
    }
}

}  // namespace
}  // namespace discsim
