// A sensor that drops off in the middle of a headless recording: it is found again and the
// recording goes on in the same file, the capture noting the gap; one that never comes back
// ends the run with status 6.
#include "HeadlessProcess.h"
#include "recording/CaptureReader.h"

namespace orvanta::hardening {
namespace {

devsim::SimulatorOptions Dropping(double dropAfter, double backAfter) {
    devsim::SimulatorOptions options;
    options.model = devsim::Model::VK200_210;
    options.baud = 115200;
    options.autoDivider = 4; // 50 frames a second without being asked
    options.dropAfterSeconds = dropAfter;
    options.backAfterSeconds = backAfter;
    return options;
}

std::vector<std::string> GapNotes(const fs::path& capture) {
    std::string error;
    auto reader = recording::CaptureReader::Open(capture, error);
    EXPECT_TRUE(reader) << error;
    std::vector<std::string> gaps;
    recording::CaptureRecord record;
    while (reader && reader->Next(record) == recording::CaptureReader::Step::Record) {
        if (record.direction == recording::CaptureDirection::Note) {
            const auto note = recording::ParseCaptureNote(std::string_view(
                reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size()));
            if (const auto gap = recording::NoteValue(note, recording::note_key::kGap)) {
                gaps.push_back(*gap);
            }
        }
    }
    return gaps;
}

class DeviceRecoveryTest : public HeadlessProcessFixture {};

TEST_F(DeviceRecoveryTest, ARecordingGoesOnInTheSameFileAcrossADrop) {
    auto& simulator = StartSimulator(Dropping(2, 3));
    const fs::path capture = root() / "run.pcap";
    Spawn({"--headless", "--port", link(), "--record", "--capture", capture.string(), "--duration",
           "9"});
    const auto status = Wait(30s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    ASSERT_EQ(CsvFiles(data()).size(), 1u) << Out();
    std::uint64_t headers = 0;
    const auto rows = CsvRows(data(), &headers);
    EXPECT_EQ(headers, 1u);
    // Rows from before the drop and from after the return, about 6 s of 50 frames.
    EXPECT_GT(rows, 200u) << Err();
    EXPECT_LE(rows, simulator.Counters().dataFramesSent);
    const auto gaps = GapNotes(capture);
    ASSERT_EQ(gaps.size(), 1u) << Err();
    EXPECT_GT(std::stod(gaps[0]), 2.5);
    EXPECT_NE(Err().find(link()), std::string::npos) << "the loss and the return are told";
}

TEST_F(DeviceRecoveryTest, ADeviceThatNeverComesBackEndsWithStatus6) {
    StartSimulator(Dropping(1.5, 0));
    Spawn({"--headless", "--port", link(), "--record", "--duration", "4"});
    const auto status = Wait(30s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 6) << Err();
    EXPECT_GT(CsvRows(data()), 0u) << "the rows before the drop stay";
}

TEST_F(DeviceRecoveryTest, OneOfSeveralPortsDropsOffAndTheOthersGoOn) {
    StartSimulator(Dropping(2, 2));
    const std::string steadyLink = (root() / "steady").string();
    const auto steady = orvanta::testing::StartDevice(Dropping(0, 0), steadyLink);
    Spawn({"--headless", "--port", link(), "--port", steadyLink, "--record", "--duration", "7"});
    const auto status = Wait(30s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    const auto files = CsvFiles(data());
    ASSERT_EQ(files.size(), 2u) << Out();
    EXPECT_GT(CsvRows(data()), 400u) << "both ports recorded nearly all the time";
    EXPECT_NE(Err().find("device: "), std::string::npos) << "the dropping port is named";
}

} // namespace
} // namespace orvanta::hardening
