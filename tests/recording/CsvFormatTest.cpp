// The two CSV formats written from one recording session: the designed file, and the one
// for analysis tools that pandas reads without options.
#include "RecorderTestSupport.h"
#include "protocol/ModelTable.h"
#include "recording/CsvRecorder.h"

#include <ctime>
#include <gtest/gtest.h>
#include <iconv.h>
#include <regex>

namespace orvanta::recording {
namespace {

using testing::FakeClock;
using testing::MessageLog;
using testing::ReadFile;
using testing::StepSleeper;
using testing::TempDir;

constexpr std::int64_t kStartNs = 1'796'864'523'123'456'789; // 2026-12-10T01:02:03.123456789Z

struct Frame {
    int model;
    protocol::ArrivalTime arrival;
};

ItemTexts SessionItems() {
    ItemTexts items;
    for (int i = 0; i < protocol::slot::kCount; ++i) {
        items[i] = "+" + std::to_string(i) + ".5";
    }
    items[protocol::slot::kGpsFix] = "RTK fixed "; // a text that ends in a space
    return items;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos;) {
        parts.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    parts.push_back(text.substr(from));
    return parts;
}

bool ValidUtf8(std::string text) {
    const iconv_t check = iconv_open("UTF-32", "UTF-8");
    char* in = text.data();
    std::size_t inLeft = text.size();
    std::vector<char> out(4 * text.size() + 8);
    char* outAt = out.data();
    std::size_t outLeft = out.size();
    const bool ok = iconv(check, &in, &inLeft, &outAt, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(check);
    return ok;
}

// Nanoseconds of an ISO 8601 UTC time with microseconds; -1 when it is not one.
std::int64_t ParseIsoUtc(const std::string& text) {
    static const std::regex iso(R"((\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{6})Z)");
    std::smatch m;
    if (!std::regex_match(text, m, iso)) {
        return -1;
    }
    std::tm parts{};
    parts.tm_year = std::stoi(m[1]) - 1900;
    parts.tm_mon = std::stoi(m[2]) - 1;
    parts.tm_mday = std::stoi(m[3]);
    parts.tm_hour = std::stoi(m[4]);
    parts.tm_min = std::stoi(m[5]);
    parts.tm_sec = std::stoi(m[6]);
    return static_cast<std::int64_t>(timegm(&parts)) * 1'000'000'000 + std::stoll(m[7]) * 1000;
}

class CsvFormatTest : public ::testing::Test {
protected:
    CsvFormatTest() {
        for (int i = 0; i < 6; ++i) {
            frames_.push_back({i < 3 ? protocol::model::kVk100 : protocol::model::kVk200_210,
                               {kStartNs + i * 10'000'123, 5'000'000'000 + i * 10'000'000}});
        }
    }

    // A VK100 recording whose model turns VK200-210 after three frames and whose angle
    // unit is switched before the last one.
    std::string Record(CsvFormat format, const std::string& folder) {
        StepSleeper sleeper;
        CsvRecorder recorder(clock_, sleeper, messages_);
        recorder.SetDataDirectory(dir_.path() / folder);
        recorder.SetModelName("VK100");
        recorder.SetCsvHeader(std::string(protocol::ModelRow(0).csvHeader), 0);
        recorder.SetCsvFormat(format);
        EXPECT_TRUE(recorder.Start());
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            if (i == 3) {
                recorder.SetCsvHeader(std::string(protocol::ModelRow(1).csvHeader), 1);
            }
            if (i == 5) {
                recorder.RewriteHeaderForAngleUnit(1);
            }
            recorder.AppendRow(items_, frames_[i].model, frames_[i].arrival);
        }
        const auto path = recorder.CsvPath();
        recorder.Shutdown();
        return ReadFile(path);
    }

    TempDir dir_;
    FakeClock clock_{LocalTime{2026, 12, 10, 9, 2, 3, 0}};
    MessageLog messages_;
    ItemTexts items_ = SessionItems();
    std::vector<Frame> frames_;
};

TEST_F(CsvFormatTest, TheDesignedFileTakesItsTimeTextFromTheArrival) {
    std::string expected(protocol::ModelRow(0).csvHeader);
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        if (i == 5) {
            expected += RewriteAngleUnit(protocol::ModelRow(1).csvHeader, 1);
        }
        expected += BuildRow(items_, frames_[i].model, LocalTimeAt(frames_[i].arrival.realtimeNs));
    }
    EXPECT_EQ(Record(CsvFormat::Designed, "designed"),
              std::regex_replace(expected, std::regex("\n"), "\r\n"));
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(CsvFormatTest, TheAnalysisFileIsUtf8WithEvenRowsAndOrderedTimes) {
    const std::string text = Record(CsvFormat::Utf8, "utf8");
    EXPECT_TRUE(ValidUtf8(text));
    ASSERT_GE(text.size(), 2u);
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    std::vector<std::string> lines = Split(text.substr(0, text.size() - 2), "\r\n");
    ASSERT_EQ(lines.size(), 1 + frames_.size() + 1); // a header line again at the unit switch
    const std::vector<std::string> header = Split(lines[0], ",");
    EXPECT_EQ(header.front(), "time"); // no byte order mark before it
    EXPECT_EQ(header.back(), "monotonic_ns");
    EXPECT_EQ(header[1], "Roll(°)");
    for (const char* column : {"xMag(μT)", "Temperatures0(℃)", "Time"}) {
        EXPECT_NE(std::find(header.begin(), header.end(), column), header.end()) << column;
    }

    std::int64_t lastTime = 0;
    std::int64_t lastMonotonic = 0;
    std::size_t frame = 0;
    for (const std::string& line : lines) {
        const std::vector<std::string> fields = Split(line, ",");
        ASSERT_EQ(fields.size(), header.size()) << line;
        for (const std::string& field : fields) {
            EXPECT_TRUE(field.empty() || field.back() != ' ') << line;
        }
        if (fields.front() == "time") {
            continue;
        }
        const Frame& f = frames_[frame++];
        const std::int64_t time = ParseIsoUtc(fields.front());
        EXPECT_EQ(time, f.arrival.realtimeNs / 1000 * 1000) << fields.front();
        EXPECT_GE(time, lastTime);
        const std::int64_t monotonic = std::stoll(fields.back());
        EXPECT_EQ(monotonic, f.arrival.monotonicNs);
        EXPECT_GE(monotonic, lastMonotonic);
        lastTime = time;
        lastMonotonic = monotonic;
        // The columns the recording began with, filled as the designed row fills them.
        std::string designed = BuildRow(items_, 0, LocalTimeAt(f.arrival.realtimeNs));
        designed = std::regex_replace(designed, std::regex(" (,|\n)"), "$1");
        EXPECT_EQ(line, fields.front() + "," + designed.substr(0, designed.size() - 1) + "," +
                            fields.back());
    }
    EXPECT_EQ(frame, frames_.size());
    EXPECT_EQ(ParseIsoUtc(FormatIsoUtc(kStartNs)), kStartNs / 1000 * 1000);
    EXPECT_EQ(FormatIsoUtc(kStartNs), "2026-12-10T01:02:03.123456Z");
    EXPECT_EQ(FormatIsoUtc(-1), "1969-12-31T23:59:59.999999Z");
}

} // namespace
} // namespace orvanta::recording
