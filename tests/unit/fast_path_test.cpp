// The vector paths of the step, the generator and the drawing against the plain ones: every
// stored float, every pixel and the position of the random stream, bit for bit, on every path
// this processor runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "presentation/frame_drawing.h"
#include "presentation/frame_drawing_fast.h"
#include "presentation/start_up.h"
#include "simulation/mt19937_block.h"
#include "simulation/population.h"
#include "simulation/time_step_fast.h"

namespace discsim {
namespace {

constexpr float nan_f = std::numeric_limits<float>::quiet_NaN();
constexpr float inf_f = std::numeric_limits<float>::infinity();

// The paths to hold against plain: every one this processor runs but plain itself.
std::vector<InstructionSet> vector_paths() {
    std::vector<InstructionSet> paths;
    for (const InstructionSet set : runnable_instruction_sets()) {
        if (set != InstructionSet::plain) paths.push_back(set);
    }
    return paths;
}

std::string path_names() {
    std::string names;
    for (const InstructionSet set : runnable_instruction_sets())
        names += std::string(instruction_set_name(set)) + " ";
    return names;
}

std::uint32_t bits_of(float v) {
    std::uint32_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::string exact_text(float v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (0x%08x)", static_cast<double>(v), bits_of(v));
    return text;
}

// Every array of the particle set, with its name for the failure message.
std::vector<std::pair<const char*, const std::vector<float>*>> arrays(const ParticleSet& p) {
    return {{"radius", &p.radius},
            {"phase", &p.phase},
            {"angular_speed", &p.angular_speed},
            {"sin_incl", &p.sin_incl},
            {"cos_incl", &p.cos_incl},
            {"sin_node", &p.sin_node},
            {"cos_node", &p.cos_node},
            {"orbit_x", &p.orbit_x},
            {"orbit_y", &p.orbit_y},
            {"height", &p.height},
            {"sky_x", &p.sky_x},
            {"sky_y", &p.sky_y},
            {"screen_x", &p.screen_x},
            {"screen_y", &p.screen_y},
            {"source_dist", &p.source_dist},
            {"prev_screen_x", &p.prev_screen_x},
            {"prev_screen_y", &p.prev_screen_y}};
}

// Empty when every float of every array has the same bits; else the first difference.
std::string first_difference(const ParticleSet& plain, const ParticleSet& fast) {
    const auto a = arrays(plain);
    const auto b = arrays(fast);
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::vector<float>& x = *a[i].second;
        const std::vector<float>& y = *b[i].second;
        if (std::memcmp(x.data(), y.data(), x.size() * sizeof(float)) == 0) continue;
        for (std::size_t k = 0; k < x.size(); ++k) {
            if (bits_of(x[k]) != bits_of(y[k])) {
                return std::string(a[i].first) + "[" + std::to_string(k) + "]: plain " +
                       exact_text(x[k]) + ", fast " + exact_text(y[k]);
            }
        }
    }
    return {};
}

bool same_surface(const Surface& a, const Surface& b) {
    const std::size_t words = static_cast<std::size_t>(surface_width) * surface_height;
    return std::memcmp(a.data(), b.data(), words * sizeof(std::uint32_t)) == 0;
}

// The pixels this step's plots ended on, and the previous step's: where a wrong colour shows
// before a later erase could hide it. Checked every step; the whole surface every 100 steps.
bool same_touched_pixels(const ParticleSet& p, const DiscParameters& params, const Surface& a,
                         const Surface& b) {
    for (int k = 1; k <= p.count; ++k) {
        for (const WindowPoint w :
             {map_to_window(p.screen_x[k], p.screen_y[k], params.centre_x, params.centre_y),
              map_to_window(p.prev_screen_x[k], p.prev_screen_y[k], params.centre_x,
                            params.centre_y)}) {
            int col = 0;
            int row = 0;
            if (pixel_index(w.x, surface_width, col) && pixel_index(w.y, surface_height, row) &&
                a.pixel(col, row) != b.pixel(col, row)) {
                return false;
            }
        }
    }
    return true;
}

DiscParameters with_settings(std::initializer_list<std::pair<const char*, double>> settings) {
    DiscParameters params;
    for (const auto& [name, value] : settings) {
        const auto field = find_parameter(name);
        EXPECT_TRUE(field.has_value()) << name;
        if (!field) continue;
        if (field->real != nullptr) {
            params.*(field->real) = static_cast<float>(value);
        } else {
            params.*(field->integer) = static_cast<std::int32_t>(value);
        }
    }
    return params;
}

// One plain run and one run per vector path from the same start, stepped in lockstep.
class Lockstep {
  public:
    Lockstep(const DiscParameters& params, std::uint32_t seed, int count) {
        plain_ = make_run(params, seed, count, InstructionSet::plain);
        for (const InstructionSet set : vector_paths())
            fast_.push_back(make_run(params, seed, count, set));
    }

    // Sets the same slots of every run to the same values.
    template <class Edit>
    void edit(Edit e) {
        e(plain_.state->particles);
        for (Run& r : fast_)
            e(r.state->particles);
    }

    // Steps every run once; false (with a failure recorded) at the first difference.
    bool step(int step_number) {
        run_step_plain(*plain_.state, *plain_.surface);
        const bool whole_surface = step_number % 100 == 0;
        for (Run& r : fast_) {
            DiscState& s = *r.state;
            advance_particles_fast(s.particles, s.params, s.constants, s.stream, r.set);
            draw_frame_fast(*r.surface, s.particles, s.params, s.constants, r.set);
            const std::string where = std::string(instruction_set_name(r.set)) + " after step " +
                                      std::to_string(step_number);
            const std::string diff = first_difference(plain_.state->particles, s.particles);
            if (!diff.empty()) {
                ADD_FAILURE() << where << ": " << diff;
                return false;
            }
            if (!(s.stream.engine() == plain_.state->stream.engine())) {
                ADD_FAILURE() << where << ": the random streams are at different positions";
                return false;
            }
            if (!same_touched_pixels(s.particles, s.params, *plain_.surface, *r.surface) ||
                (whole_surface && !same_surface(*plain_.surface, *r.surface))) {
                ADD_FAILURE() << where << ": the surfaces differ";
                return false;
            }
        }
        return true;
    }

    // Runs steps first..last; false at the first difference.
    bool run(int first, int last) {
        for (int s = first; s <= last; ++s) {
            if (!step(s)) return false;
        }
        for (const Run& r : fast_) {
            EXPECT_TRUE(same_surface(*plain_.surface, *r.surface)) << instruction_set_name(r.set);
        }
        return true;
    }

    const DiscState& plain() const { return *plain_.state; }

  private:
    struct Run {
        InstructionSet set = InstructionSet::plain;
        std::unique_ptr<Surface> surface;
        std::unique_ptr<DiscState> state;
    };

    static Run make_run(const DiscParameters& params, std::uint32_t seed, int count,
                        InstructionSet set) {
        Run r{set, std::make_unique<Surface>(), std::make_unique<DiscState>()};
        r.state->particles = ParticleSet(count);
        r.state->stream.use(set);  // the generator's blocks on the same path as the step
        start_disc(*r.state, *r.surface, params, seed);
        return r;
    }

    Run plain_;
    std::vector<Run> fast_;
};

TEST(FastPath, TheMachineRunsThePlainPathAndReportsItsVectorPaths) {
    const auto sets = runnable_instruction_sets();
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.front(), InstructionSet::plain);
    EXPECT_EQ(sets.back(), widest_instruction_set());
#if defined(DISCSIM_X86_KERNELS)
    EXPECT_GE(sets.size(), 2u) << "every x86-64 runs the SSE2 path";
#else
    EXPECT_EQ(sets.size(), 1u) << "built without vector paths";
#endif
    RecordProperty("paths", path_names());
    std::printf("vector paths tested here: %s\n", path_names().c_str());
}

TEST(FastPath, SameAsPlainForThousandsOfSteps) {
    struct Case {
        const char* name;
        DiscParameters params;
        std::uint32_t seed;
        int count;  // not always a multiple of the lane widths, so the tails run too
        int steps;
    };
    const Case cases[] = {
        {"shipped values", DiscParameters{}, 1u, particle_count, 600},
        {"shipped values, another seed", DiscParameters{}, 2u, 1003, 3000},
        {"shipped values, largest seed", DiscParameters{}, 0xFFFFFFFFu, 517, 3000},
        {"drift, respawn spread, expansion and softening",
         with_settings({{"drift_rate", 0.02},
                        {"respawn_spread", 0.5},
                        {"expansion_rate", 0.0002},
                        {"softening", 5.0}}),
         3u, 2001, 3000},
        {"drift respawns at r_max", with_settings({{"drift_rate", 0.05}}), 4u, 999, 2000},
        {"expansion carries particles off the window", with_settings({{"expansion_rate", 0.002}}),
         5u, 1000, 2000},
        {"fast turns wrap the phase every step", with_settings({{"r_min", 1.0}, {"r_max", 5.0}}),
         6u, 1000, 1000},
        {"orbits beyond the window's edges",
         with_settings({{"r_max", 900.0}, {"centre_x", 100.0}, {"centre_y", 700.0}}), 7u, 1000,
         1000},
        {"tilted view, raised source, steep orbits",
         with_settings({{"view_tilt_deg", 60.0},
                        {"source_height", 20.0},
                        {"source_azimuth_deg", 30.0},
                        {"polar_angle_deg", 10.0}}),
         8u, 1000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lockstep runs(c.params, c.seed, c.count);
        runs.run(1, c.steps);
    }
}

TEST(FastPath, SameAsPlainWithRespawnsDrawingASecondDeviate) {
    // Respawns take a second deviate, which shifts every later particle's: the vector step must
    // follow them exactly. Checks that the case really respawns.
    const DiscParameters params = with_settings({{"drift_rate", 0.02}, {"respawn_spread", 0.5}});
    Lockstep runs(params, 11u, 800);
    ASSERT_TRUE(runs.run(1, 2000));
    std::mt19937 one_deviate_each(11u);
    one_deviate_each.discard(4ull * 800 + 800ull * 2000);
    EXPECT_FALSE(runs.plain().stream.engine() == one_deviate_each);
}

TEST(FastPath, SameAsPlainWithNaNAndExtremeRadii) {
    struct Injection {
        int k;
        float radius;
        bool matching_speed;  // as a step leaves it, or the speed of the old radius
    };
    // A NaN radius is respawned; 0 gives an infinite speed and so an infinite phase; a negative
    // radius a NaN speed; a huge one positions far beyond float range.
    const Injection injections[] = {
        {1, nan_f, true},    {2, nan_f, false},   {9, -nan_f, true},  {10, 0.0f, true},
        {17, -5.0f, true},   {18, 1.0e30f, true}, {25, inf_f, true},  {26, 1.0e-40f, true},
        {33, 3.0e38f, true}, {34, nan_f, true},   {35, nan_f, false}, {100, 75.0f, true},
    };
    const DiscParameters mixed = with_settings({{"drift_rate", 0.01},
                                                {"respawn_spread", 0.3},
                                                {"expansion_rate", 0.0001},
                                                {"softening", 2.0}});
    for (const DiscParameters& params : {DiscParameters{}, mixed}) {
        Lockstep runs(params, 12u, 1000);
        for (const int at : {1, 400, 800}) {
            runs.edit([&](ParticleSet& p) {
                for (const Injection& in : injections) {
                    p.radius[in.k] = in.radius;
                    if (in.matching_speed)
                        p.angular_speed[in.k] = kepler_angular_speed(params.kepler_k, in.radius);
                }
            });
            if (!runs.run(at, at + 399)) break;
        }
    }
}

TEST(FastPath, RunStepMatchesThePlainStep) {
    auto plain_surface = std::make_unique<Surface>();
    auto fast_surface = std::make_unique<Surface>();
    auto plain = std::make_unique<DiscState>();
    auto fast = std::make_unique<DiscState>();
    start_disc(*plain, *plain_surface, DiscParameters{}, 21u);
    start_disc(*fast, *fast_surface, DiscParameters{}, 21u);
    for (int step = 0; step < 200; ++step) {
        run_step_plain(*plain, *plain_surface);
        run_step(*fast, *fast_surface);
    }
    EXPECT_EQ(first_difference(plain->particles, fast->particles), "");
    EXPECT_TRUE(same_surface(*plain_surface, *fast_surface));
    EXPECT_TRUE(plain->stream.engine() == fast->stream.engine());
}

// Hand-placed particles on the edges of the pixel rounding, in blocks that lie wholly on the
// window (drawn in lanes) and blocks with a point off it (drawn plainly), with shared pixels so
// that the order of the stores shows, for several centres: the lanes work the window
// coordinates out in single precision and must land on the plain pass's pixels.
TEST(FastDrawing, SameAsPlainOnTheEdgesOfThePixelRounding) {
    struct Centre {
        std::int32_t x, y;
    };
    // The shipped centre; the window's corners; a row offset 768 - y of 0 and 1, where tiny
    // offsets meet the rounding; and centres that are not floats (drawn plainly).
    const Centre centres[] = {{640, 384}, {0, 768},        {1279, 0},       {3, 767},
                              {-5, 1000}, {16777217, 384}, {640, -16776449}};
    const float tiny[] = {0.0f,       -0.0f,           1.0e-30f,         -1.0e-30f, 0x1.000002p-21f,
                          0x1.8p-24f, 0x1.000002p-25f, -0x1.000002p-25f, 1.0e-45f};
    std::mt19937 pick(5u);
    const auto any = [&pick](const auto& values) { return values[pick() % std::size(values)]; };
    const float dists[] = {60.0f, std::nextafter(60.0f, 0.0f), 0.0f, nan_f, 100.0f};
    const int count = 203;
    for (const Centre& centre : centres) {
        DiscParameters params;
        params.centre_x = centre.x;
        params.centre_y = centre.y;
        const StepConstants constants = derive_step_constants(params);
        // Offsets whose window coordinates fall just inside or outside the window or a half:
        // for the shipped centre -640.4 gives X = -0.4 (column 0), -640.5 gives X = -0.5
        // (dropped), 0.49999997 rounds to X = 640.5 (column 641), 384.49 gives Y = -0.49 (row 0).
        const auto cx = static_cast<float>(centre.x);
        const auto cy = static_cast<float>(768 - centre.y);
        // Halves with a little over or under, which a rounding in the wrong place moves across.
        const float near_half[] = {0.5f + 0x1p-20f,   0.5f - 0x1p-20f,   -0.5f + 0x1p-20f,
                                   100.5f + 0x1p-17f, 100.5f - 0x1p-17f, -99.5f - 0x1p-17f};
        const float on_x[] = {-cx - 0.4f, -cx + 1279.49f, 0.49999997f, 0.5f,
                              12.0f,      -cx + 0.5f,     -cx + 639.5f};
        const float off_x[] = {-cx - 0.5f, -cx + 1279.5f, nan_f, inf_f, 1.0e20f, 0x1p41f};
        const float on_y[] = {cy + 0.49f, cy - 767.49f, 0.5f, 12.0f, cy - 0.5f, cy - 383.5f};
        const float off_y[] = {cy + 0.5f, cy - 767.5f, nan_f, -inf_f, -1.0e20f, -0x1p41f};
        for (const InstructionSet set : vector_paths()) {
            SCOPED_TRACE(std::string(instruction_set_name(set)) + ", centre " +
                         std::to_string(centre.x) + ", " + std::to_string(centre.y));
            ParticleSet plain(count);
            auto plain_surface = std::make_unique<Surface>();
            auto fast_surface = std::make_unique<Surface>();
            for (int frame = 0; frame < 40; ++frame) {
                for (int k = 1; k <= count; ++k) {
                    // Mostly on the window, so that most blocks are drawn in lanes.
                    const bool off = pick() % 16 == 0;
                    plain.screen_x[k] = off && pick() % 2 == 0 ? any(off_x) : any(on_x);
                    plain.screen_y[k] = off && pick() % 2 == 0 ? any(off_y) : any(on_y);
                    if (pick() % 8 == 0) plain.screen_x[k] = any(tiny);
                    if (pick() % 8 == 0) plain.screen_y[k] = any(tiny);
                    if (pick() % 8 == 0) plain.screen_x[k] = any(near_half);
                    if (pick() % 8 == 0) plain.screen_y[k] = any(near_half);
                    if (k > 1 && pick() % 4 == 0) {  // a pixel shared with an earlier particle
                        const int j = 1 + static_cast<int>(pick() % static_cast<unsigned>(k - 1));
                        plain.screen_x[k] = plain.screen_x[j];
                        plain.screen_y[k] = plain.screen_y[j];
                    }
                    plain.source_dist[k] = any(dists);
                }
                ParticleSet fast = plain;
                draw_frame(*plain_surface, plain, params, constants);
                draw_frame_fast(*fast_surface, fast, params, constants, set);
                ASSERT_EQ(first_difference(plain, fast), "") << "frame " << frame;
                ASSERT_TRUE(same_surface(*plain_surface, *fast_surface)) << "frame " << frame;
            }
        }
    }
}

TEST(Mt19937Block, GivesStdMt19937sSequenceOnEveryPath) {
    const std::uint32_t seeds[] = {0u, 1u, 5489u, 0x9E3779B9u, 0xFFFFFFFFu};
    constexpr int words = 1'100'000;  // some 1,760 blocks
    for (const InstructionSet set : runnable_instruction_sets()) {
        for (const std::uint32_t seed : seeds) {
            SCOPED_TRACE(std::string(instruction_set_name(set)) + ", seed " + std::to_string(seed));
            Mt19937Block block(seed);
            block.use(set);
            std::mt19937 reference(seed);
            int mismatches = 0;
            for (int i = 0; i < words; ++i) {
                if (block() != reference() && ++mismatches == 1) ADD_FAILURE() << "word " << i;
            }
            EXPECT_EQ(mismatches, 0);
        }
    }
}

TEST(Mt19937Block, DiscardAndComparisonFollowStdMt19937) {
    for (const unsigned long long n : {0ull, 1ull, 623ull, 624ull, 625ull, 40000ull, 123457ull}) {
        Mt19937Block block(42u);
        std::mt19937 reference(42u);
        block.discard(n);
        reference.discard(n);
        EXPECT_TRUE(block == reference) << n;
        Mt19937Block other(42u);
        other.discard(n + 1);
        EXPECT_FALSE(block == other) << n;
        other = block;
        EXPECT_TRUE(block == other) << n;
        EXPECT_EQ(block(), reference()) << n;
    }
}

// n steps of one ulp from d (towards +infinity for n > 0).
double ulps_away(double d, int n) {
    for (; n > 0; --n)
        d = std::nextafter(d, std::numeric_limits<double>::infinity());
    for (; n < 0; ++n)
        d = std::nextafter(d, -std::numeric_limits<double>::infinity());
    return d;
}

TEST(FloatRoundingGuard, RefusesDoublesNearAMidpointOrOutsideTheNormalFloats) {
    const double one = 1.0;
    const double midpoint = 1.0 + 0x1p-24;  // halfway between 1 and the next float
    struct Case {
        const char* name;
        double d;
        bool certain;
    };
    const Case cases[] = {
        {"a float", one, true},
        {"a midpoint", midpoint, false},
        {"one ulp below a midpoint", ulps_away(midpoint, -1), false},
        {"1024 ulps above a midpoint", ulps_away(midpoint, 1024), false},
        {"1025 ulps above a midpoint", ulps_away(midpoint, 1025), true},
        {"1025 ulps below a midpoint", ulps_away(midpoint, -1025), true},
        {"a midpoint of negatives", -(3.0 + 0x1p-23), false},
        {"just below a power of two", ulps_away(2.0, -1), true},
        {"just above a power of two", ulps_away(2.0, 1), true},
        {"2^-125, the smallest accepted", 0x1p-125, true},
        {"2^-126, the smallest normal float", 0x1p-126, false},
        {"a subnormal float", 1.0e-40, false},
        {"just below 2^127", ulps_away(0x1p127, -2000), true},
        {"2^127", 0x1p127, false},
        {"beyond every float", 1.0e39, false},
        {"zero", 0.0, false},
        {"negative zero", -0.0, false},
        {"infinity", std::numeric_limits<double>::infinity(), false},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const InstructionSet set : vector_paths()) {
        for (const Case& c : cases) {
            EXPECT_EQ(float_rounding_certain(set, c.d), c.certain)
                << instruction_set_name(set) << ": " << c.name;
        }
    }
    EXPECT_FALSE(float_rounding_certain(InstructionSet::plain, one));
}

TEST(FloatRoundingGuard, WhatItAcceptsRoundsAlikeForEveryNeighbour) {
    // Doubles spread over the float range and crowded near midpoints; whatever the guard
    // accepts, its neighbours 12 ulps either way (more than sine and cosine from the two
    // libraries can move a product) round to the same float.
    std::mt19937_64 pick(9u);
    for (const InstructionSet set : vector_paths()) {
        int accepted = 0;
        for (int i = 0; i < 20000; ++i) {
            const int exponent = static_cast<int>(pick() % 250) - 124;
            double d = std::ldexp(1.0 + static_cast<double>(pick() >> 12) * 0x1p-52, exponent);
            if (i % 2 == 0) {  // near a midpoint: its dropped bits close to 1 then 28 zeros
                std::uint64_t bits = 0;
                std::memcpy(&bits, &d, sizeof bits);
                bits = (bits & ~0x1FFFFFFFull) + 0x10000000ull + (pick() % 4096) - 2048;
                std::memcpy(&d, &bits, sizeof d);
            }
            if (!float_rounding_certain(set, d)) continue;
            ++accepted;
            const float f = static_cast<float>(d);
            for (int n = -12; n <= 12; ++n) {
                ASSERT_EQ(bits_of(static_cast<float>(ulps_away(d, n))), bits_of(f))
                    << instruction_set_name(set) << ": " << d << ", " << n << " ulps away";
            }
        }
        EXPECT_GT(accepted, 10000) << instruction_set_name(set);
    }
}

TEST(FastPath, MultiplyAndAddAreNeverFused) {
    // (1 + 2^-27)^2 = 1 + 2^-26 + 2^-54: rounded to double the product loses the 2^-54, so the
    // separate multiply and add give exactly 0, where a fused multiply-add gives 2^-54.
    const double a = 1.0 + 0x1p-27;
    const double c = -(1.0 + 0x1p-26);
    ASSERT_EQ(std::fma(a, a, c), 0x1p-54);
    for (const InstructionSet set : runnable_instruction_sets()) {
        EXPECT_EQ(multiply_add(set, a, a, c), 0.0) << instruction_set_name(set);
    }
}

}  // namespace
}  // namespace discsim
