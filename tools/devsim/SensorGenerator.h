#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace orvanta::devsim {

// One set of values for every output item, in the units the device sends.
struct SensorSample {
    std::array<float, 3> euler{};       // roll, pitch, yaw, radians
    std::array<float, 3> gyro{};        // body rates, radians per second
    std::array<float, 3> acc{};         // specific force, m/s²
    std::array<float, 3> mag{};         // μT
    std::array<float, 2> temperature{}; // ℃
    std::uint32_t runtimeMs = 0;
    std::uint32_t timeOfWeekMs = 0;
    std::uint8_t gpsStatus = 0;
    std::uint8_t satellites = 0;
    std::uint16_t qneCm = 0;
    std::uint16_t pressurePa = 0;
    std::array<double, 3> position{}; // latitude, longitude (degrees), altitude (m)
    std::array<float, 3> velocity{};  // north, east, down, m/s
    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    float magHeading = 0; // degrees, 0 to 360
};

// Values that move like a sensor on a slowly swaying mount: attitude oscillations, body
// rates that match them, gravity and an Earth-like field turned into the body frame (NED,
// z down), a position near a fixed place that follows the velocity. A pure function of the
// seed and the inputs, so runs repeat exactly. Const after construction; any thread.
class SensorGenerator {
public:
    explicit SensorGenerator(std::uint64_t seed);

    SensorSample Sample(std::uint32_t elapsedMs, std::chrono::system_clock::time_point utc,
                        float gravity, std::uint8_t gpsStatus) const;

    // The fixed place the position sways around.
    static constexpr double kLatitude = 34.2583, kLongitude = 108.9286, kAltitude = 405.0;

private:
    double Noise(std::uint32_t elapsedMs, int channel) const; // in [-1, 1]

    std::uint64_t m_seed;
    std::array<double, 3> m_amplitude{}; // roll, pitch, yaw
    std::array<double, 3> m_omega{};
    std::array<double, 3> m_phase{};
    double m_baseYaw = 0;
    double m_speed = 0, m_speedOmega = 0, m_speedPhase = 0;
    double m_climbOmega = 0;
    double m_satellitePhase = 0;
};

} // namespace orvanta::devsim
