#include "DeviceFrames.h"
#include "protocol/ItemDecoderTable.h"
#include "protocol/OutputItem.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace orvanta::protocol {
namespace {

using protocol::HistoryGroup;
using protocol::WaveformHistory;
using testing::Bytes;
using testing::FullPayload;
using testing::PayloadWriter;

struct Decoded {
    MeasurementRecord record;
    WaveformHistory history;

    void Decode(std::uint32_t mask, const Bytes& payload, int model = 0) {
        DecodeDataFrame(mask, payload, {record, history, model});
    }
    // Slots that are not empty.
    std::map<int, std::string> Texts() const {
        std::map<int, std::string> texts;
        for (int i = 0; i < slot::kCount; ++i) {
            if (!record.ItemText[i].empty()) {
                texts[i] = record.ItemText[i];
            }
        }
        return texts;
    }
};

TEST(ItemDecoderTest, FullVk100PayloadFillsEverySlot) {
    ASSERT_EQ(FullPayload().size(), kAllOutputItemsPayload);
    ASSERT_EQ(PayloadSizeOf(kAllOutputItems), kAllOutputItemsPayload);
    Decoded d;
    d.Decode(kAllOutputItems, FullPayload());
    const std::map<int, std::string> expected = {
        {0, "5.730"},     {1, "-11.459"},     {2, "171.887"},
        {3, "0.573"},     {4, "1.146"},       {5, "-1.719"},
        {6, "0.000"},     {7, "0.000"},       {8, "1.000"},
        {9, "25.500"},    {10, "-3.250"},     {11, "40.000"},
        {12, "1.500"},    {13, "-0.250"},     {14, "0.000"},
        {15, "36.50"},    {16, "-5.12"},      {17, "UTC: 2024-06-11 / 23:59:07"},
        {18, "123.5"},    {19, "39.9042110"}, {20, "116.4073950"},
        {21, "43.500"},   {22, "14"},         {23, "RTK"},
        {24, "Valid"},    {25, "Invalid"},    {26, "Valid"},
        {27, "345678.9"}, {28, "Invalid"},    {29, "3D fix"},
        {30, "271.750"},  {31, "12345"},      {32, "60000"},
    };
    EXPECT_EQ(d.Texts(), expected);
    EXPECT_FLOAT_EQ(d.record.AttitudeDegrees[2], 171.88734f);
    EXPECT_EQ(d.history.Newest(HistoryGroup::Acceleration, 2), 1.0);
    EXPECT_EQ(d.history.Newest(HistoryGroup::MagneticField, 0), 25.5);
    EXPECT_EQ(d.history.Newest(HistoryGroup::Velocity, 1), -0.25);
}

struct ItemCase {
    const char* name;
    std::uint32_t mask;
    Bytes payload;
    int angleUnit;
    int accelUnit;
    int model;
    std::map<int, std::string> texts;
};

TEST(ItemDecoderTest, ItemsByUnitAndModel) {
    const auto euler = PayloadWriter().F32x3(1.0f, 0.5f, -0.25f).bytes();
    const auto gps = [](std::uint8_t status) {
        return PayloadWriter().U32(4294967295u).U8(status).U8(7).bytes();
    };
    const ItemCase cases[] = {
        {"euler in degrees", 0x2, euler, 0, 0, 0, {{0, "57.296"}, {1, "28.648"}, {2, "-14.324"}}},
        {"euler in radians", 0x2, euler, 1, 0, 0, {{0, "1.000"}, {1, "0.500"}, {2, "-0.250"}}},
        {"gyro in degrees", 0x8, euler, 0, 0, 0, {{3, "57.296"}, {4, "28.648"}, {5, "-14.324"}}},
        {"gyro in radians", 0x8, euler, 1, 0, 0, {{3, "1.000"}, {4, "0.500"}, {5, "-0.250"}}},
        {"acc in g",
         0x10,
         PayloadWriter().F32x3(9.81f, -9.8f, 0.0f).bytes(),
         0,
         0,
         0,
         {{6, "1.001"}, {7, "-1.000"}, {8, "0.000"}}},
        {"acc in m/s2",
         0x10,
         PayloadWriter().F32x3(9.81f, -9.8f, 0.0f).bytes(),
         0,
         1,
         0,
         {{6, "9.810"}, {7, "-9.800"}, {8, "0.000"}}},
        {"tiny negative keeps its sign",
         0x20,
         PayloadWriter().F32x3(-0.0001f, -0.0f, 0.0004f).bytes(),
         0,
         0,
         0,
         {{9, "-0.000"}, {10, "-0.000"}, {11, "0.000"}}},
        {"run time is unsigned",
         0x800,
         PayloadWriter().U32(4294967295u).bytes(),
         0,
         0,
         0,
         {{18, "4294967.3"}}},
        {"qne shows the low 16 bits", 0x20000, {0x10, 0x27, 0x01, 0x00}, 0, 0, 0, {{31, "10000"}}},
        {"baro shows the low 16 bits", 0x40000, {0xFF, 0xFF, 0xFF, 0xFF}, 0, 0, 0, {{32, "65535"}}},
        {"utc",
         0x2000000,
         {0xE4, 0x07, 5, 29, 8, 3, 9},
         0,
         0,
         0,
         {{17, "UTC: 2020-05-29 / 08:03:09"}}},
        {"utc with wide fields",
         0x2000000,
         {0x00, 0x00, 255, 0, 100, 9, 60},
         0,
         0,
         0,
         {{17, "UTC: 0-255-00 / 100:09:60"}}},
        {"position only reads 24 bytes",
         0x80000,
         PayloadWriter().F64(-33.8688197).F64(151.2092955).F64(-12.3456).F32(99.0f).bytes(),
         0,
         0,
         0,
         {{19, "-33.8688197"}, {20, "151.2092955"}, {21, "-12.346"}}},
        {"mag heading",
         0x8000000,
         PayloadWriter().F32(359.9996f).bytes(),
         0,
         0,
         0,
         {{30, "360.000"}}},
        {"bits outside the thirteen take no bytes",
         0x1 | 0x4 | 0x2 | 0x80000000,
         euler,
         0,
         0,
         0,
         {{0, "57.296"}, {1, "28.648"}, {2, "-14.324"}}},
        {"vk100 gps",
         0x10000,
         gps(0x14),
         0,
         0,
         0,
         {{27, "4294967.3"},
          {22, "7"},
          {23, "STD"},
          {24, "Invalid"},
          {25, "Valid"},
          {26, "Invalid"},
          {28, "Valid"},
          {29, "No fix"}}},
        {"vk100 gps other fields",
         0x10000,
         gps(0x6A),
         0,
         0,
         0,
         {{27, "4294967.3"},
          {22, "7"},
          {23, "DGPS"},
          {24, "Valid"},
          {25, "Invalid"},
          {26, "Valid"},
          {28, "Invalid"},
          {29, "2D fix"}}},
        {"vn300 gps",
         0x10000,
         gps(0xA4),
         0,
         0,
         2,
         {{27, "4294967.3"},
          {22, "7"},
          {24, "Valid"},
          {26, "Invalid"},
          {23, "Valid"},
          {28, "Invalid"},
          {29, "RTK fixed "}}},
        {"vn300 gps status 3",
         0x10000,
         gps(0x53),
         0,
         0,
         2,
         {{27, "4294967.3"},
          {22, "7"},
          {24, "Invalid"},
          {26, "Valid"},
          {23, "Invalid"},
          {28, "Valid"},
          {29, "No Support"}}},
        {"vn300 gps status 12",
         0x10000,
         gps(0x0C),
         0,
         0,
         2,
         {{27, "4294967.3"},
          {22, "7"},
          {24, "Invalid"},
          {26, "Invalid"},
          {23, "Invalid"},
          {28, "Invalid"},
          {29, "No Support"}}},
        {"vn300 gps status 8",
         0x10000,
         gps(0x08),
         0,
         0,
         2,
         {{27, "4294967.3"},
          {22, "7"},
          {24, "Invalid"},
          {26, "Invalid"},
          {23, "Invalid"},
          {28, "Invalid"},
          {29, "Simulator "}}},
        {"vk200 gps only shows time and satellites",
         0x10000,
         gps(0xFF),
         0,
         0,
         1,
         {{27, "4294967.3"}, {22, "7"}}},
    };
    for (const ItemCase& c : cases) {
        Decoded d;
        d.record.AngleUnit = c.angleUnit;
        d.record.AccelUnit = c.accelUnit;
        d.Decode(c.mask, c.payload, c.model);
        EXPECT_EQ(d.Texts(), c.texts) << c.name;
    }
}

TEST(ItemDecoderTest, AttitudeIsAlwaysInDegreesAndHistoryGetsShownValues) {
    const auto euler = PayloadWriter().F32x3(1.0f, 0.5f, -0.25f).bytes();
    for (int unit : {0, 1}) {
        Decoded d;
        d.record.AngleUnit = unit;
        d.Decode(0x2, euler);
        EXPECT_EQ(d.record.AttitudeDegrees[0], 57.295780181884766f);
        EXPECT_EQ(d.record.AttitudeDegrees[1], 28.647890090942383f);
        EXPECT_EQ(d.record.AttitudeDegrees[2], -14.323945045471191f);
        const double roll = d.history.Newest(HistoryGroup::Euler, 0);
        EXPECT_EQ(roll, unit == 0 ? static_cast<double>(d.record.AttitudeDegrees[0]) : 1.0);
        EXPECT_EQ(d.history.Newest(HistoryGroup::Euler, 2),
                  unit == 0 ? -14.323945045471191 : -0.25);
    }
}

TEST(ItemDecoderTest, AbsentItemsAreClearedWithoutTouchingAttitudeOrHistory) {
    Decoded d;
    d.Decode(kAllOutputItems, FullPayload());
    const auto attitude = d.record.AttitudeDegrees;
    const double newest = d.history.Newest(HistoryGroup::Euler, 0);
    const std::size_t cursor = d.history.Cursor(HistoryGroup::Euler);
    d.Decode(0, FullPayload());
    EXPECT_TRUE(d.Texts().empty());
    EXPECT_EQ(d.record.AttitudeDegrees, attitude);
    EXPECT_EQ(d.history.Newest(HistoryGroup::Euler, 0), newest);
    EXPECT_EQ(d.history.Cursor(HistoryGroup::Euler), cursor);

    d.Decode(kAllOutputItems, FullPayload());
    ClearAllItems(d.record);
    EXPECT_TRUE(d.Texts().empty());
}

TEST(ItemDecoderTest, VisibleGpsFieldsOfOtherModelsKeepTheirTexts) {
    Decoded d;
    d.record.ItemText[slot::kUtcFlag] = "kept";
    d.record.ItemText[slot::kGpsFix] = "kept";
    d.Decode(0x10000, PayloadWriter().U32(1000).U8(0xFF).U8(3).bytes(), 2);
    EXPECT_EQ(d.record.ItemText[slot::kUtcFlag], "kept"); // VN300 has no UTC flag
    d.Decode(0x10000, PayloadWriter().U32(1000).U8(0x00).U8(3).bytes(), 1);
    EXPECT_EQ(d.record.ItemText[slot::kGpsFix], "No Support"); // from the VN300 frame
}

// A payload cut short decodes exactly the items that end inside it; nothing past it is read
// (the bytes behind the cut are poisoned and would show if they were).
TEST(ItemDecoderTest, ShortPayloadDecodesOnlyItemsThatFit) {
    Decoded full;
    full.Decode(kAllOutputItems, FullPayload());
    for (std::size_t length = 0; length <= kAllOutputItemsPayload; ++length) {
        Bytes poisoned = FullPayload();
        for (std::size_t i = length; i < poisoned.size(); ++i) {
            poisoned[i] = 0x7F;
        }
        Decoded d;
        DecodeDataFrame(kAllOutputItems, std::span(poisoned.data(), length),
                        {d.record, d.history, 0});
        std::size_t end = 0;
        for (const ItemDecoderEntry& entry : ItemDecoderTable) {
            end += entry.size;
            Decoded item;
            item.Decode(entry.bit, Bytes(entry.size, 0));
            for (const auto& [slotIndex, text] : item.Texts()) {
                const std::string& expected =
                    end <= length ? full.record.ItemText[slotIndex] : std::string();
                ASSERT_EQ(d.record.ItemText[slotIndex], expected)
                    << "length " << length << " slot " << slotIndex;
            }
        }
    }
}

} // namespace
} // namespace orvanta::protocol
