#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "simulation/population.h"
#include "simulation/time_step.h"

namespace discsim {
namespace {

constexpr float nan_f = std::numeric_limits<float>::quiet_NaN();

// One particle on an untilted orbit with node 0, so its sky position is its orbit position.
ParticleSet flat_particle(float radius, float phase, const DiscParameters& params = {}) {
    ParticleSet p(1);
    p.radius[1] = radius;
    p.phase[1] = phase;
    p.angular_speed[1] = kepler_angular_speed(params.kepler_k, radius);
    p.cos_incl[1] = 1.0f;
    p.cos_node[1] = 1.0f;
    return p;
}

bool same_position(const Mt19937Block& engine, std::uint32_t seed, int words) {
    std::mt19937 reference(seed);
    reference.discard(static_cast<unsigned long long>(words));
    return engine == reference;
}

TEST(TimeStep, FirstDrawnPositionIsInitialPhasePlusOneIncrement) {
    const DiscParameters params;
    ParticleSet p = flat_particle(100.0f, 1.0f);
    const float speed = p.angular_speed[1];
    DeviateStream stream(1u);
    advance_particles(p, params, derive_step_constants(params), stream);

    const float phase = 1.0f + speed;
    EXPECT_EQ(p.phase[1], phase);
    const auto x = static_cast<float>(std::cos(static_cast<double>(phase)) * 100.0);
    const auto y = static_cast<float>(std::sin(static_cast<double>(phase)) * 100.0);
    EXPECT_EQ(p.screen_x[1], x);
    EXPECT_EQ(p.screen_y[1], static_cast<float>(0.9986295 * static_cast<double>(y)));
    const double dx = static_cast<double>(x) + 70.0;
    EXPECT_EQ(p.source_dist[1],
              static_cast<float>(std::sqrt(dx * dx + static_cast<double>(y) * y)));
}

TEST(TimeStep, RadiusEvolution) {
    struct Case {
        const char* name;
        float drift_rate, respawn_spread, expansion_rate;
        float radius_before;
        float radius_after;
        int deviates;
    };
    const float r = 76.0f;
    const double drifted =
        static_cast<double>(r) - static_cast<double>(kepler_angular_speed(30.0f, r)) * r * 0.01;
    const Case cases[] = {
        {"shipped values keep an inner particle", 0, 0, 0, 75.0f, 75.0f, 1},
        {"shipped values keep an outer particle", 0, 0, 0, 300.0f, 300.0f, 1},
        {"drift above the threshold", 0.01f, 0, 0, r, static_cast<float>(drifted), 1},
        {"drift below r_min respawns at exactly r_max", 0.5f, 0, 0, r, 300.0f, 2},
        {"NaN radius is respawned", 0, 0, 0, nan_f, 300.0f, 2},
        {"zero expansion changes nothing", 0, 0, 0.0f, 120.0f, 120.0f, 1},
        {"negative expansion changes nothing", 0, 0, -3.0f, 120.0f, 120.0f, 1},
        {"expansion scales the radius", 0, 0, 2.0f, 100.0f, 120.0f, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscParameters params;
        params.drift_rate = c.drift_rate;
        params.respawn_spread = c.respawn_spread;
        params.expansion_rate = c.expansion_rate;
        ParticleSet p = flat_particle(c.radius_before, 0.5f, params);
        const float phase_before = p.phase[1];
        const float speed_before = p.angular_speed[1];
        DeviateStream stream(3u);
        advance_particles(p, params, derive_step_constants(params), stream);
        EXPECT_EQ(p.radius[1], c.radius_after);
        EXPECT_EQ(p.angular_speed[1], kepler_angular_speed(30.0f, c.radius_after));
        if (!std::isnan(c.radius_before)) {  // a NaN radius leaves a NaN speed, and so phase
            EXPECT_EQ(p.phase[1], phase_before + speed_before);
        }
        EXPECT_TRUE(same_position(stream.engine(), 3u, c.deviates));
    }
}

TEST(TimeStep, RespawnSpreadDrawsTheThresholdAndTheNewRadius) {
    DiscParameters params;
    params.respawn_spread = 0.5f;
    // Over many seeds the threshold, (u - 0.5) * 75 * 0.5 + 75, falls on both sides of 75.
    int respawned = 0;
    for (std::uint32_t seed = 0; seed < 64; ++seed) {
        ParticleSet p = flat_particle(75.0f, 0.0f, params);
        DeviateStream stream(seed);
        advance_particles(p, params, derive_step_constants(params), stream);

        DeviateStream replay(seed);
        const double u = replay.next_deviate();
        const double threshold = (u - 0.5) * 75.0 * 0.5 + 75.0;
        if (75.0 < threshold) {
            ++respawned;
            const double u2 = replay.next_deviate();
            EXPECT_EQ(p.radius[1], static_cast<float>((u2 - 0.5) * 300.0 * 0.5 + 300.0));
        } else {
            EXPECT_EQ(p.radius[1], 75.0f);
        }
        EXPECT_TRUE(stream.engine() == replay.engine());
    }
    EXPECT_GT(respawned, 0);
    EXPECT_LT(respawned, 64);
}

TEST(TimeStep, OneDeviatePerParticlePerStepWithTheShippedValues) {
    const DiscParameters params;
    ParticleSet p;
    DeviateStream stream(8u);
    populate_disc(p, params, stream);
    const StepConstants c = derive_step_constants(params);
    for (int step = 0; step < 3; ++step)
        advance_particles(p, params, c, stream);
    EXPECT_TRUE(same_position(stream.engine(), 8u, 40000 + 3 * 10000));
}

TEST(TimeStep, SofteningBoundsTheSourceDistanceFromBelow) {
    DiscParameters params;
    params.r_min = 60.0f;  // orbits that cross the source point's radius of 70
    params.r_max = 80.0f;
    params.softening = 5.0f;
    ParticleSet p(200);
    DeviateStream stream(21u);
    populate_disc(p, params, stream);
    const StepConstants c = derive_step_constants(params);
    float nearest = std::numeric_limits<float>::infinity();
    for (int step = 0; step < 1500; ++step) {
        advance_particles(p, params, c, stream);
        for (int k = 1; k <= p.count; ++k)
            nearest = std::min(nearest, p.source_dist[k]);
    }
    EXPECT_GE(nearest, 5.0f);
    EXPECT_LT(nearest, 6.0f);  // some particle did pass close by
}

TEST(PhaseWrap, APhaseAtOrPastAFullTurnComesBackIntoRange) {
    const float just_below = std::nextafter(static_cast<float>(6.283185308), 0.0f);
    const float cases[] = {just_below, static_cast<float>(6.283185308), 100.0f, 1048576.0f, 3.0e7f};
    for (const float start : cases) {
        SCOPED_TRACE(start);
        const DiscParameters params;
        ParticleSet p = flat_particle(75.0f, start);
        const float speed = p.angular_speed[1];
        DeviateStream stream(1u);
        const StepConstants c = derive_step_constants(params);
        advance_particles(p, params, c, stream);
        const float first = p.phase[1];
        EXPECT_GE(first, 0.0f);
        EXPECT_LT(static_cast<double>(first), 6.283185308);
        EXPECT_EQ(p.angular_speed[1], speed);
        // Back in range the particle takes its whole angular speed again instead of freezing.
        advance_particles(p, params, c, stream);
        EXPECT_NEAR(p.phase[1] - first, speed, 1e-6f);
    }
}

TEST(PhaseWrap, PhasesStayInRangeOverALongStretch) {
    const DiscParameters params;
    ParticleSet p(100);
    DeviateStream stream(31u);
    populate_disc(p, params, stream);
    const StepConstants c = derive_step_constants(params);
    for (int step = 0; step < 20000; ++step) {
        advance_particles(p, params, c, stream);
        for (int k = 1; k <= p.count; ++k) {
            ASSERT_GE(p.phase[k], 0.0f);
            ASSERT_LT(static_cast<double>(p.phase[k]), 6.283185308) << "step " << step;
        }
    }
}

TEST(PhaseWrap, PhasesBelowAFullTurnPassUnchanged) {
    for (const float phase : {0.0f, 1.0f, 6.28318f, -2.0f})
        EXPECT_EQ(wrap_phase(phase), phase);
    EXPECT_TRUE(std::isnan(wrap_phase(nan_f)));
}

// FNV-1a over the bytes of every array: any change of any stored bit changes it.
std::uint64_t digest(const ParticleSet& p) {
    std::uint64_t h = 1469598103934665603ull;
    for (const auto* array :
         {&p.radius, &p.phase, &p.angular_speed, &p.sin_incl, &p.cos_incl, &p.sin_node, &p.cos_node,
          &p.orbit_x, &p.orbit_y, &p.height, &p.sky_x, &p.sky_y, &p.screen_x, &p.screen_y,
          &p.source_dist, &p.prev_screen_x, &p.prev_screen_y}) {
        for (const float v : *array) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            for (int b = 0; b < 4; ++b) {
                h ^= (bits >> (8 * b)) & 0xFFu;
                h *= 1099511628211ull;
            }
        }
    }
    return h;
}

TEST(Determinism, WholeStateAfterManyStepsMatchesItsKnownDigest) {
    const DiscParameters params;
    ParticleSet p;
    DeviateStream stream(1u);
    populate_disc(p, params, stream);
    const StepConstants c = derive_step_constants(params);
    for (int step = 0; step < 300; ++step)
        advance_particles(p, params, c, stream);
    EXPECT_EQ(digest(p), 0xc40895f69552e1f7ull) << std::hex << digest(p);
}

}  // namespace
}  // namespace discsim
