// One recording session in both CSV formats: the designed file, and the one for analysis
// tools that pandas reads without options.
#include "RecorderTestSupport.h"
#include "protocol/ModelTable.h"
#include "recording/CsvRecorder.h"

#include <ctime>
#include <gtest/gtest.h>
#include <iconv.h>
#include <regex>

namespace orvanta::recording {
namespace {

constexpr std::int64_t kStartNs = 1'796'864'523'123'456'789; // 2026-12-10T01:02:03.123456789Z

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos;
         from = at + separator.size()) {
        parts.push_back(text.substr(from, at - from));
    }
    parts.push_back(text.substr(from));
    return parts;
}

bool ValidUtf8(std::string text) {
    const iconv_t check = iconv_open("UTF-32", "UTF-8");
    std::vector<char> out(4 * text.size() + 8);
    char *in = text.data(), *outAt = out.data();
    std::size_t inLeft = text.size(), outLeft = out.size();
    const bool ok = iconv(check, &in, &inLeft, &outAt, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(check);
    return ok;
}

// Nanoseconds of "YYYY-mm-ddTHH:MM:SS.uuuuuuZ"; -1 for anything else.
std::int64_t ParseIsoUtc(const std::string& text) {
    std::tm parts{};
    const char* rest = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &parts);
    const bool ok = rest != nullptr && std::regex_match(rest, std::regex(R"(\.\d{6}Z)"));
    return ok ? timegm(&parts) * 1'000'000'000LL + std::stoll(rest + 1) * 1000 : -1;
}

// Six frames of a VK100 recording whose model turns VK200-210 after three and whose angle
// unit is switched before the last; frame i arrives 10.000123 ms after frame i - 1.
std::string Record(CsvFormat format, const std::filesystem::path& folder, const ItemTexts& items) {
    testing::FakeClock clock{LocalTime{2026, 12, 10, 9, 2, 3, 0}};
    testing::StepSleeper sleeper;
    testing::MessageLog messages;
    CsvRecorder recorder(clock, sleeper, messages);
    recorder.SetDataDirectory(folder);
    recorder.SetCsvHeader(std::string(protocol::ModelRow(0).csvHeader), 0);
    recorder.SetCsvFormat(format);
    EXPECT_TRUE(recorder.Start());
    for (int i = 0; i < 6; ++i) {
        if (i == 3) {
            recorder.SetCsvHeader(std::string(protocol::ModelRow(1).csvHeader), 1);
        }
        if (i == 5) {
            recorder.RewriteHeaderForAngleUnit(1);
        }
        recorder.AppendRow(items, i < 3 ? 0 : 1,
                           protocol::ArrivalTime{kStartNs + i * 10'000'123, 5'000'000 + i});
    }
    recorder.Shutdown();
    EXPECT_TRUE(messages.Messages().empty());
    return testing::ReadFile(recorder.CsvPath());
}

TEST(CsvFormatTest, OneSessionInBothFormats) {
    testing::TempDir dir;
    ItemTexts items;
    for (int i = 0; i < protocol::slot::kCount; ++i) {
        items[i] = "+" + std::to_string(i) + ".5";
    }
    items[protocol::slot::kGpsFix] = "RTK fixed "; // ends in a space
    std::string designed(protocol::ModelRow(0).csvHeader);
    for (int i = 0; i < 6; ++i) {
        designed += i == 5 ? RewriteAngleUnit(protocol::ModelRow(1).csvHeader, 1) : "";
        designed += BuildRow(items, i < 3 ? 0 : 1, LocalTimeAt(kStartNs + i * 10'000'123));
    }
    EXPECT_EQ(Record(CsvFormat::Designed, dir.path() / "a", items),
              std::regex_replace(designed, std::regex("\n"), "\r\n"));

    const std::string text = Record(CsvFormat::Utf8, dir.path() / "b", items);
    EXPECT_TRUE(ValidUtf8(text));
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto lines = Split(text.substr(0, text.size() - 2), "\r\n");
    ASSERT_EQ(lines.size(), 8u); // a header line again at the unit switch
    const auto header = Split(lines[0], ",");
    EXPECT_EQ(header.front(), "time"); // no byte order mark before it
    EXPECT_EQ(header.back(), "monotonic_ns");
    EXPECT_EQ(header[1] + header[17] + header[10], "Roll(°)Temperatures0(℃)xMag(μT)");
    std::int64_t lastTime = kStartNs / 1000 * 1000, lastMonotonic = 5'000'000;
    for (const std::string& line : lines) {
        const auto fields = Split(line, ",");
        ASSERT_EQ(fields.size(), header.size()) << line; // the VK100 columns throughout
        EXPECT_TRUE(line.find(" ,") == std::string::npos && line.back() != ' ') << line;
        if (fields.front() != "time") {
            EXPECT_EQ(fields[32], "RTK fixed");
            EXPECT_GE(ParseIsoUtc(fields.front()), std::exchange(lastTime, ParseIsoUtc(fields[0])));
            EXPECT_GE(std::stoll(fields.back()),
                      std::exchange(lastMonotonic, std::stoll(fields.back())));
        }
    }
    EXPECT_EQ(ParseIsoUtc(Split(lines[1], ",")[0]), kStartNs / 1000 * 1000); // UTC, not local
    EXPECT_EQ(lastMonotonic, 5'000'005);
    EXPECT_EQ(FormatIsoUtc(-1), "1969-12-31T23:59:59.999999Z");
}

} // namespace
} // namespace orvanta::recording
