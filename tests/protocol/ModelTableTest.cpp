#include "protocol/ModelTable.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace orvanta::protocol {
namespace {

// The column names as a reader sees them, turned into code page 936 bytes here so the
// expected text stays readable.
std::string ToCodePage936(std::string text) {
    const std::pair<std::string, std::string> signs[] = {
        {"\xC2\xB0", "\xA1\xE3"},     // °
        {"\xE2\x84\x83", "\xA1\xE6"}, // ℃
        {"\xCE\xBC", "\xA6\xCC"},     // μ
    };
    for (const auto& [utf8, gbk] : signs) {
        for (std::size_t at = text.find(utf8); at != std::string::npos; at = text.find(utf8, at)) {
            text.replace(at, utf8.size(), gbk);
        }
    }
    return text;
}

TEST(ModelTableTest, CsvHeadersInCodePage936) {
    struct Case {
        int model;
        const char* header;
        int columns;
    };
    const Case cases[] = {
        {0,
         "Roll(°),Pitch(°),Yaw(°),xGyro(°/s),yGyro(°/s),zGyro(°/s),xAcc(g),yAcc(g),zAcc(g),"
         "xMag(μT),yMag(μT),zMag(μT),xVelocity(m/s),yVelocity(m/s),zVelocity(m/s),"
         "Mag.Heading(°),Temperatures0(℃),Temperatures1(℃),TimeSinceReset(s),Latiude,"
         "Longiude,Altitude(m),Baro Altitude(cm),Baro Pressur(Pa),NumSV,ExtFixInfo,TrueHead,"
         "UTC,WKN,TOWK,TOW,GpsFixInfo,UTC Time,Time\n",
         34},
        {1,
         "Roll(°),Pitch(°),Yaw(°),xGyro(°/s),yGyro(°/s),zGyro(°/s),xAcc(g),yAcc(g),zAcc(g),Time\n",
         10},
        {2,
         "Roll(°),Pitch(°),Yaw(°),xGyro(°/s),yGyro(°/s),zGyro(°/s),xAcc(g),yAcc(g),zAcc(g),"
         "xVelocity(m/s),yVelocity(m/s),zVelocity(m/s),Temperatures0(℃),Temperatures1(℃),"
         "TimeSinceReset(s),Latiude,Longiude,Altitude(m),NumSV,TrueHead,Velocity flag,Pos flag,"
         "Time Status,TOW,RTK Quality Indicators,Time\n",
         26},
    };
    for (const Case& c : cases) {
        const std::string_view header = ModelTable[c.model].csvHeader;
        EXPECT_EQ(std::string(header), ToCodePage936(c.header)) << c.model;
        EXPECT_EQ(std::count(header.begin(), header.end(), ',') + 1, c.columns) << c.model;
    }
}

TEST(ModelTableTest, Rows) {
    EXPECT_EQ(ModelTable[0].name, "VK100");
    EXPECT_EQ(ModelTable[1].name, "VK200-210");
    EXPECT_EQ(ModelTable[2].name, "VN300");
    EXPECT_EQ(ModelTable[1].selectorEntry, "VK200/210");
    EXPECT_EQ(ModelTable[0].itemMask, 0u);
    EXPECT_EQ(ModelTable[1].itemMask, 0x1Au);
    EXPECT_EQ(ModelTable[2].itemMask, 0u);
    for (int m = 0; m < kModelCount; ++m) {
        const bool asks = m != 1;
        EXPECT_EQ(ModelTable[m].queryItemMask, asks) << m;
        EXPECT_EQ(ModelTable[m].awaitItemMask, asks) << m;
        EXPECT_EQ(ModelTable[m].awaitGravity, asks) << m;
        EXPECT_EQ(ModelTable[m].frequencyEntries, m == 0 ? 10 : 9) << m;
    }
    EXPECT_EQ(ModelTable[0].frequencies, (FrequencyTable{0, 1, 5, 10, 15, 20, 25, 35, 50, 100}));
    EXPECT_EQ(ModelTable[2].frequencies, (FrequencyTable{0, 1, 5, 10, 20, 25, 50, 100, 200, 200}));
    EXPECT_EQ(ModelTable[0].deviceBauds,
              (DeviceBaudTable{9600, 19200, 38400, 57600, 115200, 230400}));
    EXPECT_EQ(ModelTable[1].deviceBauds,
              (DeviceBaudTable{9600, 19200, 38400, 57600, 115200, 256000}));
    EXPECT_EQ(ModelTable[1].frequencies, ModelTable[2].frequencies);
    EXPECT_EQ(ModelTable[1].deviceBauds, ModelTable[2].deviceBauds);
    EXPECT_EQ(&ModelRow(7), &ModelTable[0]);
    EXPECT_EQ(&ModelRow(-1), &ModelTable[0]);
}

TEST(ModelTableTest, SnapRateForEveryModel) {
    struct Range {
        std::uint32_t from, to, rate;
    };
    const std::vector<Range> vk100 = {{0, 0, 0},    {1, 2, 1},     {3, 6, 5},      {7, 11, 10},
                                      {12, 16, 15}, {17, 21, 20},  {22, 26, 25},   {27, 36, 35},
                                      {37, 51, 50}, {52, 60, 100}, {101, 500, 100}};
    const std::vector<Range> vk200 = {
        {0, 0, 0},    {1, 2, 1},    {3, 6, 5},      {7, 11, 10},     {12, 21, 20},
        {22, 26, 25}, {27, 51, 50}, {52, 101, 100}, {102, 201, 200}, {202, 100000, 200}};
    const std::vector<Range>* ranges[kModelCount] = {&vk100, &vk200, &vk200};
    for (int m = 0; m < kModelCount; ++m) {
        for (const Range& range : *ranges[m]) {
            for (std::uint32_t n = range.from; n <= range.to; ++n) {
                ASSERT_EQ(SnapRate(n, ModelTable[m].frequencies), range.rate)
                    << "model " << m << " count " << n;
            }
        }
        EXPECT_EQ(SnapRate(0xFFFFFFFFu, ModelTable[m].frequencies), m == 0 ? 100u : 200u);
    }
}

} // namespace
} // namespace orvanta::protocol
