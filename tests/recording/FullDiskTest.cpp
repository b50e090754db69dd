#include "RecorderTestSupport.h"
#include "recording/CaptureReader.h"
#include "recording/CaptureWriter.h"
#include "recording/CsvRecorder.h"
#include "support/RunUntil.h"

#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/resource.h>
#include <thread>

namespace orvanta::recording {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::MessageLog;
using testing::ReadFile;
using testing::StepSleeper;
using testing::TempDir;

const std::string kHeader = "Roll,Pitch,Yaw,Time\n";
const LocalTime kT0{2024, 1, 2, 3, 4, 5, 6};
constexpr std::int64_t kStart = 1700000000000000000;

std::string Row(int i) {
    return "row-" + std::to_string(i) + std::string(60, '.') + ",,,,,,,,,3:4:5'6 \r\n";
}

bool Contains(const std::vector<std::pair<std::string, std::string>>& shown,
              const std::string& text) {
    return std::count_if(shown.begin(), shown.end(),
                         [&](const auto& m) { return m.second == text; }) == 1;
}

// How the disk is made full and given room again: a small tmpfs and a file filling it, or,
// where mounting is not allowed, a file-size limit just above what the files hold.
struct Disk {
    std::function<bool()> fill;
    std::function<void()> free;
};

// A disk fills up in the middle of a recording and of a capture: rows and records are held
// and tried again in the same files, no file is added, and once there is room again they
// all arrive whole, once, in order, after a single header; the user hears both turns.
TEST(FullDiskTest, RowsAndRecordsWaitInTheSameFilesUntilThereIsRoom) {
    TempDir dir;
    const auto mountPoint = dir.path() / "disk";
    testing::SmallDisk small(mountPoint, 256 * 1024);
    const auto data = mountPoint / "data";
    const auto filler = mountPoint / "filler";
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    Disk disk;
    std::filesystem::path csvPath;
    if (small.Mounted()) {
        disk = {[&] { return testing::FillDisk(filler); },
                [&] { std::filesystem::remove(filler); }};
    } else {
        std::cout << "no tmpfs mount allowed here: a file-size limit stands for the full disk\n";
        disk = {[&] {
                    rlimit limit = saved;
                    limit.rlim_cur = std::filesystem::file_size(csvPath) + 10;
                    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
                },
                [&] { ::setrlimit(RLIMIT_FSIZE, &saved); }};
    }

    FakeClock clock(kT0);
    StepSleeper sleeper;
    MessageLog messages;
    CsvRecorder recorder(clock, sleeper, messages);
    recorder.SetDataDirectory(data);
    recorder.SetModelName("VK200-210");
    recorder.SetCsvHeader(kHeader);
    recorder.SetLanguageFlag(0);
    CaptureLimits limits;
    limits.period = 5ms;
    CaptureWriter capture(messages, limits);
    capture.SetLanguageFlag(0);
    ASSERT_TRUE(recorder.Start());
    csvPath = recorder.CsvPath();
    const std::filesystem::path capturePath =
        capture.Open(data / "run.pcap", {{"model", "x"}}, kStart).path;
    ASSERT_FALSE(capturePath.empty());
    // The writer waits; one round of it, until it waits again.
    ASSERT_EQ(sleeper.NextSleep(), 250ms);
    const auto flush = [&] {
        sleeper.Release();
        ASSERT_EQ(sleeper.NextSleep(), 250ms);
    };
    const auto waitFor = [](const std::function<bool()>& done) {
        orvanta::testing::WaitUntil(done, 5s, 5ms);
    };
    flush(); // the header
    waitFor([&] { return std::filesystem::file_size(capturePath) > 0; });
    const auto captureHead = std::filesystem::file_size(capturePath);
    ASSERT_TRUE(disk.fill());

    std::string rows = kHeader;
    rows.insert(rows.size() - 1, "\r");
    int next = 0;
    const std::vector<std::uint8_t> block(100, 0x42);
    const auto appendRound = [&] {
        for (int i = 0; i < 100; ++i, ++next) {
            ItemTexts items;
            items[0] = "row-" + std::to_string(next) + std::string(60, '.');
            recorder.AppendRow(items, 1, kT0);
            rows += Row(next);
            capture.Append(CaptureDirection::DeviceToHost, block.data(), block.size(),
                           kStart + next);
        }
    };
    for (int round = 0; round < 3; ++round) {
        appendRound();
        flush();
        std::this_thread::sleep_for(20ms); // a few capture rounds
    }
    waitFor([&] { return messages.Messages().size() >= 2; });
    EXPECT_GT(recorder.HeldBytes(), 0u);
    // What a busy writer got in before the disk filled up stays, in order and whole.
    const std::string written = ReadFile(csvPath);
    EXPECT_EQ(rows.compare(0, written.size(), written), 0);
    EXPECT_TRUE(!written.empty() && written.back() == '\n') << "cut back to whole rows";
    // Records that still fit the capture's last page may have gone in; the capture is read
    // back whole and in order below.
    EXPECT_GE(std::filesystem::file_size(capturePath), captureHead);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 2);
    auto shown = messages.Messages();
    EXPECT_TRUE(Contains(shown, "无法写入数据文件: " + csvPath.string()));
    EXPECT_TRUE(Contains(shown, "无法写入原始数据文件: " + capturePath.string()));

    disk.free();
    appendRound();
    flush();
    EXPECT_EQ(ReadFile(csvPath), rows);
    EXPECT_EQ(recorder.HeldBytes(), 0u);
    recorder.Shutdown();
    capture.Close();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(recorder.LostRows(), 0u);
    EXPECT_EQ(capture.LostRecords(), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 2);
    shown = messages.Messages();
    EXPECT_TRUE(Contains(shown, "数据文件已恢复写入: " + csvPath.string()));
    EXPECT_TRUE(Contains(shown, "原始数据文件已恢复写入: " + capturePath.string()));
    EXPECT_EQ(shown.size(), 4u);

    std::string error;
    auto reader = CaptureReader::Open(capturePath, error);
    ASSERT_TRUE(reader) << error;
    CaptureRecord record;
    int count = 0;
    while (reader->Next(record) == CaptureReader::Step::Record) {
        EXPECT_EQ(record.timeNs, kStart + count);
        EXPECT_EQ(record.bytes, block);
        ++count;
    }
    EXPECT_EQ(reader->Next(record), CaptureReader::Step::End);
    EXPECT_EQ(count, next);
}

} // namespace
} // namespace orvanta::recording
