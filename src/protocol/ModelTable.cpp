#include "protocol/ModelTable.h"

namespace orvanta::protocol {

namespace {

// Column names in code page 936: the degree sign is A1 E3, the Celsius sign A1 E6, the
// micro sign A6 CC. The VK100 row carries 34 fields, so its header names 34 columns.
constexpr std::string_view kVk100Header = "Roll(\xA1\xE3),Pitch(\xA1\xE3),Yaw(\xA1\xE3),"
                                          "xGyro(\xA1\xE3/s),yGyro(\xA1\xE3/s),zGyro(\xA1\xE3/s),"
                                          "xAcc(g),yAcc(g),zAcc(g),"
                                          "xMag(\xA6\xCC"
                                          "T),yMag(\xA6\xCC"
                                          "T),zMag(\xA6\xCC"
                                          "T),"
                                          "xVelocity(m/s),yVelocity(m/s),zVelocity(m/s),"
                                          "Mag.Heading(\xA1\xE3),"
                                          "Temperatures0(\xA1\xE6),Temperatures1(\xA1\xE6),"
                                          "TimeSinceReset(s),Latiude,Longiude,Altitude(m),"
                                          "Baro Altitude(cm),Baro Pressur(Pa),"
                                          "NumSV,ExtFixInfo,TrueHead,UTC,WKN,TOWK,TOW,GpsFixInfo,"
                                          "UTC Time,Time\n";

constexpr std::string_view kVk200Header = "Roll(\xA1\xE3),Pitch(\xA1\xE3),Yaw(\xA1\xE3),"
                                          "xGyro(\xA1\xE3/s),yGyro(\xA1\xE3/s),zGyro(\xA1\xE3/s),"
                                          "xAcc(g),yAcc(g),zAcc(g),Time\n";

constexpr std::string_view kVn300Header =
    "Roll(\xA1\xE3),Pitch(\xA1\xE3),Yaw(\xA1\xE3),"
    "xGyro(\xA1\xE3/s),yGyro(\xA1\xE3/s),zGyro(\xA1\xE3/s),"
    "xAcc(g),yAcc(g),zAcc(g),"
    "xVelocity(m/s),yVelocity(m/s),zVelocity(m/s),"
    "Temperatures0(\xA1\xE6),Temperatures1(\xA1\xE6),"
    "TimeSinceReset(s),Latiude,Longiude,Altitude(m),"
    "NumSV,TrueHead,Velocity flag,Pos flag,Time Status,TOW,RTK Quality Indicators,Time\n";

constexpr FrequencyTable kVk100Frequencies = {0, 1, 5, 10, 15, 20, 25, 35, 50, 100};
// Nine selector entries; F[9] repeats the last so SnapRate tops out there.
constexpr FrequencyTable kVk200Frequencies = {0, 1, 5, 10, 20, 25, 50, 100, 200, 200};
constexpr DeviceBaudTable kVk100Bauds = {9600, 19200, 38400, 57600, 115200, 230400};
constexpr DeviceBaudTable kVk200Bauds = {9600, 19200, 38400, 57600, 115200, 256000};

} // namespace

const std::array<ModelProfile, kModelCount> ModelTable = {{
    {"VK100", "VK100", 0, true, true, true, kVk100Header, kVk100Frequencies, 10, kVk100Bauds},
    {"VK200-210", "VK200/210", 0x1A, false, false, false, kVk200Header, kVk200Frequencies, 9,
     kVk200Bauds},
    {"VN300", "VN300", 0, true, true, true, kVn300Header, kVk200Frequencies, 9, kVk200Bauds},
}};

const ModelProfile& ModelRow(int modelIndex) {
    return ModelTable[modelIndex >= 0 && modelIndex < kModelCount ? modelIndex : 0];
}

std::uint32_t SnapRate(std::uint32_t count, const FrequencyTable& frequencies) {
    if (count == 0) {
        return frequencies[0];
    }
    for (std::size_t i = 1; i <= 8; ++i) {
        if (static_cast<std::uint64_t>(count) <= std::uint64_t{frequencies[i]} + 1) {
            return frequencies[i];
        }
    }
    return frequencies[9];
}

} // namespace orvanta::protocol
