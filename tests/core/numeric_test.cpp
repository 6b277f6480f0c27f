#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/numeric.h"

namespace {

using core::Extended;

// The instruction's own results, the same on every platform: pi rounded to 64 bits is not
// reduced exactly (the exact sine, which glibc's sinl gives, is
// -5.0165576126683320235e-20; the instruction's is -2^-64).
TEST(ExtendedTrig, SineAndCosineAreTheInstructionsResults) {
    const Extended pi = 3.14159265358979323846264338327950288L;
    EXPECT_EQ(core::Sin(0.0L), 0.0L);
    EXPECT_EQ(core::Cos(0.0L), 1.0L);
    EXPECT_EQ(core::Sin(pi), -0x8p-67L);
    EXPECT_EQ(core::Cos(pi), -1.0L);
    EXPECT_EQ(core::Sin(-pi / 2), -1.0L);
}

TEST(ExtendedTrig, UnreducibleArgumentsGiveZeroAndNonFiniteOnesNaN) {
    const Extended big = 9223372036854775808.0L;  // 2^63
    EXPECT_EQ(core::Sin(big), 0.0L);
    EXPECT_EQ(core::Cos(-big), 0.0L);
    EXPECT_NE(core::Sin(std::nextafter(big, 0.0L)), 0.0L);
    EXPECT_TRUE(std::isnan(core::Sin(std::numeric_limits<Extended>::infinity())));
    EXPECT_TRUE(std::isnan(core::Cos(-std::numeric_limits<Extended>::infinity())));
    EXPECT_TRUE(std::isnan(core::Sin(std::numeric_limits<Extended>::quiet_NaN())));
}

}  // namespace
