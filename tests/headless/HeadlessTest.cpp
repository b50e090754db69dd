// The headless front end: its arguments, and the program run as a process against the
// simulator.
#include "headless/HeadlessOptions.h"
#include "headless/HeadlessRun.h"
#include "host/HostFixture.h"
#include "support/FakeSysfs.h"
#include "support/PtyPair.h"

#include <cstdlib>
#include <fcntl.h>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace orvanta::headless::testing {
using namespace orvanta::host::testing;
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
        {{"--headless", "--port", "/dev/ttyUSB0", "--capture", "/tmp/run.pcap"}, true},
        {{"--headless", "--replay", "run.pcap", "--speed", "max", "--model", "VK100", "--record",
          "--monitor", "--duration", "3"},
         true},
        {{"--headless", "--replay", "run.pcap", "--speed", "0.5"}, true},
        {{"--headless", "--capture", ""}, false},
        {{"--headless", "--replay"}, false},
        {{"--headless", "--speed", "max"}, false},
        {{"--headless", "--replay", "run.pcap", "--speed", "0"}, false},
        {{"--headless", "--replay", "run.pcap", "--port", "/dev/ttyUSB0"}, false},
        {{"--headless", "--replay", "run.pcap", "--mode", "1"}, false},
        {{"--headless", "--replay", "run.pcap", "--capture", "again.pcap"}, false},
        {{"--headless", "--csv-format", "utf8", "--record"}, true},
        {{"--headless", "--replay", "run.pcap", "--csv-format", "designed"}, true},
        {{"--headless", "--csv-format", "UTF-8"}, false},
        {{"--headless", "--csv-format"}, false},
        {{"--headless", "--port", "/dev/a", "--port", "/dev/b@VN300", "--model", "VK100"}, true},
        {{"--headless", "--port", "/dev/a", "--port", "/dev/a@VN300"}, false},
        {{"--headless", "--publish", "mqtts://ann@h:9/lab", "--device-name", "x", "--mqtt-qos", "1",
          "--mqtt-ca", "ca.pem"},
         true},
        {{"--headless", "--replay", "run.pcap", "--publish", "mqtt://h/lab"}, true},
        {{"--headless", "--publish", "mqtt://ann:pw@h/lab"}, false},
        {{"--headless", "--publish", "mqtt://h/lab", "--mqtt-qos", "2"}, false},
        {{"--headless", "--mqtt-qos", "1"}, false},
        {{"--headless", "--device-name", "x"}, false},
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
    EXPECT_FALSE(full->replay || full->capture);
    const auto replay = ParseHeadlessArgs(cases[15].args).options;
    ASSERT_TRUE(replay);
    EXPECT_EQ(*replay->replay, "run.pcap");
    EXPECT_TRUE(replay->speed.asFastAsPossible);
    EXPECT_EQ(ParseHeadlessArgs(cases[16].args).options->speed.factor, 0.5);
    EXPECT_FALSE(full->csvFormat); // as the configuration file says
    EXPECT_EQ(ParseHeadlessArgs(cases[24].args).options->csvFormat, recording::CsvFormat::Utf8);
    EXPECT_EQ(ParseHeadlessArgs(cases[25].args).options->csvFormat, recording::CsvFormat::Designed);
    const auto publishing = ParseHeadlessArgs(cases[30].args).options;
    ASSERT_TRUE(publishing && publishing->publish);
    EXPECT_EQ(publishing->publish->Endpoint(), "h:9");
    EXPECT_EQ(publishing->mqttQos, 1);
    EXPECT_EQ(*publishing->deviceName, "x");
    // "@" followed by a model name gives that port its model; any other "@" is the path's.
    const auto ports =
        ParseHeadlessArgs({"--headless", "--port", "/dev/a@x", "--port", "/dev/b@VN300"}).options;
    ASSERT_TRUE(ports);
    EXPECT_EQ(ports->ports, (std::vector<PortChoice>{{"/dev/a@x", std::nullopt}, {"/dev/b", 2}}));
    std::vector<std::string> many{"--headless"};
    for (int i = 0; i <= 16; ++i) {
        many.insert(many.end(), {"--port", "/dev/p" + std::to_string(i)});
    }
    EXPECT_FALSE(ParseHeadlessArgs(many).options) << "17 ports";
    many.resize(many.size() - 2);
    EXPECT_TRUE(ParseHeadlessArgs(many).options) << "16 ports";
}

TEST(HeadlessStatusTest, SeveralPortsEndWithTheWorstOfThoseThatOpened) {
    const std::pair<std::vector<int>, int> cases[] = {
        {{3, 3}, 3}, {{0, 3}, 0}, {{6, 3, 0}, 6}, {{6, 5}, 5}, {{0, 2}, 2}, {{4, 6}, 4},
    };
    for (const auto& [statuses, combined] : cases) {
        EXPECT_EQ(CombinePortStatuses(statuses), combined) << ::testing::PrintToString(statuses);
    }
}

TEST(PortListTest, OneLineAPortWithWhatItIs) {
    orvanta::testing::FakeSysfs sysfs;
    const std::string hub = "pci0000:00/0000:00:14.0/usb1/";
    sysfs.AddUsbDevice(hub + "1-1", "FTDI", "FT232R USB UART", "A50285BI");
    sysfs.AddTty("ttyUSB0", sysfs.AddDevice(hub + "1-1/1-1:1.0/ttyUSB0", "ftdi_sio"));
    sysfs.AddUsbDevice(hub + "1-2", "Silicon Labs", "CP2102 USB to UART Bridge", "");
    sysfs.AddTty("ttyUSB1", sysfs.AddDevice(hub + "1-2/1-2:1.0/ttyUSB1", "cp210x"));
    sysfs.AddUsbDevice(hub + "1-3", "", "", "");
    sysfs.AddTty("ttyACM0", sysfs.AddDevice(hub + "1-3/1-3:1.0", "cdc_acm"));
    sysfs.AddTty("tty1", sysfs.AddDevice("virtual/tty", ""));
    // The configured port, a link to a terminal that sysfs does not list, comes last and as
    // given; a pseudo-terminal stands for the device behind a by-id link.
    const orvanta::testing::PtyPair pair;
    ASSERT_TRUE(pair.ok());
    const fs::path link = sysfs.root() / "serial" / "by-id" / "usb-FTDI_FT232R-if00-port0";
    fs::create_directories(link.parent_path());
    fs::create_symlink(pair.path(), link);
    const fs::path config = sysfs.root() / "Config.ini";
    orvanta::testing::WriteFile(config, "[Config]\nCOM=" + link.string() + "\n");

    std::ostringstream out;
    PrintPortList(out, config, sysfs.root().string());
    EXPECT_EQ(out.str(), "/dev/ttyACM0\tcdc_acm\n"
                         "/dev/ttyUSB0\tFTDI FT232R USB UART (A50285BI)\n"
                         "/dev/ttyUSB1\tSilicon Labs CP2102 USB to UART Bridge\n" +
                             link.string() + "\t\n");
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
        const std::string command =
            "cd '" + elsewhere.string() + "' && HOME='" + (folder_.root() / "home").string() +
            "' XDG_CONFIG_HOME= XDG_DOCUMENTS_DIR= XDG_PICTURES_DIR= " + launcher_ + "'" +
            (bin / "orvanta").string() + "' " + arguments + " > '" +
            (folder_.root() / "out.txt").string() + "' 2> '" +
            (folder_.root() / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        out_ = ProgramFolder::ReadFile(folder_.root() / "out.txt");
        err_ = ProgramFolder::ReadFile(folder_.root() / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int RunWithoutDisplay(const std::string& arguments) {
        launcher_ = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
        const int status = Run(arguments);
        launcher_.clear();
        return status;
    }
    std::string launcher_;
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
    int reportLines = 0;
    for (std::string text; std::getline(lines, text);) {
        const bool report = text.rfind("csv: ", 0) == 0 || text.rfind("recorded: rows=", 0) == 0;
        EXPECT_TRUE(std::regex_match(text, line) || text.rfind("rate=", 0) == 0 || report) << text;
        statusLines += std::regex_match(text, line) ? 1 : 0;
        reportLines += report ? 1 : 0;
    }
    EXPECT_GE(statusLines, 2) << out_;
    EXPECT_EQ(reportLines, 2) << out_;
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
    // Every answer that arrived while recording is a row; the poll worker runs until the
    // program closes, so one answer may still be on its way when the recording stops.
    const auto rows = static_cast<std::uint64_t>(std::count(csv.begin(), csv.end(), '\n') - 1);
    const std::uint64_t sent = simulator.Counters().dataFramesSent;
    EXPECT_TRUE(rows == sent || rows + 1 == sent) << rows << " rows, " << sent << " frames sent";
    EXPECT_NE(folder_.ReadConfig().find("MODEL=VK200-210"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(folder_.root() / "elsewhere"));
}

TEST_F(HeadlessProcessTest, SeveralPortsRecordSideBySideOnOneClock) {
    auto& vk100 = StartSimulator(devsim::Model::VK100);
    auto& vn300 = StartSimulator(devsim::Model::VN300);
    ASSERT_EQ(Run("--headless --port '" + LinkPath(0) + "' --port '" + LinkPath(1) +
                  "@VN300' --port /dev/orvanta-missing --model VK100 --record --csv-format utf8"
                  " --duration 3"),
              0)
        << err_;
    vk100.Stop();
    vn300.Stop();
    // Every line says whose it is; the port that did not open said so and the others went on.
    std::istringstream lines(out_);
    for (std::string text; std::getline(lines, text);) {
        EXPECT_TRUE(text.rfind("device0: ", 0) == 0 || text.rfind("device1: ", 0) == 0) << text;
    }
    EXPECT_NE(err_.find("orvanta-missing: Message: "), std::string::npos) << err_;

    struct File {
        const char* prefix;
        const devsim::DeviceSimulator& device;
    };
    std::vector<std::int64_t> firstTimes;
    for (const File& file : {File{"VK100_device0_", vk100}, File{"VN300_device1_", vn300}}) {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder_.data())) {
            if (entry.path().filename().string().rfind(file.prefix, 0) == 0) {
                found.push_back(entry.path());
            }
        }
        ASSERT_EQ(found.size(), 1u) << file.prefix;
        std::istringstream csv(ProgramFolder::ReadFile(found[0]));
        std::string row;
        std::getline(csv, row); // the header
        std::uint64_t rows = 0;
        std::int64_t lastMonotonic = 0;
        while (std::getline(csv, row)) {
            const auto monotonic = std::stoll(row.substr(row.rfind(',') + 1));
            EXPECT_GT(monotonic, lastMonotonic) << file.prefix << " row " << rows;
            if (rows++ == 0) {
                firstTimes.push_back(monotonic);
            }
            lastMonotonic = monotonic;
        }
        const std::uint64_t sent = file.device.Counters().dataFramesSent;
        EXPECT_TRUE(rows == sent || rows + 1 == sent) << file.prefix << rows << " of " << sent;
    }
    // Both ports started together: their first rows lie close on the shared clock.
    ASSERT_EQ(firstTimes.size(), 2u);
    EXPECT_LT(std::abs(firstTimes[0] - firstTimes[1]), 2'000'000'000);
}

TEST_F(HeadlessProcessTest, ExitStatusesForNoPortAndBadArguments) {
    EXPECT_EQ(Run("--headless --port /dev/orvanta-missing --duration 1"), 3);
    EXPECT_NE(err_.find("Message: Serial port open failed"), std::string::npos) << err_;
    EXPECT_EQ(Run("--headless --baud 12345 --duration 1"), 2);
    EXPECT_NE(err_.find("usage:"), std::string::npos);
    EXPECT_EQ(Run("--headless --bogus"), 2);
}

TEST_F(HeadlessProcessTest, InformationOnStandardOutputWithoutADisplay) {
    struct Case {
        const char* arguments;
        int status;
        const char* out; // the start of standard output
    };
    const Case cases[] = {
        {"--help", 0, "usage: orvanta "},
        {"--version", 0, "orvanta 1."},
        {"--list-ports", 0, ""},
        {"--bogus", 2, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunWithoutDisplay(c.arguments), c.status) << c.arguments;
        EXPECT_EQ(out_.rfind(c.out, 0), 0u) << c.arguments << ": " << out_;
        EXPECT_EQ(err_.empty(), c.status == 0) << c.arguments << ": " << err_;
    }
    RunWithoutDisplay("--help");
    EXPECT_NE(out_.find("configuration  " + folder_.config().string()), std::string::npos) << out_;
    RunWithoutDisplay("--bogus");
    EXPECT_NE(err_.find("unknown argument: --bogus"), std::string::npos) << err_;
    RunWithoutDisplay("--list-ports");
    for (std::size_t at = 0, end; (end = out_.find('\n', at)) != std::string::npos; at = end + 1) {
        EXPECT_NE(out_.substr(at, end - at).find('\t'), std::string::npos) << out_;
    }
}

} // namespace
} // namespace orvanta::headless::testing
