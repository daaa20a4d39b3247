// The observer: bin arithmetic, weights, the order of its deviates, the first-step rule, the
// mean delay, and that it leaves the particles as the plain step does.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "simulation/observation.h"
#include "simulation/population.h"
#include "simulation/time_step.h"
#include "unit/allocation_counter.h"

namespace discsim {
namespace {

constexpr float nan_f = std::numeric_limits<float>::quiet_NaN();
constexpr float inf_f = std::numeric_limits<float>::infinity();

// Every array of the ParticleSet, to compare or copy whole states.
constexpr std::array<std::vector<float> ParticleSet::*, particle_set_array_count> all_arrays{
    &ParticleSet::radius,        &ParticleSet::phase,         &ParticleSet::angular_speed,
    &ParticleSet::sin_incl,      &ParticleSet::cos_incl,      &ParticleSet::sin_node,
    &ParticleSet::cos_node,      &ParticleSet::orbit_x,       &ParticleSet::orbit_y,
    &ParticleSet::height,        &ParticleSet::sky_x,         &ParticleSet::sky_y,
    &ParticleSet::screen_x,      &ParticleSet::screen_y,      &ParticleSet::source_dist,
    &ParticleSet::prev_screen_x, &ParticleSet::prev_screen_y,
};

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// The first array that differs in any bit, or -1.
int first_difference(const ParticleSet& a, const ParticleSet& b) {
    for (std::size_t i = 0; i < all_arrays.size(); ++i) {
        if (!same_bits(a.*all_arrays[i], b.*all_arrays[i])) return static_cast<int>(i);
    }
    return -1;
}

// A disc with everything it needs for the step, populated from a seed.
struct Disc {
    Disc(const DiscParameters& p, int count, std::uint32_t seed)
        : particles(count), params(p), constants(derive_step_constants(p)), stream(seed) {
        populate_disc(particles, params, stream);
    }
    ParticleSet particles;
    DiscParameters params;
    StepConstants constants;
    DeviateStream stream;

    void step() { advance_particles(particles, params, constants, stream); }
    void step(Observation& o) { advance_particles(particles, params, constants, stream, o); }
};

// One particle on an untilted orbit seen face-on: its depth is 0 in every step, so its velocity
// is set by prev_depth alone, and it stands still in its first step.
struct FlatParticle {
    explicit FlatParticle(float radius, float phase, const ObservationParameters& op = {})
        : params(face_on()),
          particles(1),
          constants(derive_step_constants(params)),
          observation(params, op, 1) {
        particles.radius[1] = radius;
        particles.phase[1] = phase;
        particles.angular_speed[1] = 0.0f;
        particles.cos_incl[1] = 1.0f;
        particles.cos_node[1] = 1.0f;
    }
    static DiscParameters face_on() {
        DiscParameters p;
        p.view_tilt_deg = 0.0f;
        return p;
    }
    void step() { advance_particles(particles, params, constants, stream, observation); }

    // prev_depth such that the next step's velocity lies at the centre of profile bin `bin`.
    void aim_at_profile_bin(int bin) {
        const double v = profile_bin_velocity(bin, observation.params.velocity_span);
        // velocity = -(0 - prev_depth) * velocity_scale / kepler_k
        observation.prev_depth[1] =
            static_cast<float>(v * params.kepler_k / observation.params.velocity_scale);
    }

    DiscParameters params;
    ParticleSet particles;
    StepConstants constants;
    DeviateStream stream{1u};
    Observation observation;
};

double sum(const std::vector<double>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0);
}

TEST(FloorToInt32, RoundsTowardsMinusInfinityAndRejectsWhatDoesNotFit) {
    struct Case {
        double x;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {0.999, 0},
        {-0.5, -1},
        {-1.0, -1},
        {-1.5, -2},
        {2147483647.5, 2147483647},
        {2147483648.0, std::nullopt},
        {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
        {-2147483648.5, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(floor_to_int32(c.x), c.expected) << c.x;
}

TEST(ProfileBin, FillsOnlyBinsTwoTo999) {
    struct Case {
        float velocity;
        float span;
        int expected;
    };
    // bin = floor(1000 * v / span + 500)
    const Case cases[] = {
        {0.0f, 100000.0f, 500},
        {-0.001f, 100000.0f, 499},  // just below a bin edge: floor, not nearest
        {-50.0f, 100000.0f, 499},
        {49.0f, 100000.0f, 500},
        {-49850.0f, 100000.0f, no_bin},  // bin 1
        {-49800.0f, 100000.0f, 2},
        {49999.0f, 100000.0f, 999},
        {50000.0f, 100000.0f, no_bin},   // bin 1000
        {-50000.0f, 100000.0f, no_bin},  // bin 0
        {-50050.0f, 100000.0f, no_bin},  // bin -1
        {3.0e38f, 100000.0f, no_bin},    // beyond 32 bits
        {-3.0e38f, 100000.0f, no_bin},
        {nan_f, 100000.0f, no_bin},
        {inf_f, 100000.0f, no_bin},
        {1.0f, 0.0f, no_bin},      // a zero span divides by zero
        {150.0f, 1000.0f, 650},    // the span sets the bin width
        {-150.0f, -1000.0f, 650},  // a negative span mirrors the profile
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fillable_profile_bin(c.velocity, c.span), c.expected)
            << "v=" << c.velocity << " span=" << c.span;
    }
}

TEST(DelayBin, FillsOnlyBinsOneTo999) {
    struct Case {
        float delay;
        float source_depth;
        int expected;
    };
    // bin = floor(delay - source_depth) + 1
    const Case cases[] = {
        {0.0f, 0.0f, 1},
        {0.999f, 0.0f, 1},
        {1.0f, 0.0f, 2},
        {159.5f, 0.0f, 160},
        {-0.5f, 0.0f, no_bin},  // floor gives -1, bin 0; truncation would
                                // wrongly give bin 1
        {-1.0f, 0.0f, no_bin},
        {998.9f, 0.0f, 999},
        {999.0f, 0.0f, no_bin},  // bin 1000
        {10.5f, 10.0f, 1},       // measured from the source's depth
        {9.5f, 10.0f, no_bin},
        {3.0e9f, 0.0f, no_bin},
        {-3.0e9f, 0.0f, no_bin},
        {nan_f, 0.0f, no_bin},
        {-inf_f, 0.0f, no_bin},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fillable_delay_bin(c.delay, c.source_depth), c.expected)
            << "delay=" << c.delay << " source_depth=" << c.source_depth;
    }
}

TEST(SourceDepth, IsTheSourcePointAlongTheLineOfSight) {
    struct Case {
        float view_tilt_deg, source_azimuth_deg, source_height;
    };
    const Case cases[] = {
        {3.0f, 0.0f, 0.0f}, {60.0f, 0.0f, 10.0f}, {30.0f, 90.0f, 0.0f}, {45.0f, 30.0f, -5.0f}};
    for (const auto& c : cases) {
        DiscParameters p;
        p.view_tilt_deg = c.view_tilt_deg;
        p.source_azimuth_deg = c.source_azimuth_deg;
        p.source_height = c.source_height;
        const SourcePoint s = derive_source_point(p);
        const double t = degrees_to_radians(c.view_tilt_deg);
        // sin and cos of the tilt in double, not the rounded ViewTilt; a plus sign on source_y.
        const float expected =
            static_cast<float>(std::sin(t) * s.source_y + std::cos(t) * s.source_height);
        EXPECT_EQ(derive_source_depth(p), expected) << c.view_tilt_deg;
    }
    EXPECT_EQ(derive_source_depth(DiscParameters{}), 0.0f);
}

TEST(Weight, IsOneOverSourceDistToTheExponent) {
    EXPECT_EQ(illumination_weight(2.0f, 2.0f), 0.25);
    EXPECT_EQ(illumination_weight(4.0f, 1.0f), 0.25);
    EXPECT_NEAR(illumination_weight(7.0f, 2.0f), 1.0 / 49.0, 1e-17);

    // In the step: the one particle's weight lands in its profile bin and its map cell.
    for (const float exponent : {2.0f, 1.0f, 3.0f}) {
        ObservationParameters op;
        op.illum_exponent = exponent;
        FlatParticle f(123.0f, 0.7f, op);
        f.step();
        f.aim_at_profile_bin(640);
        f.step();
        const float dist = f.particles.source_dist[1];
        const double expected = std::pow(1.0 / static_cast<double>(dist), exponent);
        EXPECT_EQ(f.observation.line_profile[640], static_cast<float>(expected)) << exponent;
        const int delay_bin = fillable_delay_bin(f.observation.delay[1], 0.0f);
        ASSERT_NE(delay_bin, no_bin);
        EXPECT_EQ(f.observation.map_cell(delay_bin, 640), expected) << exponent;
        EXPECT_EQ(sum(f.observation.velocity_delay), expected) << exponent;
        if (exponent == 2.0f) {
            EXPECT_NEAR(expected, 1.0 / (double(dist) * dist), 4e-16 / (double(dist) * dist));
        }
    }
}

TEST(Step, FillsNoProfileBinOutsideTwoTo999) {
    struct Case {
        int aimed_bin;
        bool filled;
    };
    const Case cases[] = {{0, false},  {1, false},    {2, true},   {500, true},
                          {999, true}, {1000, false}, {-3, false}, {1003, false}};
    for (const auto& c : cases) {
        FlatParticle f(200.0f, 1.0f);
        f.step();
        f.aim_at_profile_bin(c.aimed_bin);
        f.step();
        const auto& profile = f.observation.line_profile;
        const float total = std::accumulate(profile.begin(), profile.end(), 0.0f);
        if (c.filled) {
            EXPECT_GT(profile[static_cast<std::size_t>(c.aimed_bin)], 0.0f) << c.aimed_bin;
            EXPECT_EQ(total, profile[static_cast<std::size_t>(c.aimed_bin)]) << c.aimed_bin;
            EXPECT_EQ(f.observation.profile_missed, 0u);
        } else {
            EXPECT_EQ(total, 0.0f) << c.aimed_bin;
            EXPECT_EQ(sum(f.observation.velocity_delay), 0.0) << c.aimed_bin;
            EXPECT_EQ(f.observation.profile_missed, 1u);
        }
        // The delay counts whatever the velocity did.
        EXPECT_EQ(sum(f.observation.delay_hist), 2.0) << c.aimed_bin;
    }
}

TEST(Step, NanVelocityAndNanDelayCountNowhere) {
    FlatParticle f(150.0f, 0.3f);
    f.step();
    f.observation.prev_depth[1] = nan_f;
    f.particles.cos_incl[1] = nan_f;  // orbit_y, sky_y, source_dist, delay all NaN
    f.step();
    EXPECT_TRUE(std::isnan(f.observation.los_velocity[1]));
    EXPECT_TRUE(std::isnan(f.observation.delay[1]));
    EXPECT_EQ(
        std::accumulate(f.observation.line_profile.begin(), f.observation.line_profile.end(), 0.0f),
        0.0f);
    EXPECT_EQ(sum(f.observation.delay_hist), 1.0);  // the first step's delay only
    EXPECT_EQ(sum(f.observation.velocity_delay), 0.0);
    EXPECT_EQ(f.observation.delay_missed, 1u);
}

TEST(Step, DelayBin1000IsNeverFilledAndTheSourceDepthIsSubtracted) {
    struct Case {
        float radius;         // on the x axis, face-on: delay = source_dist
        float source_height;  // face-on, this is the source's depth
        int bin;              // floor(delay - source_depth) + 1, or no_bin
    };
    const Case cases[] = {
        {0.0f, 0.0f, 71},                            // delay 70
        {928.5f, 0.0f, 999},                         // delay 998.5
        {929.0f, 0.0f, no_bin},                      // delay 999: bin 1000
        {2000.0f, 0.0f, no_bin}, {0.0f, 30.0f, 47},  // delay sqrt(70^2 + 30^2) = 76.16, less 30
    };
    for (const auto& c : cases) {
        FlatParticle f(c.radius, 0.0f);
        f.params.source_height = c.source_height;
        f.constants = derive_step_constants(f.params);
        f.observation = Observation(f.params, ObservationParameters{}, 1);
        f.step();
        const double total = sum(f.observation.delay_hist);
        if (c.bin != no_bin) {
            EXPECT_EQ(f.observation.delay_hist[static_cast<std::size_t>(c.bin)], 1.0) << c.radius;
            EXPECT_EQ(total, 1.0) << c.radius;
        } else {
            EXPECT_EQ(total, 0.0) << c.radius;
            EXPECT_EQ(f.observation.delay_missed, 1u);
        }
    }
}

// The four noise deviates come first in each particle's step, then the threshold deviate, then
// (for a respawned particle) the respawn deviate: a replay of the stream must agree.
TEST(Step, TakesFourObservationDeviatesBeforeTheThresholdAndRespawnDeviates) {
    DiscParameters params;
    params.respawn_spread = 1.0f;  // the threshold spans 37.5..112.5: respawn when u > 0.5
    ObservationParameters op;
    op.noise_amplitude = 1000.0f;
    Disc disc(params, 64, 2024u);
    for (int k = 1; k <= 64; ++k)
        disc.particles.radius[k] = params.r_min;
    Observation o(params, op, 64);
    DeviateStream replay = disc.stream;

    disc.step(o);

    int respawned = 0;
    for (int k = 1; k <= 64; ++k) {
        const double u1 = replay.next_deviate(), u2 = replay.next_deviate();
        const double u3 = replay.next_deviate(), u4 = replay.next_deviate();
        const float t =
            static_cast<float>(-(static_cast<double>(o.depth[k]) - 0.0) * 80000.0 / 30.0);
        EXPECT_EQ(o.los_velocity[k], static_cast<float>((u1 + u2 + u3 + u4 - 2.0) * 1000.0 + t))
            << k;
        const double u = replay.next_deviate();
        const double threshold = (u - 0.5) * 75.0 * 1.0 + 75.0;
        float radius = 75.0f;
        if (75.0 < threshold) {
            radius = static_cast<float>((replay.next_deviate() - 0.5) * 300.0 * 1.0 + 300.0);
            ++respawned;
        }
        EXPECT_EQ(disc.particles.radius[k], radius) << k;
    }
    EXPECT_GT(respawned, 10);
    EXPECT_LT(respawned, 54);
    EXPECT_EQ(disc.stream.engine(), replay.engine());
}

TEST(Step, LeavesTheFirstStepOutOfTheProfileAndTheMapButCountsItsDelays) {
    Disc disc(DiscParameters{}, 300, 77u);
    Observation o(disc.params, ObservationParameters{}, 300);

    disc.step(o);
    double first_delays = 0.0;
    for (int k = 1; k <= 300; ++k)
        first_delays += o.delay[k];
    for (float w : o.line_profile)
        ASSERT_EQ(w, 0.0f);
    EXPECT_EQ(sum(o.velocity_delay), 0.0);
    EXPECT_EQ(sum(o.delay_hist), 300.0);
    EXPECT_EQ(o.delay_sum, first_delays);
    EXPECT_EQ(o.delay_count, 300u);
    EXPECT_EQ(o.profile_missed, 0u);  // not profiled, so not missed either

    disc.step(o);
    double second_weights = 0.0;
    for (int k = 1; k <= 300; ++k) {
        second_weights += illumination_weight(disc.particles.source_dist[k], 2.0f);
    }
    EXPECT_NEAR(sum(o.velocity_delay), second_weights, 1e-12 * second_weights);
    double profile_total = 0.0;
    for (float w : o.line_profile)
        profile_total += w;
    EXPECT_NEAR(profile_total, second_weights, 1e-5 * second_weights);
    EXPECT_EQ(sum(o.delay_hist), 600.0);
}

TEST(Step, MeanDelayIsTheSumOverTheParticleStepsSummed) {
    Disc disc(DiscParameters{}, 250, 5u);
    Observation o(disc.params, ObservationParameters{}, 250);
    double expected_sum = 0.0;
    for (int step = 1; step <= 4; ++step) {
        disc.step(o);
        for (int k = 1; k <= 250; ++k)
            expected_sum += o.delay[k];
        EXPECT_EQ(o.delay_sum, expected_sum);
        EXPECT_EQ(o.delay_count, static_cast<std::uint64_t>(250 * step));
        EXPECT_EQ(o.mean_delay, expected_sum / (250.0 * step));
    }
    // A plausible mean: particles 75..300 from the centre, the source 70 from it.
    EXPECT_GT(o.mean_delay, 100.0);
    EXPECT_LT(o.mean_delay, 300.0);
}

TEST(Step, DepthAndPrevDepthFollowTheParticle) {
    DiscParameters params;
    params.view_tilt_deg = 60.0f;
    Disc disc(params, 20, 3u);
    Observation o(params, ObservationParameters{}, 20);
    disc.step(o);
    const std::vector<float> first_depth = o.depth;
    disc.step(o);
    for (int k = 1; k <= 20; ++k) {
        const double sky_y = disc.particles.sky_y[k], height = disc.particles.height[k];
        const float depth =
            static_cast<float>(-sky_y * static_cast<double>(disc.constants.view.sin_view) +
                               static_cast<double>(disc.constants.view.cos_view) * height);
        EXPECT_EQ(o.depth[k], depth) << k;
        EXPECT_EQ(o.prev_depth[k], o.depth[k]) << k;
        const float t =
            static_cast<float>(-(static_cast<double>(depth) - first_depth[k]) * 80000.0 / 30.0);
        EXPECT_EQ(o.los_velocity[k], t) << k;  // noise_amplitude 0
        EXPECT_EQ(o.delay[k],
                  static_cast<float>(static_cast<double>(depth) + disc.particles.source_dist[k]))
            << k;
    }
}

TEST(Step, ShippedParametersLeaveTheParticlesAsThePlainStep) {
    Disc plain(DiscParameters{}, particle_count, 31u);
    Disc observed(DiscParameters{}, particle_count, 31u);
    Observation o(observed.params, ObservationParameters{}, particle_count);
    for (int step = 0; step < 200; ++step) {
        plain.step();
        observed.step(o);
    }
    EXPECT_EQ(first_difference(plain.particles, observed.particles), -1);
    EXPECT_GT(o.mean_delay, 0.0);
}

// With respawns the two paths differ only in which deviates the threshold and the respawn
// take: the plain step with the observer's four deviates skipped before each particle gives the
// observed run exactly. Particles are independent, so each is replayed as a disc of one.
TEST(Step, WithRespawnsTheObserverChangesOnlyTheDeviatesThatItTakes) {
    DiscParameters params;
    params.drift_rate = 0.5f;
    params.respawn_spread = 0.4f;
    params.expansion_rate = 0.001f;
    constexpr int count = 100;
    Disc observed(params, count, 8u);
    Disc plain = observed;
    std::vector<ParticleSet> singles(count + 1, ParticleSet(1));
    for (int k = 1; k <= count; ++k) {
        for (auto array : all_arrays)
            (singles[k].*array)[1] = (observed.particles.*array)[k];
    }
    DeviateStream replay = observed.stream;
    Observation o(params, ObservationParameters{}, count);

    for (int step = 0; step < 300; ++step) {
        observed.step(o);
        plain.step();
        for (int k = 1; k <= count; ++k) {
            for (int i = 0; i < 4; ++i)
                replay.next_deviate();
            advance_particles(singles[k], params, observed.constants, replay);
        }
    }

    for (int k = 1; k <= count; ++k) {
        for (auto array : all_arrays) {
            ASSERT_EQ(std::memcmp(&(singles[k].*array)[1], &(observed.particles.*array)[k],
                                  sizeof(float)),
                      0)
                << "particle " << k;
        }
    }
    EXPECT_EQ(replay.engine(), observed.stream.engine());
    // The run did respawn, so the extra deviates changed it from the plain run.
    EXPECT_NE(first_difference(plain.particles, observed.particles), -1);
}

TEST(Step, AllocatesNothing) {
    Disc disc(DiscParameters{}, particle_count, 12u);
    Observation o(disc.params, ObservationParameters{}, particle_count);
    disc.step(o);
    const long before = testing::allocation_count();
    for (int step = 0; step < 20; ++step)
        disc.step(o);
    EXPECT_EQ(testing::allocation_count(), before);
}

TEST(ObservationFields, NameEveryParameterOnce) {
    ObservationParameters p;
    int seen = 0;
    for (const auto& f : observation_fields()) {
        ASSERT_TRUE(find_observation_field(f.name));
        p.*(f.real) = static_cast<float>(++seen);
    }
    EXPECT_EQ(seen, 4);
    EXPECT_EQ(p.illum_exponent, 1.0f);
    EXPECT_EQ(p.velocity_span, 2.0f);
    EXPECT_EQ(p.velocity_scale, 3.0f);
    EXPECT_EQ(p.noise_amplitude, 4.0f);
    EXPECT_FALSE(find_observation_field("r_min"));
    const ObservationParameters shipped;
    EXPECT_EQ(shipped.illum_exponent, 2.0f);
    EXPECT_EQ(shipped.velocity_span, 100000.0f);
    EXPECT_EQ(shipped.velocity_scale, 80000.0f);
    EXPECT_EQ(shipped.noise_amplitude, 0.0f);
}

}  // namespace
}  // namespace discsim
