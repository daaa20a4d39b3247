#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/float_text.h"

#include "simulation/deviate_stream.h"
#include "simulation/disc_parameters.h"
#include "simulation/time_step.h"

namespace discsim {
namespace {

TEST(DerivedValues, ShippedParametersGiveTheShippedValues) {
    const StepConstants c = derive_step_constants(DiscParameters{});
    // The documented values are the floats shown to seven significant digits.
    EXPECT_EQ(seven_digits(c.view.cos_view), "0.9986295");
    EXPECT_EQ(seven_digits(c.view.sin_view), "0.05233596");
    EXPECT_EQ(c.source.source_x, -70.0f);
    EXPECT_EQ(c.source.source_y, 0.0f);
    EXPECT_EQ(c.source.source_height, 0.0f);
    EXPECT_EQ(c.softening_sq, 0.0f);
}

TEST(DerivedValues, SourceLiesOppositeItsAzimuth) {
    DiscParameters params;
    params.source_azimuth_deg = 90.0f;
    params.source_height = 4.0f;
    params.softening = 3.0f;
    const StepConstants c = derive_step_constants(params);
    EXPECT_NEAR(c.source.source_x, 0.0f, 1e-5f);
    EXPECT_EQ(c.source.source_y, -70.0f);
    EXPECT_EQ(c.source.source_height, 4.0f);
    EXPECT_EQ(c.softening_sq, 9.0f);
}

TEST(ParameterTable, EveryNameReachesItsOwnField) {
    for (const ParameterField& field : parameter_fields()) {
        DiscParameters params;
        const auto found = find_parameter(field.name);
        ASSERT_TRUE(found) << field.name;
        if (found->real != nullptr) {
            params.*(found->real) = 12345.0f;
        } else {
            params.*(found->integer) = 12345;
        }
        // Exactly one field differs from the shipped set.
        int changed = 0;
        const DiscParameters shipped;
        for (const ParameterField& other : parameter_fields()) {
            changed += other.real != nullptr ? params.*(other.real) != shipped.*(other.real)
                                             : params.*(other.integer) != shipped.*(other.integer);
        }
        EXPECT_EQ(changed, 1) << field.name;
    }
    EXPECT_FALSE(find_parameter("no_such_parameter"));
}

TEST(DeviateStream, DeviatesAreTheGeneratorWordsScaledBy2ToTheMinus32) {
    DeviateStream stream(2024u);
    std::mt19937 reference(2024u);
    for (int i = 0; i < 1000; ++i) {
        const double u = stream.next_deviate();
        EXPECT_EQ(u, std::ldexp(static_cast<double>(reference()), -32));
        EXPECT_GE(u, 0.0);
        EXPECT_LT(u, 1.0);
    }
}

TEST(DeviateStream, ClockSeedIsTheLow32BitsOfTheTruncatedSeconds) {
    struct Case {
        double seconds;
        std::uint32_t seed;
    };
    const Case cases[] = {
        {0.0, 0u},
        {1.999, 1u},
        {1765450000.75, 1765450000u},
        {4294967295.5, 4294967295u},
        {4294967296.25, 0u},  // wraps past 32 bits
        {4294967301.0, 5u},
        {-1.5, 0xFFFFFFFFu},  // truncated toward zero to -1
    };
    for (const Case& c : cases)
        EXPECT_EQ(seed_from_seconds(c.seconds), c.seed) << c.seconds;
}

}  // namespace
}  // namespace discsim
