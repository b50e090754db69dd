// The headless front end: its arguments, and the program run as a process against the
// simulator.
#include "HostFixture.h"
#include "app/HeadlessOptions.h"

#include <regex>
#include <sys/wait.h>

namespace orvanta::app::testing {
namespace {

TEST(HeadlessArgsTest, UsableAndUnusableArguments) {
    struct Case {
        std::vector<std::string> args;
        bool usable;
    };
    const Case cases[] = {
        {{"--headless"}, true},
        {{"--headless", "--port", "/dev/ttyUSB0", "--baud", "256000", "--parity", "E", "--model",
          "VN300", "--mode", "2", "--freq-index", "8", "--record", "--duration", "1.5",
          "--monitor"},
         true},
        {{}, false},
        {{"--port", "/dev/ttyUSB0"}, false},
        {{"--headless", "--baud"}, false},
        {{"--headless", "--baud", "fast"}, false},
        {{"--headless", "--baud", "-9600"}, false},
        {{"--headless", "--parity", "M"}, false},
        {{"--headless", "--model", "VK200/210"}, false},
        {{"--headless", "--mode", "3"}, false},
        {{"--headless", "--freq-index", "10"}, false},
        {{"--headless", "--duration", "-1"}, false},
        {{"--headless", "--duration", "nan"}, false},
        {{"--headless", "--verbose"}, false},
    };
    for (const Case& test : cases) {
        const HeadlessParse parse = ParseHeadlessArgs(test.args);
        EXPECT_EQ(parse.options.has_value(), test.usable) << ::testing::PrintToString(test.args);
        EXPECT_EQ(parse.error.empty(), test.usable);
    }
    const auto full = ParseHeadlessArgs(cases[1].args).options;
    ASSERT_TRUE(full);
    EXPECT_EQ(*full->baud, 256000u);
    EXPECT_EQ(*full->parity, 'E');
    EXPECT_EQ(*full->model, 2);
    EXPECT_EQ(*full->frequencyIndex, 8);
    EXPECT_DOUBLE_EQ(*full->durationSeconds, 1.5);
    EXPECT_TRUE(full->record && full->monitor);
}

// Runs the program from a copy in the fixture's bin/ folder, with an unrelated folder as
// the current directory; returns its exit status.
class HeadlessProcessTest : public HostFixture {
protected:
    int Run(const std::string& arguments) {
        const fs::path bin = folder_.root() / "bin";
        const fs::path elsewhere = folder_.root() / "elsewhere";
        fs::create_directories(elsewhere);
        fs::copy_file(ORVANTA_BINARY, bin / "orvanta", fs::copy_options::overwrite_existing);
        // Should the program take itself for installed, its files stay in the test's folder.
        const std::string command = "cd '" + elsewhere.string() + "' && HOME='" +
                                    (folder_.root() / "home").string() +
                                    "' XDG_CONFIG_HOME= XDG_DOCUMENTS_DIR= XDG_PICTURES_DIR= '" +
                                    (bin / "orvanta").string() + "' " + arguments + " > '" +
                                    (folder_.root() / "out.txt").string() + "' 2> '" +
                                    (folder_.root() / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        out_ = ProgramFolder::ReadFile(folder_.root() / "out.txt");
        err_ = ProgramFolder::ReadFile(folder_.root() / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string out_, err_;
};

TEST_F(HeadlessProcessTest, RecordsAgainstTheSimulatorAndPrintsStatusLines) {
    auto& simulator = StartSimulator(devsim::Model::VK200_210);
    ASSERT_EQ(
        Run("--headless --port '" + LinkPath() + "' --model VK200-210 --record --duration 3.5"), 0)
        << err_;
    simulator.Stop();
    const std::regex line(
        R"(rate=\d+HZ miscount=\d+ mode=0 roll=-?\d+\.\d{3} pitch=-?\d+\.\d{3} yaw=-?\d+\.\d{3})");
    std::istringstream lines(out_);
    int statusLines = 0;
    for (std::string text; std::getline(lines, text);) {
        EXPECT_TRUE(std::regex_match(text, line) || text.rfind("rate=", 0) == 0) << text;
        statusLines += std::regex_match(text, line) ? 1 : 0;
    }
    EXPECT_GE(statusLines, 2) << out_;
    EXPECT_NE(err_.find("Message: Successful Operation!!"), std::string::npos) << err_;

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder_.data())) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().rfind("VK200-210_", 0), 0u);
    const std::string csv = ProgramFolder::ReadFile(files[0]);
    const std::string header =
        "Roll(\xA1\xE3),Pitch(\xA1\xE3),Yaw(\xA1\xE3),xGyro(\xA1\xE3/s),yGyro(\xA1\xE3/s),"
        "zGyro(\xA1\xE3/s),xAcc(g),yAcc(g),zAcc(g),Time\r\n";
    ASSERT_EQ(csv.substr(0, header.size()), header);
    const auto rows = std::count(csv.begin(), csv.end(), '\n') - 1;
    EXPECT_EQ(static_cast<std::uint64_t>(rows), simulator.Counters().dataFramesSent);
    EXPECT_NE(folder_.ReadConfig().find("MODEL=VK200-210"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(folder_.root() / "elsewhere"));
}

TEST_F(HeadlessProcessTest, ExitStatusesForNoPortAndBadArguments) {
    EXPECT_EQ(Run("--headless --port /dev/orvanta-missing --duration 1"), 3);
    EXPECT_NE(err_.find("Message: Serial port open failed"), std::string::npos) << err_;
    EXPECT_EQ(Run("--headless --baud 12345 --duration 1"), 2);
    EXPECT_NE(err_.find("usage:"), std::string::npos);
    EXPECT_EQ(Run("--headless --bogus"), 2);
}

} // namespace
} // namespace orvanta::app::testing
