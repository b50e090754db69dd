#include "devsim/PayloadEncoder.h"

#include "devsim/DeviceFrame.h"

#include <bit>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace orvanta::devsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PayloadEncoderTest, EulerFrameMatchesTheKnownExample) {
    SensorSample s;
    s.euler = {1.0f, 0.5f, -0.25f};
    const Bytes payload = EncodeItems(0x2, s);
    EXPECT_EQ(BuildDeviceFrame(0x57, payload),
              (Bytes{0xFF, 0x00, 0x57, 0x00, 0x0C, 0x00, 0x00, 0x80, 0x3F, 0x00,
                     0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0xBE, 0xA0, 0x2A, 0x03}));
}

TEST(PayloadEncoderTest, ItemSizesFollowTheItemTable) {
    struct Case {
        std::uint32_t mask;
        std::size_t size;
    };
    const Case cases[] = {
        {0, 0},        {0x2, 12},        {0x8, 12},      {0x10, 12},      {0x20, 12},
        {0x40, 8},     {0x800, 4},       {0x10000, 6},   {0x20000, 4},    {0x40000, 4},
        {0x80000, 24}, {0x100000, 12},   {0x2000000, 7}, {0x8000000, 4},  {0x0A1F087A, 121},
        {0x1A, 36},    {0x0019085A, 90}, {0x1, 0},       {0xF0000000, 0},
    };
    SensorSample s;
    for (const auto& c : cases) {
        EXPECT_EQ(ItemPayloadSize(c.mask), c.size) << std::hex << c.mask;
        EXPECT_EQ(EncodeItems(c.mask, s).size(), c.size) << std::hex << c.mask;
    }
}

TEST(PayloadEncoderTest, ItemsFollowEachOtherInBitOrderLittleEndian) {
    SensorSample s;
    s.runtimeMs = 0x01020304;
    s.timeOfWeekMs = 0x0A0B0C0D;
    s.gpsStatus = 0x3F;
    s.satellites = 11;
    s.qneCm = 10000;
    s.pressurePa = 62000;
    s.position = {34.25, 108.5, 405.0};
    s.velocity = {1.0f, -2.0f, 0.5f};
    s.year = 2020;
    s.month = 5;
    s.day = 29;
    s.hour = 8;
    s.minute = 3;
    s.second = 9;
    s.magHeading = 123.5f;
    const Bytes p = EncodeItems(
        0x800 | 0x10000 | 0x20000 | 0x40000 | 0x80000 | 0x100000 | 0x2000000 | 0x8000000, s);
    ASSERT_EQ(p.size(), 4u + 6 + 4 + 4 + 24 + 12 + 7 + 4);
    EXPECT_EQ(Bytes(p.begin(), p.begin() + 4), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(Bytes(p.begin() + 4, p.begin() + 10), (Bytes{0x0D, 0x0C, 0x0B, 0x0A, 0x3F, 11}));
    EXPECT_EQ(Bytes(p.begin() + 10, p.begin() + 14), (Bytes{0x10, 0x27, 0x00, 0x00}));
    EXPECT_EQ(Bytes(p.begin() + 14, p.begin() + 18), (Bytes{0x30, 0xF2, 0x00, 0x00}));
    double latitude;
    std::memcpy(&latitude, p.data() + 18, 8);
    EXPECT_EQ(latitude, 34.25);
    double altitude;
    std::memcpy(&altitude, p.data() + 34, 8);
    EXPECT_EQ(altitude, 405.0);
    float vy;
    std::memcpy(&vy, p.data() + 46, 4);
    EXPECT_EQ(vy, -2.0f);
    EXPECT_EQ(Bytes(p.begin() + 54, p.begin() + 61), (Bytes{0xE4, 0x07, 5, 29, 8, 3, 9}));
    float heading;
    std::memcpy(&heading, p.data() + 61, 4);
    EXPECT_EQ(heading, 123.5f);
}

} // namespace
} // namespace orvanta::devsim
