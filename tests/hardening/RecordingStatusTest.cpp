// What a headless recording run says and how it ends: the files on stdout as they are made,
// status 5 at once when its CSV file or capture cannot be made or at the end when rows were
// lost, and the hang-up and quit signals ending it with everything written out.
#include "HeadlessProcess.h"

#include <csignal>
#include <cstring>

namespace orvanta::hardening {
namespace {

devsim::SimulatorOptions Streaming() {
    devsim::SimulatorOptions options;
    options.model = devsim::Model::VK200_210;
    options.baud = 115200;
    options.autoDivider = 2; // 100 frames a second without being asked
    return options;
}

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line.substr(prefix.size()));
        }
    }
    return found;
}

class RecordingStatusTest : public HeadlessProcessFixture {};

TEST_F(RecordingStatusTest, FilesThatCannotBeMadeEndTheRunAtOnce) {
    StartSimulator(Streaming());
    struct Case {
        const char* name;
        std::vector<std::string> extra;
    };
    const Case cases[] = {
        {"data folder", {"--record"}},
        {"capture", {"--capture", "/proc/orvanta.pcap"}},
    };
    testing::WriteFile(data(), "in the way of the data folder");
    for (const Case& c : cases) {
        std::vector<std::string> args{"--headless", "--port", link(), "--duration", "30"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        Spawn(args);
        const auto status = Wait(10s);
        ASSERT_TRUE(status) << c.name << " did not end at once";
        EXPECT_EQ(*status, 5) << c.name << '\n' << Err();
        EXPECT_TRUE(Lines(Out(), "csv: ").empty()) << c.name;
    }
}

TEST_F(RecordingStatusTest, StdoutNamesTheFilesAndWhatReachedThem) {
    StartSimulator(Streaming());
    Spawn({"--headless", "--port", link(), "--record", "--capture", (root() / "run.pcap").string(),
           "--duration", "3"});
    const auto status = Wait(20s);
    ASSERT_TRUE(status);
    ASSERT_EQ(*status, 0) << Err();
    const auto csv = Lines(Out(), "csv: ");
    ASSERT_EQ(csv.size(), 1u) << Out();
    EXPECT_TRUE(fs::exists(csv[0]));
    EXPECT_EQ(Lines(Out(), "capture: "), std::vector<std::string>{(root() / "run.pcap").string()});
    const auto summary = Lines(Out(), "recorded: ");
    ASSERT_EQ(summary.size(), 1u) << Out();
    const auto bytes = fs::file_size(csv[0]) + fs::file_size(root() / "run.pcap");
    EXPECT_EQ(summary[0], "rows=" + std::to_string(CsvRows(data())) + " files=2 bytes=" +
                              std::to_string(bytes) + " lost_rows=0 lost_records=0");
}

TEST_F(RecordingStatusTest, RowsThatNeverReachTheDiskEndWithStatus5) {
    StartSimulator(Streaming());
    // The header fits, the rows never do.
    Spawn({"--headless", "--port", link(), "--record", "--duration", "2"}, /*fileSizeLimit=*/300);
    const auto status = Wait(20s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 5) << Err();
    const auto summary = Lines(Out(), "recorded: ");
    ASSERT_EQ(summary.size(), 1u) << Out();
    EXPECT_EQ(summary[0].find("lost_rows=0"), std::string::npos) << summary[0];
}

TEST_F(RecordingStatusTest, HangUpAndQuitEndTheRunWithEverythingWritten) {
    StartSimulator(Streaming());
    // A test run under nohup would hand its ignored hang-up on, which the program keeps.
    const auto previousHangUp = std::signal(SIGHUP, SIG_DFL);
    for (const int signal : {SIGHUP, SIGQUIT}) {
        fs::remove_all(data());
        Spawn({"--headless", "--port", link(), "--record", "--duration", "60"});
        std::this_thread::sleep_for(1500ms);
        Signal(signal);
        const auto status = Wait(15s);
        ASSERT_TRUE(status) << strsignal(signal);
        EXPECT_EQ(*status, 0) << strsignal(signal) << '\n' << Err();
        // Ended through the close handling: the rows held in memory reached the file.
        const auto rows = CsvRows(data());
        EXPECT_GT(rows, 0u);
        EXPECT_EQ(Lines(Out(), "recorded: "),
                  std::vector<std::string>{"rows=" + std::to_string(rows) + " files=1 bytes=" +
                                           std::to_string(fs::file_size(CsvFiles(data())[0])) +
                                           " lost_rows=0 lost_records=0"})
            << strsignal(signal);
    }
    std::signal(SIGHUP, previousHangUp);
}

} // namespace
} // namespace orvanta::hardening
