// Fault injection end to end: the program in headless mode as a process against
// the device simulator, with a vanishing device, noise on the line, malformed frames, a
// device that rejects or ignores settings, hostile configuration files and a data
// directory that stops taking writes. Root passes file permissions, so unwritable places
// are made in ways root cannot pass: a regular file where a directory must be, and
// RLIMIT_FSIZE (the program ignores SIGXFSZ, so writes fail with EFBIG).
#include "HeadlessProcess.h"

#include <cstring>
#include <random>

namespace orvanta::hardening {
namespace {

using devsim::InjectedFault;
using devsim::Model;
using devsim::SettingAnswer;
using devsim::SimulatorOptions;

SimulatorOptions Vk200(std::uint8_t autoDivider = 0) {
    SimulatorOptions options;
    options.model = Model::VK200_210;
    options.baud = 115200;
    options.autoDivider = autoDivider; // 200 / divider frames per second
    return options;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class FaultInjectionTest : public HeadlessProcessFixture {};

// The device vanishes in the middle of a recording: every row received before is in the
// file, the program neither crashes nor hangs, and the port opens again.
TEST_F(FaultInjectionTest, DeviceVanishesInTheMiddleOfARecording) {
    auto& simulator = StartSimulator(Vk200());
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--record", "--duration", "60"});
    // Past the first write-out (4 s + 1.2 s), with rows gathered since in memory.
    std::this_thread::sleep_for(6500ms);
    ASSERT_TRUE(Running()) << Err();
    WaitForQuietLine();
    simulator.Unplug();
    const auto sentBefore = simulator.Counters().dataFramesSent;
    ASSERT_GT(sentBefore, 30u);
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(Running()) << "the program ended when the device vanished\n" << Err();
    ASSERT_TRUE(simulator.Plug()); // the device comes back at the same path
    std::this_thread::sleep_for(1s);
    simulator.Hush(); // so that nothing is on its way when the program ends
    WaitForQuietLine();
    Signal(SIGTERM);
    const auto status = Wait(15s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    // Whatever the device sent was recorded, before and (the host took it back) after.
    EXPECT_EQ(CsvRows(data()), simulator.Counters().dataFramesSent) << Err();
    EXPECT_GE(CsvRows(data()), sentBefore);
    // The user is told the port is gone ("Device lost: PATH. Waiting for it to come back.").
    EXPECT_TRUE(Contains(Err(), "Device lost: " + link())) << Err();

    // The port can be opened again.
    simulator.Hush(false);
    const auto sentFirstRun = simulator.Counters().dataFramesSent;
    fs::rename(data(), root() / "data.first");
    Spawn({"--headless", "--port", link(), "--record", "--duration", "3"});
    const auto again = EndWithDevice(3);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, 0) << Err();
    const auto sentSecondRun = simulator.Counters().dataFramesSent - sentFirstRun;
    EXPECT_GT(sentSecondRun, 10u);
    EXPECT_EQ(CsvRows(data()), sentSecondRun) << Err();
}

// Ten seconds of random bytes at line rate, then good frames: no crash, Miscount counts,
// the good frames decode.
TEST_F(FaultInjectionTest, TenSecondsOfNoiseThenGoodFrames) {
    SimulatorOptions options = Vk200(/*autoDivider=*/10); // 20 frames/s once the noise ends
    options.baud = 256000;
    options.noiseSeconds = 10;
    options.seed = 9;
    auto& simulator = StartSimulator(options);
    Spawn({"--headless", "--port", link(), "--baud", "256000", "--model", "VK200-210", "--mode",
           "2", "--freq-index", "4", "--record", "--duration", "14"});
    const auto status = EndWithDevice(14);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    const auto counters = simulator.Counters();
    EXPECT_GE(counters.noiseBytesSent, 200000u); // 10 s at up to 25,600 bytes/s
    const auto lines = StatusLines();
    ASSERT_GE(lines.size(), 12u) << Out();
    int noisyMiscount = 0;
    for (std::size_t i = 0; i < 9; ++i) {
        noisyMiscount = std::max(noisyMiscount, lines[i].miscount);
    }
    EXPECT_GT(noisyMiscount, 0) << "Miscount counts the noise\n" << Out();
    const auto& last = lines[lines.size() - 2]; // the last second the device was there
    EXPECT_EQ(last.rate, 20u) << Out();
    EXPECT_FALSE(last.roll.empty());
    // The good frames after the noise decode and are recorded; the noise may hold back the
    // first one or two (a random header whose body waits for an end byte), and a random
    // frame may pass its checksum (one in 65,536).
    EXPECT_GT(counters.dataFramesSent, 40u);
    const auto rows = CsvRows(data());
    EXPECT_LE(rows, counters.dataFramesSent + 1);
    EXPECT_GE(rows + 3, counters.dataFramesSent);
}

struct BadFrameCase {
    InjectedFault fault;
    const char* name;
};

class BadFrameTest : public HeadlessProcessFixture,
                     public ::testing::WithParamInterface<BadFrameCase> {};

// Headers announcing more than 512 bytes, frames without end byte, a 0x01 acknowledgement
// with an empty payload, before every fourth data frame.
TEST_P(BadFrameTest, ProgramGoesOnAndGoodFramesDecode) {
    // Answer output first: the program's --mode 2 starts the stream, so every frame comes
    // after the recording has started.
    SimulatorOptions options = Vk200();
    options.inject = GetParam().fault;
    options.injectEvery = 4;
    auto& simulator = StartSimulator(options);
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--mode", "2", "--freq-index",
           "4", "--record", "--monitor", "--duration", "5"});
    const auto status = EndWithDevice(5);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    const auto counters = simulator.Counters();
    const auto rows = CsvRows(data());
    EXPECT_GT(counters.faultsInjected, 10u) << Out() << Err();
    ASSERT_FALSE(StatusLines().empty());
    EXPECT_FALSE(StatusLines().back().roll.empty());
    switch (GetParam().fault) {
    case InjectedFault::OversizeHeader:
        // The five header bytes are dropped; the good frame after them is found.
        EXPECT_EQ(rows, counters.dataFramesSent);
        EXPECT_EQ(MaxMiscount(), 0);
        break;
    case InjectedFault::NoEndByte:
        // The unended frame swallows the next one up to its first 03 and fails its checksum.
        EXPECT_LE(rows, counters.dataFramesSent - counters.faultsInjected);
        EXPECT_GE(rows, counters.dataFramesSent - 2 * counters.faultsInjected);
        EXPECT_GT(MaxMiscount(), 0);
        break;
    case InjectedFault::EmptyAck:
        // Shown as a failure status; the acknowledgement produces no row.
        EXPECT_EQ(rows, counters.dataFramesSent);
        EXPECT_TRUE(Contains(Err(), "Message: Operation failure!!") ||
                    Contains(Err(), "Message: 操作失败!!"))
            << Err();
        break;
    case InjectedFault::None:
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, BadFrameTest,
                         ::testing::Values(BadFrameCase{InjectedFault::OversizeHeader, "Oversize"},
                                           BadFrameCase{InjectedFault::NoEndByte, "NoEndByte"},
                                           BadFrameCase{InjectedFault::EmptyAck, "EmptyAck"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A device that answers every setting with status 9: the user sees it, the setting ends,
// polling goes on.
TEST_F(FaultInjectionTest, DeviceRejectsEverySetting) {
    SimulatorOptions options = Vk200();
    options.settingAnswer = SettingAnswer::Reject;
    auto& simulator = StartSimulator(options);
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--mode", "0", "--freq-index",
           "3", "--record", "--duration", "4"});
    const auto status = EndWithDevice(4);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    EXPECT_TRUE(Contains(Err(), "Message: Param error!!")) << Err();
    const auto sent = simulator.Counters().dataFramesSent;
    EXPECT_GT(sent, 15u) << "polling goes on";
    EXPECT_EQ(CsvRows(data()), sent);
}

// A device that never answers a setting: the setting stays pending and the poll worker
// repeats it at each tick in place of a poll, until some reply comes; automatic output
// goes on; nothing locks up and the program ends when asked.
TEST_F(FaultInjectionTest, DeviceNeverAnswersSettings) {
    {
        SimulatorOptions options = Vk200(/*autoDivider=*/10); // streams by itself
        options.settingAnswer = SettingAnswer::Mute;
        auto& simulator = StartSimulator(options);
        Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--mode", "2",
               "--freq-index", "4", "--record", "--duration", "4"});
        const auto status = EndWithDevice(4);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, 0) << Err();
        EXPECT_FALSE(Contains(Err(), "Successful")) << Err();
        // The device streams from power-up, before the program has opened it and started
        // recording, so the first frames may have no row.
        const auto sent = simulator.Counters().dataFramesSent;
        EXPECT_GT(CsvRows(data()), 40u);
        EXPECT_LE(CsvRows(data()), sent);
        simulator.Stop();
    }
    fs::remove_all(data());
    SimulatorOptions options = Vk200();
    options.settingAnswer = SettingAnswer::Mute;
    StartSimulator(options);
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--mode", "0", "--freq-index",
           "3", "--record", "--monitor", "--duration", "4"});
    const auto status = Wait(20s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    // The output-mode setting (53) is sent again and again while it stays pending.
    const std::string out = Out();
    std::size_t repeats = 0;
    for (std::size_t at = out.find("Tx: ff 02 53"); at != std::string::npos;
         at = out.find("Tx: ff 02 53", at + 1)) {
        ++repeats;
    }
    EXPECT_GE(repeats, 5u) << out.substr(0, 2000);
    EXPECT_GE(StatusLines().size(), 3u);
}

// A configuration file of binary garbage, with a hostile model name inside: the program
// runs, the model name stays in the data folder's file name without path parts.
TEST_F(FaultInjectionTest, ConfigurationFileOfBinaryGarbage) {
    std::mt19937 random(5);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random());
    }
    garbage += "\n[Config]\nMODEL=../../../escaped\x01/..\n";
    garbage += std::string(1000, '\xff');
    testing::WriteFile(config(), garbage);
    auto& simulator = StartSimulator(Vk200());
    Spawn({"--headless", "--port", link(), "--record", "--duration", "3"});
    const auto status = EndWithDevice(3);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    const auto files = CsvFiles(data());
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files[0].filename().string();
    EXPECT_EQ(name.rfind("_________escaped___", 0), 0u) << name;
    EXPECT_EQ(files[0].parent_path(), data());
    EXPECT_FALSE(fs::exists(root().parent_path() / "escaped"));
    EXPECT_EQ(CsvRows(data()), simulator.Counters().dataFramesSent);
    // The name itself is kept as read.
    EXPECT_TRUE(Contains(testing::ReadFile(config()), "MODEL=../../../escaped\x01/.."));
}

// Lines of a megabyte: read without harm; a megabyte model name is cut to what a value
// holds and to what a file name holds.
TEST_F(FaultInjectionTest, ConfigurationFileWithMegabyteLines) {
    const std::string megabyte(1024 * 1024, 'A');
    testing::WriteFile(config(), megabyte + "\n[Config]\nLANGUAGE=EN\nCOMMENT=" + megabyte +
                                     "\nMODEL=" + megabyte + "\n" + megabyte + "=x\n");
    auto& simulator = StartSimulator(Vk200());
    Spawn({"--headless", "--port", link(), "--record", "--duration", "3"});
    const auto status = EndWithDevice(3);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    EXPECT_FALSE(Contains(Err(), "Unable to write the data file")) << Err();
    const auto files = CsvFiles(data());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_LE(files[0].filename().string().size(), 255u);
    EXPECT_EQ(files[0].filename().string().rfind(std::string(200, 'A') + "_", 0), 0u);
    EXPECT_EQ(CsvRows(data()), simulator.Counters().dataFramesSent);
}

// A configuration file that cannot be written (a folder stands in its place): the user is
// told, the program runs on with defaults and records.
TEST_F(FaultInjectionTest, ConfigurationFileThatCannotBeWritten) {
    fs::create_directories(config()); // a folder where the file should be
    auto& simulator = StartSimulator(Vk200());
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--record", "--duration", "3"});
    const auto status = EndWithDevice(3);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    EXPECT_TRUE(fs::is_empty(config()));
    EXPECT_EQ(CsvRows(data()), simulator.Counters().dataFramesSent);
    EXPECT_FALSE(fs::exists(root() / "home"));
}

// The data directory turns into a regular file in the middle of a recording: the user is
// told, the rows are kept and written once the directory can be made again.
TEST_F(FaultInjectionTest, DataDirectoryReplacedByAFileDuringARecording) {
    auto& simulator = StartSimulator(Vk200());
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--record", "--duration", "60"});
    std::this_thread::sleep_for(6s); // the first write-out has made data/
    ASSERT_TRUE(fs::is_directory(data())) << Err();
    fs::rename(data(), root() / "data.before");
    testing::WriteFile(data(), "in the way");
    std::this_thread::sleep_for(6s); // at least one write-out fails
    EXPECT_TRUE(Contains(Err(), "Unable to write the data file: ") ||
                Contains(Err(), "无法写入数据文件: "))
        << Err();
    fs::remove(data());
    std::this_thread::sleep_for(6s); // and the next succeeds
    WaitForQuietLine();
    Signal(SIGTERM);
    const auto status = Wait(15s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    const auto sent = simulator.Counters().dataFramesSent;
    const auto before = CsvRows(root() / "data.before");
    const auto after = CsvRows(data());
    EXPECT_GT(before, 0u);
    EXPECT_GT(after, 40u) << "the rows of the failed write-out came later";
    EXPECT_EQ(before + after, sent) << Err();
    EXPECT_FALSE(Contains(Err(), "40 MiB"));
}

// Writes fail with EFBIG (a file-size limit) in the middle of a recording: the user is
// told, the rows are kept and written once the limit is lifted.
TEST_F(FaultInjectionTest, WritesFailWithEfbigDuringARecording) {
    auto& simulator = StartSimulator(Vk200());
    Spawn({"--headless", "--port", link(), "--model", "VK200-210", "--record", "--duration", "60"},
          /*fileSizeLimit=*/2500);
    std::this_thread::sleep_for(7s); // the first write-out (about 40 rows) does not fit
    EXPECT_TRUE(Contains(Err(), "Unable to write the data file: ") ||
                Contains(Err(), "无法写入数据文件: "))
        << Err();
    rlimit limit{};
    ASSERT_EQ(::prlimit(Pid(), RLIMIT_FSIZE, nullptr, &limit), 0) << std::strerror(errno);
    limit.rlim_cur = limit.rlim_max; // writing works again
    ASSERT_EQ(::prlimit(Pid(), RLIMIT_FSIZE, &limit, nullptr), 0) << std::strerror(errno);
    std::this_thread::sleep_for(5s);
    WaitForQuietLine();
    Signal(SIGTERM);
    const auto status = Wait(15s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0) << Err();
    std::uint64_t headers = 0;
    const auto rows = CsvRows(data(), &headers);
    EXPECT_EQ(rows, simulator.Counters().dataFramesSent) << Err();
    EXPECT_EQ(headers, 1u);
    EXPECT_FALSE(Contains(Err(), "40 MiB"));
}

} // namespace
} // namespace orvanta::hardening
