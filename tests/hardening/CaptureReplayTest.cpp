// Capture and replay end to end: a live run against the simulator writes a capture, whose
// replay gives the same rows, Miscount and echo; a capture above 40 MiB of rows replayed
// as fast as possible loses no row; damaged files and files that are no capture.
#include "HeadlessProcess.h"
#include "devsim/StreamCapture.h"
#include "recording/CaptureReader.h"

#include <algorithm>
#include <mutex>

namespace orvanta::hardening {
namespace {

using recording::CaptureDirection;
using recording::CaptureReader;
using Bytes = std::vector<std::uint8_t>;

// The rows of the CSV files below folder, in file order, each without its time stamp.
std::vector<std::string> RowsWithoutTime(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".csv") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> rows;
    for (const auto& file : files) {
        std::istringstream in(testing::ReadFile(file));
        for (std::string line; std::getline(in, line);) {
            rows.push_back(line.substr(0, line.rfind(',')));
        }
    }
    return rows;
}

// The echo of a --monitor run: its output without the status lines and the recording's
// report (whose first line may have had to end the echo's last one).
std::string Echo(const std::string& out) {
    static const std::regex status(
        R"(rate=\d+HZ miscount=-?\d+ mode=\d roll=\S* pitch=\S* yaw=\S*\n)");
    static const std::regex report(R"((csv|capture|recorded): [^\n]*\n)");
    const std::string lines = std::regex_replace(std::regex_replace(out, status, ""), report, "");
    // The echo's lines end in "\r\n"; a bare line feed ended a cut echo line for the report.
    std::string echo;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != '\n' || (i > 0 && lines[i - 1] == '\r')) {
            echo += lines[i];
        }
    }
    return echo;
}

Bytes DeviceBytes(const fs::path& capture) {
    std::string error;
    auto reader = CaptureReader::Open(capture, error);
    EXPECT_TRUE(reader) << error;
    Bytes bytes;
    recording::CaptureRecord record;
    while (reader && reader->Next(record) == CaptureReader::Step::Record) {
        if (record.direction == CaptureDirection::DeviceToHost) {
            bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
        }
    }
    return bytes;
}

class CaptureReplayTest : public HeadlessProcessFixture {
protected:
    // Replays capture from a fresh data folder; returns the exit status.
    std::optional<int> Replay(const fs::path& capture, std::vector<std::string> more = {}) {
        fs::remove_all(data());
        std::vector<std::string> args{"--headless", "--replay", capture.string()};
        args.insert(args.end(), more.begin(), more.end());
        Spawn(args);
        return Wait(60s);
    }
};

// The live run: a VK100 switched to automatic output, one frame in 23 corrupted.
TEST_F(CaptureReplayTest, AReplayGivesTheLiveRunsRowsMiscountAndEcho) {
    std::mutex mutex;
    Bytes written;
    devsim::SimulatorOptions options;
    options.model = devsim::Model::VK100;
    options.corruptEvery = 23;
    options.onWritten = [&](std::span<const std::uint8_t> bytes) {
        std::lock_guard lock(mutex);
        written.insert(written.end(), bytes.begin(), bytes.end());
    };
    auto& simulator = StartSimulator(options);
    const fs::path capture = root() / "live.pcap";
    Spawn({"--headless", "--port", link(), "--mode", "2", "--freq-index", "8", "--record",
           "--monitor", "--capture", capture.string(), "--duration", "5"});
    const auto live = EndWithDevice(5);
    ASSERT_TRUE(live);
    ASSERT_EQ(*live, 0) << Err();
    simulator.Stop();
    const auto liveRows = RowsWithoutTime(data());
    const std::string liveEcho = Echo(Out());
    const int liveMiscount = MaxMiscount();
    // The stream starts once the connect sequence and the mode switch are through.
    ASSERT_GT(simulator.Counters().dataFramesSent, 60u);
    EXPECT_EQ(liveMiscount, static_cast<int>(simulator.Counters().dataFramesCorrupted)) << Out();
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(DeviceBytes(capture) == written) << "the capture holds what the device sent";
    }

    for (const char* speed : {"max", "4"}) {
        const auto status = Replay(capture, {"--speed", speed, "--record", "--monitor"});
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, 0) << speed << '\n' << Err();
        EXPECT_EQ(RowsWithoutTime(data()), liveRows) << speed;
        EXPECT_EQ(Echo(Out()), liveEcho) << speed;
        const auto lines = StatusLines();
        ASSERT_FALSE(lines.empty()) << speed;
        EXPECT_EQ(lines.back().miscount, liveMiscount) << speed << '\n' << Out();
        EXPECT_EQ(lines.back().mode, 2) << speed;
        EXPECT_EQ(Err().find("Serial port"), std::string::npos) << Err();
    }
}

// More than 40 MiB of CSV rows at full speed: the replay waits for the writer, every frame
// is one row, the rows continue in a second file after the roll-over.
TEST_F(CaptureReplayTest, AsFastAsPossibleEveryRowOfMoreThan40MiBIsWritten) {
    devsim::StreamCaptureOptions options;
    options.seconds = 900; // 180000 VK100 rows of about 260 bytes: 47 MB
    const fs::path capture = root() / "long.pcap";
    std::string error;
    ASSERT_TRUE(devsim::WriteStreamCapture(capture, options, error)) << error;
    const auto status = Replay(capture, {"--speed", "max", "--record"});
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    std::uint64_t headers = 0;
    EXPECT_EQ(CsvRows(data(), &headers), 180000u) << Err();
    EXPECT_EQ(headers, 1u);
    EXPECT_EQ(CsvFiles(data()).size(), 2u);
    EXPECT_TRUE(Err().empty()) << Err();
}

TEST_F(CaptureReplayTest, DamagedCapturesPlayUpToTheDamageAndOtherFilesAreRefused) {
    devsim::StreamCaptureOptions options;
    options.seconds = 1; // 200 data frames after the note, the query and its reply
    const fs::path capture = root() / "short.pcap";
    std::string error;
    ASSERT_TRUE(devsim::WriteStreamCapture(capture, options, error)) << error;
    std::string bytes = testing::ReadFile(capture);
    const std::size_t record = 16 + 1 + 129; // one data frame's record
    const std::size_t lastRecord = bytes.size() - record;
    bytes.resize(bytes.size() - 50);
    const fs::path cut = root() / "cut.pcap";
    testing::WriteFile(cut, bytes);

    testing::WriteFile(config(), "[Config]\nLANGUAGE=EN\n");
    auto status = Replay(cut, {"--speed", "max", "--record"});
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 4) << Err();
    EXPECT_EQ(CsvRows(data()), 199u);
    EXPECT_NE(Err().find("Message: The capture is damaged: 202 records were read, the damage "
                         "starts at byte " +
                         std::to_string(lastRecord) + "."),
              std::string::npos)
        << Err();

    testing::WriteFile(config(), "[Config]\nLANGUAGE=CH\n");
    status = Replay(cut, {"--speed", "max"});
    ASSERT_TRUE(status);
    EXPECT_NE(Err().find("已读取202条记录"), std::string::npos) << Err();

    const fs::path text = root() / "notes.csv";
    testing::WriteFile(text, "Roll,Pitch\r\n");
    testing::WriteFile(config(), "[Config]\nLANGUAGE=EN\n");
    status = Replay(text);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 3) << Err();
    EXPECT_NE(Err().find("Message: The file is not an Orvanta capture: " + text.string()),
              std::string::npos)
        << Err();
    EXPECT_FALSE(fs::exists(data()));
}

} // namespace
} // namespace orvanta::hardening
