#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace orvanta::protocol {

// ItemText slots, in the numbering the decoders, the pages and the CSV rows share.
namespace slot {
inline constexpr int kRoll = 0, kPitch = 1, kYaw = 2;
inline constexpr int kGyroX = 3, kGyroY = 4, kGyroZ = 5;
inline constexpr int kAccX = 6, kAccY = 7, kAccZ = 8;
inline constexpr int kMagX = 9, kMagY = 10, kMagZ = 11;
inline constexpr int kVelX = 12, kVelY = 13, kVelZ = 14;
inline constexpr int kTemperature0 = 15, kTemperature1 = 16;
inline constexpr int kUtc = 17, kRuntime = 18;
inline constexpr int kLatitude = 19, kLongitude = 20, kAltitude = 21;
inline constexpr int kSatellites = 22, kGpsFlag23 = 23, kTrueHeadFlag = 24, kUtcFlag = 25,
                     kGpsFlag26 = 26, kTimeOfWeek = 27, kGpsFlag28 = 28, kGpsFix = 29;
inline constexpr int kMagHeading = 30, kQne = 31, kBaro = 32;
inline constexpr int kCount = 33;
} // namespace slot

// The measurement record: display texts written once per decoded frame and read by
// the pages, the status row and the CSV recorder. The texts and the attitude belong to
// the main thread; the two masks are also read and written by the poll worker.
struct MeasurementRecord {
    std::array<std::string, slot::kCount> ItemText;
    std::array<float, 3> AttitudeDegrees{0.0f, 0.0f, 0.0f};
    std::atomic<std::uint32_t> DefaultItemMask{0};
    std::atomic<std::uint32_t> SpecifiedItemMask{0};
    int AngleUnit = 0; // 0 degrees, 1 radians
    int AccelUnit = 0; // 0 g, 1 m/s²
    float GravityValue = 9.8f;
    std::string GravityText;
};

} // namespace orvanta::protocol
