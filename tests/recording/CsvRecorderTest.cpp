#include "recording/CsvRecorder.h"

#include "RecorderTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
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
constexpr auto kPeriod = 250ms;

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
    // One flush cycle: the writer's wait ends, it writes what was gathered and waits again.
    void Flush(StepSleeper& sleeper) {
        ASSERT_EQ(sleeper.NextSleep(), kPeriod);
        sleeper.Release();
        ASSERT_TRUE(sleeper.AwaitWaiting());
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
    EXPECT_TRUE(std::filesystem::exists(PathAt(kT0))); // made at Start
    EXPECT_EQ(recorder.RecordingState(), 1);

    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    recorder.AppendRow(Items("a"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    EXPECT_EQ(recorder.RecordingState(), 2); // buffer A retired, rows go to B
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader) + FileRow("a"));
    recorder.AppendRow(Items("b"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    EXPECT_EQ(recorder.RecordingState(), 1);
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader) + FileRow("a") + FileRow("b"));
    recorder.Shutdown();
    EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(CsvRecorderTest, NothingIsLostAtStop) {
    struct Case {
        const char* name;
        int flushesBeforeStop;
    };
    const Case cases[] = {{"before the first flush", 0}, {"after a flush", 1}, {"after two", 2}};
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
    SystemSleeper fast(0.01); // 2.5 ms period
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

// A producer faster than the writer's period waits for the writer, which writes at once;
// below the bound nobody waits.
TEST_F(CsvRecorderTest, WaitForWriterWritesABacklogAtOnce) {
    RecorderLimits limits;
    limits.backlogBytes = 200;
    CsvRecorder recorder(clock_, sleeper_, messages_, limits);
    Configure(recorder, dir_.path());
    ASSERT_TRUE(recorder.Start());
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    std::string expected = FileText(kHeader);
    for (int i = 0; i < 10; ++i) {
        recorder.AppendRow(Items(std::to_string(i)), 1, kT0);
        expected += FileRow(std::to_string(i));
        if (i == 4) {
            recorder.WaitForWriter(); // 145 bytes wait
            EXPECT_EQ(std::filesystem::file_size(recorder.CsvPath()), 0u);
        }
    }
    recorder.WaitForWriter(); // 240 bytes
    EXPECT_EQ(ReadFile(recorder.CsvPath()), expected);
    EXPECT_EQ(recorder.RecordingState(), 2);
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
    ASSERT_TRUE(recorder.Start());
    std::filesystem::resize_file(PathAt(kT0), 41943040); // exactly 40 MiB: not yet larger
    Flush(sleeper_); // the header still goes to the first file, which is now larger
    clock_.Set(kT1);
    recorder.AppendRow(Items("next"), 1, kT0);
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
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
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    EXPECT_EQ(ReadFile(PathAt(kT0)), FileText(kHeader));
    EXPECT_EQ(ReadFile(dir_.path() / "data" / "VK200-210_20240102030405_3.csv"), FileRow("next"));
    recorder.Shutdown();
}

// The folder is moved away and a file stands in its place: rows are held and told about
// once, no file is made meanwhile, and once the name can be used again a new file starts
// with the header and takes the held rows.
TEST_F(CsvRecorderTest, ALostFolderHoldsRowsAndStartsAFileWithTheHeaderAgain) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    const auto data = dir_.path() / "data";
    Configure(recorder, data);
    ASSERT_TRUE(recorder.Start());
    Flush(sleeper_);
    std::filesystem::rename(data, dir_.path() / "moved");
    testing::WriteFile(data, "a file where the folder must be");
    recorder.AppendRow(Items("1"), 1, kT0);
    Flush(sleeper_);
    recorder.AppendRow(Items("2"), 1, kT0);
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    const auto path = PathAt(kT0);
    ASSERT_EQ(messages_.Messages().size(), 1u);
    EXPECT_EQ(messages_.Messages()[0].first, "Message");
    EXPECT_EQ(messages_.Messages()[0].second, "Unable to write the data file: " + path.string());
    EXPECT_GT(recorder.HeldBytes(), 0u);
    EXPECT_EQ(ReadFile(dir_.path() / "moved" / path.filename()), FileText(kHeader));

    std::filesystem::remove(data); // writing works again
    recorder.AppendRow(Items("3"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    EXPECT_EQ(ReadFile(path), FileText(kHeader) + FileRow("1") + FileRow("2") + FileRow("3"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 1);
    EXPECT_EQ(recorder.HeldBytes(), 0u);
    ASSERT_EQ(messages_.Messages().size(), 2u);
    EXPECT_EQ(messages_.Messages()[1].second,
              "The data file is being written again: " + path.string());

    // A new failure run is told again, in the language chosen; what is still held at the
    // end is counted and told.
    recorder.SetLanguageFlag(0);
    std::filesystem::remove_all(data);
    testing::WriteFile(data, "again");
    recorder.AppendRow(Items("4"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    recorder.Shutdown();
    const auto shown = messages_.Messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[2].second, "无法写入数据文件: " + path.string());
    EXPECT_EQ(shown[3].second, "1行数据未能写入，已丢失: " + path.string());
    EXPECT_EQ(recorder.LostRows(), 1u);
}

TEST_F(CsvRecorderTest, HeldRowsAreBoundedOldestDroppedAndReported) {
    const std::size_t rowSize = FileRow("10").size();
    RecorderLimits limits;
    limits.heldBytes = FileText(kHeader).size() + 5 * rowSize; // the header and five rows
    CsvRecorder recorder(clock_, sleeper_, messages_, limits);
    const auto data = dir_.path() / "data";
    Configure(recorder, data);
    ASSERT_TRUE(recorder.Start());
    Flush(sleeper_);
    std::filesystem::rename(data, dir_.path() / "moved");
    testing::WriteFile(data, "x");
    for (int i = 10; i < 20; ++i) {
        recorder.AppendRow(Items(std::to_string(i)), 1, kT0);
    }
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    EXPECT_LE(recorder.HeldBytes(), limits.heldBytes);
    auto messages = messages_.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].second.rfind("Unwritten data exceeded 40 MiB, the oldest rows were "
                                       "dropped: ",
                                       0),
              0u);
    std::filesystem::remove(data);
    recorder.Shutdown();
    std::string kept = FileText(kHeader);
    for (int i = 15; i < 20; ++i) {
        kept += FileRow(std::to_string(i));
    }
    EXPECT_EQ(ReadFile(recorder.CsvPath()), kept);
    EXPECT_EQ(recorder.LostRows(), 5u);
    messages = messages_.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[3].second,
              "5 rows could not be written and were lost: " + recorder.CsvPath().string());
}

TEST_F(CsvRecorderTest, AShortWriteIsUndoneAndRetriedWhole) {
    CsvRecorder recorder(clock_, sleeper_, messages_);
    Configure(recorder, dir_.path());
    ASSERT_TRUE(recorder.Start());
    Flush(sleeper_);
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    const auto headerSize = std::filesystem::file_size(recorder.CsvPath());

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = headerSize + 10; // room for part of a row only
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    recorder.AppendRow(Items("long-enough-row"), 1, kT0);
    sleeper_.Release();
    ASSERT_EQ(sleeper_.NextSleep(), kPeriod);
    EXPECT_EQ(messages_.Messages().size(), 1u);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    recorder.Shutdown();
    EXPECT_EQ(ReadFile(recorder.CsvPath()), FileText(kHeader) + FileRow("long-enough-row"));
}

// Two recorders in two processes start in the same second in a folder where an earlier
// run left a file of that name: each gets a file of its own, with one header and only its
// own rows, and the earlier file is left as it was.
TEST_F(CsvRecorderTest, RecordersStartingInTheSameSecondNeverShareAFile) {
    const auto data = dir_.path() / "data";
    std::filesystem::create_directories(data);
    const std::string earlier = "an earlier run\r\n";
    testing::WriteFile(PathAt(kT0), earlier);
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    const std::string tag = child == 0 ? "child" : "parent";
    char byte = 0;
    const bool ready = child == 0 ? ::read(go[0], &byte, 1) == 1 : ::write(go[1], "g", 1) == 1;
    constexpr int kRows = 500;
    bool clean = false;
    {
        SystemSleeper sleeper(0.01);
        MessageLog log;
        CsvRecorder recorder(clock_, sleeper, log);
        Configure(recorder, data);
        clean = ready && recorder.Start();
        for (int i = 0; i < kRows; ++i) {
            recorder.AppendRow(Items(tag + "-" + std::to_string(i)), 1, kT0);
            if (i % 100 == 0) {
                ::usleep(2000);
            }
        }
        recorder.Shutdown();
        clean = clean && log.Messages().empty();
    }
    if (child == 0) {
        ::_exit(clean ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(clean);

    EXPECT_EQ(ReadFile(PathAt(kT0)), earlier);
    std::set<std::string> owners;
    for (const char* name : {"VK200-210_20240102030405_2.csv", "VK200-210_20240102030405_3.csv"}) {
        std::istringstream in(ReadFile(data / name));
        std::string line, owner;
        ASSERT_TRUE(std::getline(in, line)) << name;
        EXPECT_EQ(line + "\n", FileText(kHeader)) << name;
        int next = 0;
        while (std::getline(in, line)) {
            const std::string field = line.substr(0, line.find(','));
            owner = field.substr(0, field.find('-'));
            ASSERT_EQ(field, owner + "-" + std::to_string(next)) << name;
            ++next;
        }
        EXPECT_EQ(next, kRows) << name;
        owners.insert(owner);
    }
    EXPECT_EQ(owners, (std::set<std::string>{"child", "parent"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 3);
}

// A file that cannot be created fails Start at once, naming it and the system's reason;
// the recorder stays idle and leaves nothing behind.
TEST_F(CsvRecorderTest, StartFailsAtOnceWhenTheFileCannotBeCreated) {
    const auto blocker = dir_.path() / "blocker";
    testing::WriteFile(blocker, "a file where the folder must be");
    testing::SmallDisk readOnly(dir_.path() / "read-only", 65536, /*readOnly=*/true);
    std::vector<std::pair<const char*, std::filesystem::path>> cases = {
        {"a file in the folder's place", blocker / "data"}};
    if (readOnly.Mounted()) {
        cases.push_back({"a read-only disk", dir_.path() / "read-only"});
    } else {
        std::cout << "read-only case skipped: no tmpfs mount allowed here\n";
    }
    for (const auto& [name, folder] : cases) {
        MessageLog messages;
        CsvRecorder recorder(clock_, sleeper_, messages);
        Configure(recorder, folder);
        const StartResult result = recorder.Start();
        const auto path = folder / "VK200-210_20240102030405.csv";
        EXPECT_EQ(result.outcome, StartResult::Outcome::FileNotCreated) << name;
        EXPECT_EQ(result.path, path) << name;
        EXPECT_NE(result.error, 0) << name;
        EXPECT_FALSE(recorder.Recording()) << name;
        EXPECT_EQ(recorder.RecordingState(), 0) << name;
        EXPECT_EQ(recorder.CsvPath(), path) << name;
        EXPECT_FALSE(std::filesystem::exists(path)) << name;
        ASSERT_EQ(messages.Messages().size(), 1u) << name;
        EXPECT_EQ(messages.Messages()[0].second,
                  "Unable to write the data file: " + path.string() + " (" + result.errorText + ")")
            << name;
    }
}

} // namespace
} // namespace orvanta::recording
