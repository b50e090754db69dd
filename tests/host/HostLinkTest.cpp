// The host against the device simulator on a pseudo-terminal, for each model.
#include "HostFixture.h"
#include "protocol/ModelTable.h"

#include <algorithm>
#include <thread>

namespace orvanta::host::testing {
namespace {

struct ModelCase {
    devsim::Model device;
    int modelIndex;
    const char* name;
    std::uint32_t deviceMask;
};

const ModelCase kModels[] = {
    {devsim::Model::VK100, 0, "VK100", 0x0A1F087A},
    {devsim::Model::VK200_210, 1, "VK200-210", 0x1A},
    {devsim::Model::VN300, 2, "VN300", 0x0019085A},
};

std::string ConfigFor(const std::string& model, const std::string& port, int baudIndex = 4) {
    return "[Config]\nLANGUAGE=EN\nMODEL=" + model + "\nPROTOCOL=ASCII\nCOM=" + port +
           "\nBAUD=" + std::to_string(baudIndex) + "\nPARITY=0\nPATH=\n";
}

class HostLinkTest : public HostFixture, public ::testing::WithParamInterface<ModelCase> {
protected:
    std::string Echo() const { return Monitor() + host_->Receiver().MonitorText(); }
    // Brings the host up against a simulator of the model, configured for its port.
    void Connect(std::uint8_t autoDivider = 0, std::uint32_t baud = 115200, int baudIndex = 4) {
        StartSimulator(GetParam().device, baud, autoDivider);
        folder_.WriteConfig(ConfigFor(GetParam().name, LinkPath(), baudIndex));
        MakeHost();
        host_->Initialise();
        ASSERT_TRUE(host_->State().PortOpen) << "the configured port opens";
        ASSERT_TRUE(RunUntil([this] { return Connected(); })) << Echo();
    }
};

TEST_P(HostLinkTest, ConnectSequenceAsksTheDeviceAndStoresTheLink) {
    Connect();
    const ModelCase& model = GetParam();
    const std::string echo = Echo();
    const bool asks = model.modelIndex != 1;
    EXPECT_EQ(echo.find("Tx: ff 02 51 00 00") != std::string::npos, asks) << echo;
    EXPECT_EQ(echo.find("Tx: ff 02 b2 00 00") != std::string::npos, asks) << echo;
    // Answer output at frequency index 3.
    EXPECT_NE(echo.find("Tx: ff 02 53 00 03 00 00 00 69 d1 03 \r\n"), std::string::npos) << echo;
    EXPECT_EQ(host_->State().record.DefaultItemMask.load(), model.deviceMask);
    if (asks) {
        EXPECT_EQ(host_->State().record.GravityText, "9.800");
    }
    const std::string config = folder_.ReadConfig();
    EXPECT_NE(config.find("COM=" + LinkPath()), std::string::npos) << config;
    EXPECT_NE(config.find("BAUD=4"), std::string::npos) << config;
    EXPECT_NE(config.find("PARITY=0"), std::string::npos) << config;
    EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kModeList), 0);
    EXPECT_EQ(ui_.Text(Dialog::Main, main_id::kModeCaption), "Default answer output:");
}

TEST_P(HostLinkTest, DefaultAnswerPollingDecodesTheDevicesItems) {
    Connect();
    ASSERT_TRUE(RunUntil([this] { return !Slot(0).empty() && !Slot(6).empty(); })) << Echo();
    EXPECT_NE(Echo().find("Tx: ff 02 56 00 00"), std::string::npos);
    // Absent items stay empty: VK200-210 sends no temperatures, the others do.
    EXPECT_EQ(Slot(protocol::slot::kTemperature0).empty(), GetParam().modelIndex == 1);
    // The boxes show the device's items in default answer output.
    EXPECT_TRUE(ui_.IsChecked(Dialog::Main, 1122));
    RunFor(1100ms);
    EXPECT_NE(host_->State().RateText, "0");
}

TEST_P(HostLinkTest, SpecifiedAnswerPollingSendsTheBoxesMask) {
    Connect();
    ui_.SelectListItem(Dialog::Main, main_id::kModeList, 1);
    host_->Commands().OnModeListChanged();
    for (const ItemBox& box : kMainItemBoxes) {
        ui_.SetChecked(Dialog::Main, box.id, box.bit == 0x2 || box.bit == 0x10);
    }
    ASSERT_TRUE(RunUntil([this] {
        return Echo().find("Tx: ff 02 58 00 04 12 00 00 00") != std::string::npos;
    })) << Echo();
    ASSERT_TRUE(RunUntil([this] { return Echo().find("Rx: ff 00 59") != std::string::npos; }))
        << Echo();
    RunFor(300ms);
    EXPECT_FALSE(Slot(0).empty());
    EXPECT_FALSE(Slot(6).empty());
    EXPECT_TRUE(Slot(3).empty()) << "the gyro item was not asked for";
}

TEST_P(HostLinkTest, StreamingDeviceIsDetectedAndNotReconfigured) {
    Connect(/*autoDivider=*/10);
    EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kModeList), 2);
    EXPECT_EQ(host_->State().OutputMode.load(), 2);
    EXPECT_EQ(ui_.Text(Dialog::Main, main_id::kModeCaption), "Default auto output:");
    EXPECT_EQ(Echo().find("Tx: ff 02 53"), std::string::npos) << Echo();
    EXPECT_EQ(Echo().find("Tx: ff 02 51") != std::string::npos, GetParam().modelIndex != 1);
}

TEST_P(HostLinkTest, AcknowledgedDeviceBaudReopensThePortAndDataKeepsFlowing) {
    Connect();
    // Replies name no command: let the output-mode setting be answered first.
    // A repeated setting may be answered twice: let the second answer arrive too.
    ASSERT_TRUE(RunUntil([this] { return !host_->State().AwaitingAck; }));
    RunFor(600ms);
    shown_.clear();
    ui_.SelectListItem(Dialog::Main, main_id::kDeviceBaudList, 5); // 230400, or 256000
    host_->Commands().OnDeviceBaudSet();
    ASSERT_TRUE(RunUntil([this] { return !shown_.empty(); })) << Echo();
    EXPECT_EQ(shown_.back().text, "Successful Operation!!");
    const std::uint32_t expected = GetParam().modelIndex == 0 ? 230400u : 256000u;
    EXPECT_EQ(host_->SerialPort()->LineSettingsInForce().baud, expected);
    // The device switches once its acknowledgement has left the line.
    EXPECT_TRUE(RunUntil([&] { return simulators_[0]->LineBaud() == expected; }, 1000ms));
    host_->Receiver().MonitorText().clear();
    ASSERT_TRUE(RunUntil([this] {
        return host_->Receiver().MonitorText().find("Rx: ff 00 57") != std::string::npos;
    })) << "data flows at the new rate";
}

TEST_P(HostLinkTest, RecordingWritesOneRowPerGoodFrameAndNothingIsLostAtStop) {
    StartSimulator(GetParam().device, 115200, 0, /*corruptEvery=*/7);
    folder_.WriteConfig(ConfigFor(GetParam().name, LinkPath()));
    MakeHost();
    host_->Initialise();
    ASSERT_TRUE(RunUntil([this] { return Connected(); }));
    host_->Recording().OnRecordButton();
    RunFor(1500ms);
    simulators_[0]->Stop(); // no frame after this one
    RunFor(400ms);
    host_->Recording().OnRecordButton();
    const auto counters = simulators_[0]->Counters();
    host_->Close();
    const std::string csv = ProgramFolder::ReadFile(host_->Recorder().CsvPath());
    const std::string header(protocol::ModelRow(GetParam().modelIndex).csvHeader);
    ASSERT_EQ(csv.compare(0, header.size() - 1, header, 0, header.size() - 1), 0);
    const auto lines = std::count(csv.begin(), csv.end(), '\n');
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\r'), lines) << "CR LF line ends";
    EXPECT_GT(counters.dataFramesCorrupted, 0u);
    EXPECT_EQ(static_cast<std::uint64_t>(lines - 1),
              counters.dataFramesSent - counters.dataFramesCorrupted);
    EXPECT_EQ(host_->Receiver().Miscount() >= 0, true);
}

// The monitor goes on reading while the main thread is busy; what it has handed over when
// the program closes still becomes rows before the recording ends.
TEST_P(HostLinkTest, ClosingWithBlocksHandedOverRecordsEveryFrameRead) {
    StartSimulator(GetParam().device);
    folder_.WriteConfig(ConfigFor(GetParam().name, LinkPath()));
    MakeHost();
    host_->Initialise();
    host_->Recording().OnRecordButton(); // before the first data frame
    ASSERT_TRUE(RunUntil([this] { return Connected(); }));
    ui_.SelectListItem(Dialog::Main, main_id::kModeList, 2); // the device streams, fast
    host_->Commands().OnModeListChanged();
    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList,
                       ui_.ListCount(Dialog::Main, main_id::kFrequencyList) - 1);
    host_->Commands().OnFrequencyListChanged();
    host_->Commands().OnFrequencySet();
    RunFor(300ms);
    std::this_thread::sleep_for(300ms); // the main thread takes nothing meanwhile
    simulators_[0]->Stop();
    std::this_thread::sleep_for(100ms);
    const auto counters = simulators_[0]->Counters();
    host_->Close();
    const std::string csv = ProgramFolder::ReadFile(host_->Recorder().CsvPath());
    EXPECT_GT(counters.dataFramesSent, 20u);
    EXPECT_EQ(static_cast<std::uint64_t>(std::count(csv.begin(), csv.end(), '\n') - 1),
              counters.dataFramesSent);
}

class PortFollowingTest : public HostFixture {};

// Adapters come and go in the device folder: the list follows, the user's selection stays
// where it still exists, and an open port keeps its entry and its selection.
TEST_F(PortFollowingTest, TheListFollowsTheDeviceFolder) {
    const fs::path dev = folder_.root() / "dev";
    fs::create_directories(dev);
    deviceDir_ = dev.string();
    StartSimulator(devsim::Model::VK100);
    folder_.WriteConfig("[Config]\nCOM=" + (dev / "ttyGONE").string() + "\n");
    MakeHost(1, {"/dev/ttyS0", LinkPath()});
    host_->FillLists();
    host_->Connection().RefreshPortList();
    ui_.SelectListItem(Dialog::Main, main_id::kPortList, 1);
    ASSERT_TRUE(host_->FollowPorts());
    const auto list = [this] { return ui_.ListItems(Dialog::Main, main_id::kPortList); };
    const auto selected = [this] { return ui_.ListSelection(Dialog::Main, main_id::kPortList); };
    const auto plug = [&](const std::string& name, std::vector<std::string> ports) {
        ports_ = std::move(ports);
        orvanta::testing::WriteFile(dev / name, "");
    };

    plug("ttyUSB7", {"/dev/ttyS0", LinkPath(), "/dev/ttyUSB7"});
    ASSERT_TRUE(RunUntil([&] { return list().size() == 3; }, 2s));
    EXPECT_EQ(selected(), 1);

    host_->Connection().ToggleOpen();
    ASSERT_TRUE(host_->State().PortOpen);
    EXPECT_EQ(ui_.OpenPort(), LinkPath()) << "the window's title names it";
    plug("ttyUSB8", {"/dev/ttyUSB8"});
    ASSERT_TRUE(RunUntil([&] { return list().size() == 2; }, 2s));
    EXPECT_EQ(list(), (std::vector<std::string>{"/dev/ttyUSB8", LinkPath()}));
    EXPECT_EQ(selected(), 1);

    host_->Connection().ToggleOpen(); // closed: the entry goes with the next change
    EXPECT_EQ(ui_.OpenPort(), "");
    fs::remove(dev / "ttyUSB8");
    ports_ = {"/dev/ttyS0"};
    ASSERT_TRUE(RunUntil([&] { return list().size() == 1; }, 2s));
    EXPECT_EQ(selected(), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, HostLinkTest, ::testing::ValuesIn(kModels),
                         [](const auto& info) {
                             return std::string(info.param.device == devsim::Model::VK100 ? "VK100"
                                                : info.param.device == devsim::Model::VN300
                                                    ? "VN300"
                                                    : "VK200_210");
                         });

} // namespace
} // namespace orvanta::host::testing
