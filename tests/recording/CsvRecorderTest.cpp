#include "recording/CsvRecorder.h"

#include "RecorderTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace orvanta::recording {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::MessageLog;
using testing::ReadFile;
using testing::StepSleeper;
using testing::TempDir;

const std::string kHeader = "Roll(\xA1\xE3),Pitch(\xA1\xE3),xGyro(\xA1\xE3/s),xAcc(g),Time\n";
const LocalTime kT0{2024, 1, 2, 3, 4, 5, 6};
const LocalTime kT1{2024, 1, 2, 3, 9, 0, 0};

ItemTexts Items(const std::string& roll) {
    ItemTexts items;
    items[0] = roll;
    return items;
}

// What AppendRow(Items(roll), 1, kT0) writes to the file.
std::string FileRow(const std::string& roll) {
    return roll + ",,,,,,,,,3:4:5'6 \r\n";
}

std::string FileText(const std::string& memoryText) {
    std::string out;
    for (char c : memoryText) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

class CsvRecorderTest : public ::testing::Test {
protected:
    void Configure(CsvRecorder& recorder, const std::filesystem::path& directory) {
        recorder.SetDataDirectory(directory);
        recorder.SetModelName("VK200-210");
        recorder.SetCsvHeader(kHeader);
        recorder.SetLanguageFlag(1);
    }
    // One full flush cycle: the 4 s wait, then the 1.2 s pause, then the file write.
    void Flush(StepSleeper& sleeper) {
        ASSERT_EQ(sleeper.NextSleep(), 4000ms);
        sleeper.Release();
        ASSERT_EQ(sleeper.NextSleep(), 1200ms);
        sleeper.Release();
    }
    std::filesystem::path PathAt(const LocalTime& time) const {
        return dir_.path() / "data" / ("VK200-210_" + FormatFileTime(time) + ".csv");
    }

    TempDir dir_;
    FakeClock clock_{kT0};
    StepSleeper sleeper_;
    MessageLog messages_;
};

TEST_F(CsvRecorderTest, BuffersAlternateAndTheDirectoryIsCreated) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    Configure(recorder, dir_.path() / "data"); // does not exist yet
    ASSERT_TRUE(recorder.Start());
    EXPECT_EQ(recorder.CsvPath(), PathAt(kT0));
    EXPECT_EQ(recorder.RecordingState(), 1);

    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    recorder.AppendRow(Items("a"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 1200ms);
    EXPECT_EQ(recorder.RecordingState(), 2); // buffer A retired, rows go to B
    recorder.AppendRow(Items("b"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader) + FileRow("a"));

    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 1200ms);
    EXPECT_EQ(recorder.RecordingState(), 1);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader) + FileRow("a") + FileRow("b"));
    recorder.Shutdown();
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(CsvRecorderTest, NothingIsLostAtStop) {
    struct Case {
        const char* name;
        int flushesBeforeStop;
        bool stopInPause;
    };
    const Case cases[] = {{"before the first flush", 0, false},
                          {"after a flush", 1, false},
                          {"during the hand-over pause", 0, true}};
    for (const auto& c : cases) {
        TempDir dir;
        StepSleeper sleeper;
        CsvRecorder recorder(clock_, sleeper, messages_);
        Configure(recorder, dir.path());
        ASSERT_TRUE(recorder.Start());
        std::string expected = FileText(kHeader);
        recorder.AppendRow(Items("1"), 1, kT0);
        expected += FileRow("1");
        for (int i = 0; i < c.flushesBeforeStop; ++i) {
            Flush(sleeper);
        }
        if (c.stopInPause) {
            ASSERT_EQ(sleeper.NextSleep(), 4000ms);
            sleeper.Release();
            ASSERT_EQ(sleeper.NextSleep(), 1200ms);
        }
        recorder.AppendRow(Items("2"), 1, kT0);
        expected += FileRow("2");
        recorder.Stop();
        recorder.AppendRow(Items("late"), 1, kT0); // after Stop: no row
        recorder.Shutdown();
        EXPECT_EQ(ReadFile(recorder.CsvPath()), expected) << c.name;
        EXPECT_EQ(recorder.RecordingState(), 0);
    }
}

TEST_F(CsvRecorderTest, StartWaitsForTheEarlierWriter) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    Configure(recorder, dir_.path() / "data");
    ASSERT_TRUE(recorder.Start());
    recorder.AppendRow(Items("first"), 1, kT0);
    recorder.Stop();
    clock_.Set(kT1);
    ASSERT_TRUE(recorder.Start()); // the first writer has finished its last flush
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader) + FileRow("first"));
    recorder.AppendRow(Items("second"), 1, kT0);
    recorder.Shutdown();
    EXPECT_EQ(ReadFile(PathAt(kT1)), FileText(kHeader) + FileRow("second"));
}

TEST_F(CsvRecorderTest, ManyRowsUnderRealTimingAreWrittenOnceInOrder) {
    SystemSleeper fast(0.001); // 4 ms period, 1.2 ms pause
    CsvRecorder recorder(clock_, fast, messages_);
    Configure(recorder, dir_.path());
    ASSERT_TRUE(recorder.Start());
    std::string expected = FileText(kHeader);
    for (int i = 0; i < 20000; ++i) {
        const std::string value = std::to_string(i);
        recorder.AppendRow(Items(value), 1, kT0);
        expected += FileRow(value);
        if (i % 2000 == 0) {
            ::usleep(3000);
        }
    }
    recorder.Shutdown();
    EXPECT_EQ(ReadFile(recorder.CsvPath()), expected);
}

// A producer faster than the 4 s period waits for the writer, which writes at once and
// skips the hand-over pause; below the bound nobody waits.
TEST_F(CsvRecorderTest, WaitForWriterWritesABacklogAtOnce) {
    RecorderLimits limits;
    limits.backlogBytes = 200;
    CsvRecorder recorder(clock_, sleeper_, messages_, limits);
    Configure(recorder, dir_.path());
    ASSERT_TRUE(recorder.Start());
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    std::string expected = FileText(kHeader);
    for (int i = 0; i < 10; ++i) {
        recorder.AppendRow(Items(std::to_string(i)), 1, kT0);
        expected += FileRow(std::to_string(i));
        if (i == 4) {
            recorder.WaitForWriter(); // 145 bytes wait
            EXPECT_FALSE(std::filesystem::exists(recorder.CsvPath()));
        }
    }
    recorder.WaitForWriter(); // 240 bytes
    EXPECT_EQ(ReadFile(recorder.CsvPath()), expected);
    EXPECT_EQ(recorder.RecordingState(), 2);
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms); // no 1200 ms pause came first
    recorder.Shutdown();
    recorder.WaitForWriter(); // idle: returns at once
}

TEST_F(CsvRecorderTest, HeaderLinesOnUnitClicks) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    Configure(recorder, dir_.path());
    recorder.RewriteHeaderForAccelUnit(1); // idle: header changes, no line
    const std::string metric = "Roll(\xA1\xE3),Pitch(\xA1\xE3),xGyro(\xA1\xE3/s),xAcc(m/s2),Time\n";
    EXPECT_EQ(recorder.CsvHeader(), metric);
    ASSERT_TRUE(recorder.Start());
    const std::string radians = "Roll(rad),Pitch(rad),xGyro(rad/s),xAcc(m/s2),Time\n";
    recorder.RewriteHeaderForAngleUnit(1);
    recorder.RewriteHeaderForAngleUnit(1);
    recorder.AppendRow(Items("x"), 1, kT0);
    recorder.RewriteHeaderForAngleUnit(0);
    recorder.Shutdown();
    EXPECT_EQ(ReadFile(recorder.CsvPath()),
              FileText(metric + radians + radians) + FileRow("x") + FileText(metric));
}

TEST_F(CsvRecorderTest, RollsOverToANewFileWithoutHeaderPast40MiB) {
    CsvRecorder recorder(clock_, sleeper_, messages_); // the program's limits
    Configure(recorder, dir_.path() / "data");
    std::filesystem::create_directories(dir_.path() / "data");
    { std::ofstream(PathAt(kT0), std::ios::binary).put('\0'); }
    std::filesystem::resize_file(PathAt(kT0), 41943040); // exactly 40 MiB: not yet larger
    ASSERT_TRUE(recorder.Start());
    Flush(sleeper_); // the header still goes to the first file, which is now larger
    clock_.Set(kT1);
    recorder.AppendRow(Items("next"), 1, kT0);
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_EQ(std::filesystem::file_size(PathAt(kT0)), 41943040 + FileText(kHeader).size());
    EXPECT_EQ(ReadFile(PathAt(kT1)), FileRow("next"));
    EXPECT_EQ(recorder.CsvPath(), PathAt(kT1));
    recorder.Shutdown();
}

TEST_F(CsvRecorderTest, ARollOverWithinTheSameSecondTakesANumberedName) {
    RecorderLimits limits;
    limits.rollOverBytes = 10;
    CsvRecorder recorder(clock_, sleeper_, messages_, limits);
    Configure(recorder, dir_.path() / "data");
    const auto second = dir_.path() / "data" / "VK200-210_20240102030405_2.csv";
    std::filesystem::create_directories(second.parent_path());
    testing::WriteFile(second, "an earlier roll-over"); // taken: the next number is used
    ASSERT_TRUE(recorder.Start());
    Flush(sleeper_); // the header makes the first file larger than 10 bytes
    recorder.AppendRow(Items("next"), 1, kT0);
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader));
    EXPECT_EQ(ReadFile(dir_.path() / "data" / "VK200-210_20240102030405_3.csv"), FileRow("next"));
    recorder.Shutdown();
}

TEST_F(CsvRecorderTest, UnwritableDirectoryHoldsRowsAndTellsOnce) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    const auto blocker = dir_.path() / "blocker";
    testing::WriteFile(blocker, "a file where the directory must be");
    Configure(recorder, blocker / "data");
    ASSERT_TRUE(recorder.Start());
    recorder.AppendRow(Items("1"), 1, kT0);
    Flush(sleeper_);
    recorder.AppendRow(Items("2"), 1, kT0);
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    const auto path = blocker / "data" / "VK200-210_20240102030405.csv";
    ASSERT_EQ(messages_.Messages().size(), 1u);
    EXPECT_EQ(messages_.Messages()[0].first, "Message");
    EXPECT_EQ(messages_.Messages()[0].second, "Unable to write the data file: " + path.string());
    EXPECT_GT(recorder.HeldBytes(), 0u);

    std::filesystem::remove(blocker); // writing works again
    recorder.AppendRow(Items("3"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 1200ms);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_EQ(ReadFile(path), FileText(kHeader) + FileRow("1") + FileRow("2") + FileRow("3"));
    EXPECT_EQ(recorder.HeldBytes(), 0u);

    // A new failure run is told again, in the language chosen.
    recorder.SetLanguageFlag(0);
    std::filesystem::remove_all(blocker);
    testing::WriteFile(blocker, "again");
    recorder.AppendRow(Items("4"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 1200ms);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    ASSERT_EQ(messages_.Messages().size(), 2u);
    EXPECT_EQ(messages_.Messages()[1].second, "无法写入数据文件: " + path.string());
    recorder.Shutdown();
}

TEST_F(CsvRecorderTest, HeldRowsAreBoundedOldestDroppedAndReported) {
    RecorderLimits limits;
    limits.heldBytes = 100;
    CsvRecorder recorder(clock_, sleeper_, messages_, limits);
    const auto blocker = dir_.path() / "blocker";
    testing::WriteFile(blocker, "x");
    Configure(recorder, blocker);
    ASSERT_TRUE(recorder.Start());
    for (int i = 10; i < 20; ++i) {
        recorder.AppendRow(Items(std::to_string(i)), 1, kT0); // 20 bytes each: five fit
    }
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_LE(recorder.HeldBytes(), 100u);
    const auto messages = messages_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].second.rfind("Unwritten data exceeded 40 MiB, the oldest rows were "
                                       "dropped: ",
                                       0),
              0u);
    std::filesystem::remove(blocker);
    recorder.Shutdown();
    std::string kept;
    for (int i = 15; i < 20; ++i) {
        kept += FileRow(std::to_string(i));
    }
    EXPECT_EQ(ReadFile(recorder.CsvPath()), kept);
}

TEST_F(CsvRecorderTest, AShortWriteIsUndoneAndRetriedWhole) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    Configure(recorder, dir_.path());
    ASSERT_TRUE(recorder.Start());
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    const auto headerSize = std::filesystem::file_size(recorder.CsvPath());

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = headerSize + 10; // room for part of a row only
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    recorder.AppendRow(Items("long-enough-row"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 1200ms);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), 4000ms);
    EXPECT_EQ(messages_.Messages().size(), 1u);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    recorder.Shutdown();
    EXPECT_EQ(ReadFile(recorder.CsvPath()), FileText(kHeader) + FileRow("long-enough-row"));
}

} // namespace
} // namespace orvanta::recording
