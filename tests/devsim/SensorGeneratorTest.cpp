#include "devsim/SensorGenerator.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>

namespace orvanta::devsim {
namespace {

using std::chrono::system_clock;

double Norm(const std::array<float, 3>& v) {
    return std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
}

const system_clock::time_point kNoon = system_clock::from_time_t(1590739389); // 2020-05-29 08:03:09

TEST(SensorGeneratorTest, TheSameSeedRepeatsTheRun) {
    const SensorGenerator a(42), b(42), c(43);
    for (std::uint32_t t : {0u, 10u, 12345u, 600000u}) {
        const SensorSample x = a.Sample(t, kNoon, 9.8f, 0x3F);
        const SensorSample y = b.Sample(t, kNoon, 9.8f, 0x3F);
        EXPECT_EQ(x.euler, y.euler);
        EXPECT_EQ(x.acc, y.acc);
        EXPECT_EQ(x.position, y.position);
        EXPECT_NE(x.euler, c.Sample(t, kNoon, 9.8f, 0x3F).euler);
    }
}

TEST(SensorGeneratorTest, ValuesBehaveLikeASensor) {
    const SensorGenerator g(1);
    for (std::uint32_t t = 0; t < 300000; t += 997) {
        const SensorSample s = g.Sample(t, kNoon, 9.8f, 0x3F);
        EXPECT_NEAR(Norm(s.acc), 9.8, 0.05) << t; // gravity turned, plus noise
        EXPECT_NEAR(Norm(s.mag), 50.0, 0.5) << t; // the field turned likewise
        EXPECT_LT(std::abs(s.euler[0]), 0.36f);
        EXPECT_LT(std::abs(s.euler[1]), 0.26f);
        EXPECT_LE(std::abs(s.euler[2]), 3.1416f);
        EXPECT_GE(s.satellites, 8);
        EXPECT_LE(s.satellites, 14);
        EXPECT_NEAR(s.temperature[0], 40.0, 1.0);
        EXPECT_NEAR(s.temperature[1], 40.0, 2.0);
        EXPECT_EQ(s.runtimeMs, t);
        EXPECT_NEAR(s.position[0], SensorGenerator::kLatitude, 0.05);
        EXPECT_NEAR(s.position[1], SensorGenerator::kLongitude, 0.05);
        EXPECT_NEAR(s.qneCm, s.position[2] * 100, 10);
        double heading = s.euler[2] * 180 / 3.14159265358979;
        heading = heading < 0 ? heading + 360 : heading;
        EXPECT_NEAR(s.magHeading, heading, 1e-3);
        EXPECT_EQ(s.gpsStatus, 0x3F);
    }
}

TEST(SensorGeneratorTest, AtRestPoseTheAccelerometerFeelsUpAlongMinusZ) {
    // Roll and pitch small: the down axis carries nearly all of the reaction to gravity.
    const SensorSample s = SensorGenerator(1).Sample(0, kNoon, 9.8f, 0);
    const double roll = s.euler[0], pitch = s.euler[1];
    EXPECT_NEAR(s.acc[0], 9.8 * std::sin(pitch), 0.05);
    EXPECT_NEAR(s.acc[1], -9.8 * std::sin(roll) * std::cos(pitch), 0.05);
    EXPECT_NEAR(s.acc[2], -9.8 * std::cos(roll) * std::cos(pitch), 0.05);
}

TEST(SensorGeneratorTest, RatesAndPositionAgreeWithWhatTheyIntegrate) {
    const SensorGenerator g(5);
    for (std::uint32_t t = 1000; t < 200000; t += 7919) {
        const SensorSample a = g.Sample(t, kNoon, 9.8f, 0);
        const SensorSample b = g.Sample(t + 10, kNoon, 9.8f, 0);
        const SensorSample m = g.Sample(t + 5, kNoon, 9.8f, 0);
        // Roll rate from the body rates (p + (q sinφ + r cosφ) tanθ) against the difference.
        const double phi = m.euler[0], theta = m.euler[1];
        const double rollRate =
            m.gyro[0] + (m.gyro[1] * std::sin(phi) + m.gyro[2] * std::cos(phi)) * std::tan(theta);
        EXPECT_NEAR(rollRate, (b.euler[0] - a.euler[0]) / 0.010, 0.01) << t;
        const double pitchRate = m.gyro[1] * std::cos(phi) - m.gyro[2] * std::sin(phi);
        EXPECT_NEAR(pitchRate, (b.euler[1] - a.euler[1]) / 0.010, 0.01) << t;
        // Northward speed against the latitude's change, in metres.
        const double north = (b.position[0] - a.position[0]) * 3.14159265358979 / 180 * 6371000;
        EXPECT_NEAR(north / 0.010, m.velocity[0], 0.01) << t;
    }
}

TEST(SensorGeneratorTest, ClockFieldsComeFromTheGivenUtc) {
    const SensorSample s =
        SensorGenerator(1).Sample(0, kNoon + std::chrono::milliseconds(250), 9.8f, 0);
    EXPECT_EQ(s.year, 2020);
    EXPECT_EQ(s.month, 5);
    EXPECT_EQ(s.day, 29);
    EXPECT_EQ(s.hour, 8);
    EXPECT_EQ(s.minute, 3);
    EXPECT_EQ(s.second, 9);
    // Friday 08:03:09.25 UTC is 5 days, 8 h 3 min 27.25 s into the GPS week (18 leap seconds).
    EXPECT_EQ(s.timeOfWeekMs, ((5u * 24 + 8) * 3600 + 3 * 60 + 27) * 1000 + 250);
}

} // namespace
} // namespace orvanta::devsim
