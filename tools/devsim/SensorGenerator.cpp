#include "devsim/SensorGenerator.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace orvanta::devsim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6371000.0;
// Magnetic field in the local north-east-down frame, μT (about 50 μT, dipping 53°).
constexpr double kFieldNorth = 30.0, kFieldEast = 0.0, kFieldDown = 40.0;
// GPS time started 1980-01-06 and runs 18 leap seconds ahead of UTC.
constexpr std::int64_t kGpsEpochUnixMs = 315964800000LL;
constexpr std::int64_t kLeapMs = 18000;
constexpr std::int64_t kWeekMs = 604800000LL;

std::uint64_t SplitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A value in [lo, hi) drawn from the seed stream.
double Draw(std::uint64_t& state, double lo, double hi) {
    state = SplitMix(state);
    return lo + (hi - lo) * static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
}

// Rows of the matrix that turns north-east-down vectors into the body frame.
std::array<double, 3> ToBody(double roll, double pitch, double yaw, double n, double e, double d) {
    const double cr = std::cos(roll), sr = std::sin(roll);
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    const double cy = std::cos(yaw), sy = std::sin(yaw);
    return {cp * cy * n + cp * sy * e - sp * d,
            (sr * sp * cy - cr * sy) * n + (sr * sp * sy + cr * cy) * e + sr * cp * d,
            (cr * sp * cy + sr * sy) * n + (cr * sp * sy - sr * cy) * e + cr * cp * d};
}

} // namespace

SensorGenerator::SensorGenerator(std::uint64_t seed) : m_seed(seed) {
    std::uint64_t state = seed;
    m_amplitude = {Draw(state, 0.10, 0.35), Draw(state, 0.05, 0.25), Draw(state, 0.5, 1.5)};
    for (int i = 0; i < 3; ++i) {
        m_omega[i] = 2 * kPi / Draw(state, 4.0, 12.0);
        m_phase[i] = Draw(state, -kPi, kPi);
    }
    m_baseYaw = Draw(state, -kPi / 2, kPi / 2);
    m_speed = Draw(state, 0.5, 2.0);
    m_speedOmega = 2 * kPi / Draw(state, 60.0, 120.0);
    m_speedPhase = Draw(state, -kPi, kPi);
    m_climbOmega = 2 * kPi / Draw(state, 30.0, 90.0);
    m_satellitePhase = Draw(state, -kPi, kPi);
}

double SensorGenerator::Noise(std::uint32_t elapsedMs, int channel) const {
    const std::uint64_t x =
        SplitMix(m_seed ^ SplitMix((static_cast<std::uint64_t>(elapsedMs) << 8) |
                                   static_cast<std::uint64_t>(channel)));
    return static_cast<double>(x >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

SensorSample SensorGenerator::Sample(std::uint32_t elapsedMs,
                                     std::chrono::system_clock::time_point utc, float gravity,
                                     std::uint8_t gpsStatus) const {
    SensorSample s;
    const double t = elapsedMs * 0.001;

    double angle[3], rate[3];
    for (int i = 0; i < 3; ++i) {
        angle[i] = m_amplitude[i] * std::sin(m_omega[i] * t + m_phase[i]);
        rate[i] = m_amplitude[i] * m_omega[i] * std::cos(m_omega[i] * t + m_phase[i]);
    }
    const double roll = angle[0], pitch = angle[1];
    const double yaw = std::remainder(m_baseYaw + angle[2], 2 * kPi);
    s.euler = {static_cast<float>(roll), static_cast<float>(pitch), static_cast<float>(yaw)};

    // Euler angle rates turned into body rates.
    const double cr = std::cos(roll), sr = std::sin(roll);
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    const double p = rate[0] - rate[2] * sp;
    const double q = rate[1] * cr + rate[2] * sr * cp;
    const double r = -rate[1] * sr + rate[2] * cr * cp;
    s.gyro = {static_cast<float>(p + 0.002 * Noise(elapsedMs, 0)),
              static_cast<float>(q + 0.002 * Noise(elapsedMs, 1)),
              static_cast<float>(r + 0.002 * Noise(elapsedMs, 2))};

    // At rest the accelerometer feels the reaction to gravity: up, i.e. -g along down.
    const auto f = ToBody(roll, pitch, yaw, 0, 0, -static_cast<double>(gravity));
    const auto m = ToBody(roll, pitch, yaw, kFieldNorth, kFieldEast, kFieldDown);
    for (int i = 0; i < 3; ++i) {
        s.acc[i] = static_cast<float>(f[i] + 0.02 * Noise(elapsedMs, 3 + i));
        s.mag[i] = static_cast<float>(m[i] + 0.2 * Noise(elapsedMs, 6 + i));
    }

    s.temperature = {
        static_cast<float>(40.0 + 0.5 * std::sin(2 * kPi * t / 600) + 0.02 * Noise(elapsedMs, 9)),
        static_cast<float>(38.5 + 0.4 * std::sin(2 * kPi * t / 900) + 0.02 * Noise(elapsedMs, 10))};
    s.runtimeMs = elapsedMs;

    const std::int64_t unixMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(utc.time_since_epoch()).count();
    std::int64_t tow = (unixMs + kLeapMs - kGpsEpochUnixMs) % kWeekMs;
    if (tow < 0) {
        tow += kWeekMs;
    }
    s.timeOfWeekMs = static_cast<std::uint32_t>(tow);
    s.gpsStatus = gpsStatus;
    s.satellites = static_cast<std::uint8_t>(
        11 + std::lround(3.0 * std::sin(2 * kPi * t / 97 + m_satellitePhase)));

    // Velocity north, east, down and the position that integrates it.
    const double w = m_speedOmega, ph = m_speedPhase, w2 = m_climbOmega;
    const double vn = m_speed * std::cos(w * t + ph);
    const double ve = m_speed * std::sin(w * t + ph);
    const double vd = 0.1 * std::sin(w2 * t);
    s.velocity = {static_cast<float>(vn), static_cast<float>(ve), static_cast<float>(vd)};
    const double north = m_speed / w * (std::sin(w * t + ph) - std::sin(ph));
    const double east = m_speed / w * (std::cos(ph) - std::cos(w * t + ph));
    const double down = 0.1 / w2 * (1 - std::cos(w2 * t));
    const double latitude = kLatitude + north / kEarthRadius * 180 / kPi;
    const double longitude =
        kLongitude + east / (kEarthRadius * std::cos(kLatitude * kPi / 180)) * 180 / kPi;
    const double altitude = kAltitude - down;
    s.position = {latitude, longitude, altitude};

    // Barometric altitude in centimetres fits 16 bits near the place; a real air pressure
    // (about 96 kPa here) does not, so the pressure is one that fits: about 62 kPa.
    const double baroAltitude = altitude + 0.05 * Noise(elapsedMs, 11);
    s.qneCm = static_cast<std::uint16_t>(std::clamp(std::lround(baroAltitude * 100), 0L, 65535L));
    s.pressurePa = static_cast<std::uint16_t>(std::clamp(
        std::lround(62000.0 - (altitude - kAltitude) * 11.0 + 3.0 * Noise(elapsedMs, 12)), 0L,
        65535L));

    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    s.year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    s.month = static_cast<std::uint8_t>(parts.tm_mon + 1);
    s.day = static_cast<std::uint8_t>(parts.tm_mday);
    s.hour = static_cast<std::uint8_t>(parts.tm_hour);
    s.minute = static_cast<std::uint8_t>(parts.tm_min);
    s.second = static_cast<std::uint8_t>(parts.tm_sec);

    double heading = yaw * 180 / kPi;
    if (heading < 0) {
        heading += 360;
    }
    s.magHeading = static_cast<float>(heading >= 360 ? heading - 360 : heading);
    return s;
}

} // namespace orvanta::devsim
