#include "view3d/ViewGeometry.h"

#include <gtest/gtest.h>

namespace orvanta::view3d {
namespace {

void ExpectPoint(const Vec3& actual, const Vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

TEST(ViewGeometry, RotationsFollowTheRightHandRuleLikeGlRotate) {
    struct Case {
        float angle, ax, ay, az;
        Vec3 in, out;
    };
    const Case cases[] = {
        {90, 0, 0, 1, {1, 0, 0}, {0, 1, 0}},
        {90, 1, 0, 0, {0, 1, 0}, {0, 0, 1}},
        {90, 0, 1, 0, {0, 0, 1}, {1, 0, 0}},
        {-90, 0, 0, 2, {1, 0, 0}, {0, -1, 0}}, // the axis is normalised
        {180, 1, 0, 0, {1, 2, 3}, {1, -2, -3}},
    };
    for (const Case& c : cases) {
        ExpectPoint(TransformPoint(RotationMatrix(c.angle, c.ax, c.ay, c.az), c.in), c.out);
    }
}

// Where the view places model points for the attitude edge cases. The angle turns act on the
// model first (roll, then yaw, then pitch), the two fixed half turns and the distance after.
TEST(ViewGeometry, TheAttitudeTurnsTheModelBeforeTheFixedHalfTurns) {
    struct Case {
        const char* what;
        std::array<float, 3> rollPitchYaw;
        Vec3 in, out;
    };
    const Case cases[] = {
        {"level: half turns about X and Z, 15 in front", {0, 0, 0}, {1, 2, 3}, {-1, 2, -18}},
        {"level: the origin", {0, 0, 0}, {0, 0, 0}, {0, 0, -15}},
        {"roll +90 turns counter-clockwise about Z", {90, 0, 0}, {1, 0, 0}, {0, 1, -15}},
        {"pitch +90 turns clockwise about X", {0, 90, 0}, {0, 1, 0}, {0, 0, -14}},
        {"yaw +90 turns clockwise about Y", {0, 0, 90}, {1, 0, 0}, {0, 0, -16}},
        {"roll acts before pitch", {90, 90, 0}, {1, 0, 0}, {0, 0, -14}},
        {"yaw acts before pitch", {0, 90, 90}, {0, 0, 1}, {1, 0, -15}},
        {"roll acts before yaw", {90, 0, 90}, {1, 0, 0}, {0, 1, -15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectPoint(TransformPoint(AttitudeMatrix(c.rollPitchYaw), c.in), c.out);
    }
}

TEST(ViewGeometry, ObjectColoursFollowTheTableAndRepeatItBeyondNine) {
    using C = std::array<std::uint8_t, 3>;
    const C table[] = {{125, 221, 221}, {95, 131, 131},  {104, 158, 158},
                       {159, 67, 67},   {109, 173, 173}, {115, 191, 191},
                       {137, 1, 1},     {109, 173, 173}, {81, 89, 89}};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(ObjectColour(i), table[i]) << i;
        EXPECT_EQ(ObjectColour(i + 9), table[i]) << i + 9;
    }
    EXPECT_EQ(ObjectColour(1000), table[1000 % 9]);
}

TEST(ViewGeometry, ACollapsedViewKeepsAFiniteAspect) {
    EXPECT_FLOAT_EQ(PerspectiveAspect(460, 290), 460.0f / 290.0f);
    EXPECT_FLOAT_EQ(PerspectiveAspect(300, 0), 300.0f);
    EXPECT_FLOAT_EQ(PerspectiveAspect(0, 200), 1.0f / 200.0f);
    EXPECT_FLOAT_EQ(PerspectiveAspect(0, 0), 1.0f);
}

} // namespace
} // namespace orvanta::view3d
