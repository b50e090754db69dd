#include "recording/CsvLayout.h"

#include "protocol/ModelTable.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace orvanta::recording {
namespace {

const std::string kDeg = "\xA1\xE3";
const std::string kCelsius = "\xA1\xE6";

ItemTexts NumberedItems() {
    ItemTexts items;
    for (int i = 0; i < protocol::slot::kCount; ++i) {
        items[i] = "s" + std::to_string(i);
    }
    return items;
}

LocalTime At(int hour, int minute, int second, int millisecond) {
    return LocalTime{2024, 3, 9, hour, minute, second, millisecond};
}

TEST(CsvLayoutTest, RowFieldsPerModel) {
    struct Case {
        int modelIndex;
        const char* expected;
    };
    const Case cases[] = {
        {1, "s0,s1,s2,s3,s4,s5,s6,s7,s8,9:5:3'7 \n"},
        {2, "s0,s1,s2,s3,s4,s5,s6,s7,s8,s12,s13,s14,s15,s16,s18,s19,s20,s21,s22,s24,s26,s23,"
            "s28,s27,s29,9:5:3'7 \n"},
        {0, "s0,s1,s2,s3,s4,s5,s6,s7,s8,s9,s10,s11,s12,s13,s14,s30,s15,s16,s18,s19,s20,s21,"
            "s31,s32,s22,s23,s24,s25,s26,s28,s27,s29,s17,9:5:3'7 \n"},
        {7, "s0,s1,s2,s3,s4,s5,s6,s7,s8,s9,s10,s11,s12,s13,s14,s30,s15,s16,s18,s19,s20,s21,"
            "s31,s32,s22,s23,s24,s25,s26,s28,s27,s29,s17,9:5:3'7 \n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildRow(NumberedItems(), c.modelIndex, At(9, 5, 3, 7)), c.expected)
            << "model " << c.modelIndex;
    }
}

TEST(CsvLayoutTest, AbsentItemsGiveEmptyFields) {
    ItemTexts items;
    items[0] = "+1.5";
    const std::string row = BuildRow(items, 2, At(23, 59, 59, 999));
    EXPECT_EQ(row, "+1.5" + std::string(25, ',') + "23:59:59'999 \n");
    EXPECT_EQ(BuildRow(ItemTexts{}, 0, At(0, 0, 0, 0)), std::string(33, ',') + "0:0:0'0 \n");
}

TEST(CsvLayoutTest, ModelHeadersMatchTheRows) {
    const auto columns = [](std::string_view header) {
        return static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')) + 1;
    };
    // Every model's header names each field of its rows, the time stamp included.
    for (int model = 0; model < protocol::kModelCount; ++model) {
        EXPECT_EQ(columns(protocol::ModelRow(model).csvHeader), RowSlots(model).size() + 1)
            << model;
    }

    const std::string vk100(protocol::ModelRow(0).csvHeader);
    const std::string radians = RewriteAngleUnit(vk100, 1);
    EXPECT_NE(radians.find("Mag.Heading(rad),Temperatures0(" + kCelsius + ")"), std::string::npos);
    EXPECT_EQ(radians.find(kDeg), std::string::npos);
    EXPECT_EQ(RewriteAngleUnit(radians, 0), vk100);
    EXPECT_EQ(RewriteAccelUnit(RewriteAccelUnit(vk100, 1), 0), vk100);
}

TEST(CsvLayoutTest, FileTimeAndPath) {
    const LocalTime time{2020, 5, 29, 14, 30, 5, 999};
    EXPECT_EQ(FormatFileTime(time), "20200529143005");
    EXPECT_EQ(BuildCsvPath("/x/data", "VK100", time).string(), "/x/data/VK100_20200529143005.csv");
    EXPECT_EQ(BuildCsvPath("/x/data/", "VN300", time).string(), "/x/data/VN300_20200529143005.csv");
    EXPECT_EQ(BuildCsvPath("/x", "a/b", time).string(), "/x/a_b_20200529143005.csv");
    EXPECT_EQ(BuildCsvPath("/x", "VK100", time, "ttyUSB0").string(),
              "/x/VK100_ttyUSB0_20200529143005.csv");
}

TEST(CsvLayoutTest, FileNameSanitising) {
    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"VK200-210", "VK200-210"},
        {"My Model", "My Model"},
        {"../../etc", "______etc"},
        {"a..b", "a__b"},
        {"v1.2", "v1.2"},
        {"..\\..\\x", "__\\__\\x"},
        {"a/b", "a_b"},
        {std::string("a\0b", 3), "a_b"},
        {"tab\there\n", "tab_here_"},
        {"del\x7f", "del_"},
        {".", "_"},
        {"..", "__"},
        {"...", "___"},
        {"型号", "型号"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SanitizeFileNamePart(c.name), c.expected) << c.name;
    }
    // A name as long as the configuration file allows (1023 bytes) is cut so the file name
    // fits in 255 bytes, between two UTF-8 characters.
    const std::string longName =
        "x" + std::string(340, '\0') + std::string("\xE5\x9E\x8B") + std::string(679, 'y');
    std::string multibyte;
    for (int i = 0; i < 341; ++i) {
        multibyte += "\xE5\x9E\x8B"; // 型
    }
    EXPECT_EQ(SanitizeFileNamePart(longName).size(), kMaxFileNamePart);
    EXPECT_EQ(SanitizeFileNamePart(multibyte), multibyte.substr(0, 198));
    const auto path = BuildCsvPath("/data", multibyte, LocalTime{2026, 12, 9, 13, 5, 59, 0});
    EXPECT_LE(path.filename().string().size(), 255u);
    EXPECT_EQ(path.parent_path(), std::filesystem::path("/data"));
}

TEST(CsvLayoutTest, UnitRewrites) {
    const std::string degrees = "Roll(" + kDeg + "),xGyro(" + kDeg + "/s),Mag.Heading(" + kDeg +
                                "),T0(" + kCelsius + "),xAcc(g),Time\n";
    const std::string radians =
        "Roll(rad),xGyro(rad/s),Mag.Heading(rad),T0(" + kCelsius + "),xAcc(g),Time\n";
    EXPECT_EQ(RewriteAngleUnit(degrees, 1), radians);
    EXPECT_EQ(RewriteAngleUnit(radians, 1), radians);
    EXPECT_EQ(RewriteAngleUnit(radians, 0), degrees);
    EXPECT_EQ(RewriteAngleUnit(degrees, 0), degrees);
    // Without a "(°)" column nothing changes, even with a "°" elsewhere.
    const std::string onlyRates = "xGyro(" + kDeg + "/s)\n";
    EXPECT_EQ(RewriteAngleUnit(onlyRates, 1), onlyRates);

    const std::string metric = "xAcc(m/s2),yAcc(m/s2),Time\n";
    EXPECT_EQ(RewriteAccelUnit("xAcc(g),yAcc(g),Time\n", 1), metric);
    EXPECT_EQ(RewriteAccelUnit(metric, 0), "xAcc(g),yAcc(g),Time\n");
    EXPECT_EQ(RewriteAccelUnit(metric, 1), metric);
}

TEST(CsvLayoutTest, ReplaceStepsOverTwoByteCharacters) {
    // 0xB0 0xA1 is one character; its trail byte must not pair with the next lead byte.
    const std::string text = "\xB0\xA1\xE3\xA1";
    EXPECT_EQ(ReplaceAllCp936(text, "\xA1\xE3", "rad"), text);
    EXPECT_EQ(ReplaceAllCp936("(\xA1\xE3)", "\xA1\xE3", "rad"), "(rad)");
}

} // namespace
} // namespace orvanta::recording
