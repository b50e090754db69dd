// The host's logic with an in-memory window: configuration, models, statuses, pending
// settings, the boxes, the chart items, the scan and the repetition of settings.
#include "HostFixture.h"
#include "config/LanguageChoice.h"
#include "host/HostTexts.h"
#include "protocol/CommandFrame.h"
#include "support/FrameBytes.h"
#include "support/PtyPair.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace orvanta::host::testing {
namespace {

using Pty = orvanta::testing::PtyPair;

std::size_t CountOf(const std::string& haystack, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int b : bytes) {
        text.push_back(static_cast<char>(b));
    }
    return text;
}

class HostLogicTest : public HostFixture {};

// The new file holds what the window shows: the start-up language and the selected entries.
TEST_F(HostLogicTest, MissingConfigurationIsCreatedWithSevenKeysInOrder) {
    for (const int languageFlag : {1, 0}) {
        std::filesystem::remove(folder_.config());
        MakeHost(languageFlag);
        host_->FillLists();
        ui_.SelectListItem(Dialog::Main, main_id::kBaudList, 4);
        ui_.SelectListItem(Dialog::Main, main_id::kParityList, 2);
        host_->ReadConfiguration();
        EXPECT_EQ(folder_.ReadConfig(), std::string("[Config]\nLANGUAGE=") +
                                            (languageFlag == 1 ? "EN" : "CH") +
                                            "\nMODEL=VK100\nPROTOCOL=ASCII\nCOM=/dev/ttyS0\n"
                                            "BAUD=4\nPARITY=2\nPATH=" +
                                            folder_.data().generic_string() + "\n");
        EXPECT_EQ(config::ChooseLanguage(folder_.config(), languageFlag == 1).LanguageFlag,
                  languageFlag)
            << "the next start keeps the language, whatever the system's";
        EXPECT_TRUE(shown_.empty());
        host_->Close();
    }
}

// Whatever keeps the file from being created, read whole or written is said once, in either
// language, and the file is left as it was. Root writes through modes: no read-only cases.
TEST_F(HostLogicTest, ConfigurationFailuresAreShownOnce) {
    const fs::path folder = folder_.config().parent_path();
    const std::function<void()> arrangements[] = {
        [&] { fs::create_directory(folder_.config()); },
        [&] { fs::remove(folder), orvanta::testing::WriteFile(folder, "x"); },
        [&] {
            folder_.WriteConfig("[Config]\n");
            fs::resize_file(folder_.config(), config::kMaxProfileBytes + 1);
        },
        [&] { fs::permissions(folder, fs::perms::owner_exec); },
        [&] {
            folder_.WriteConfig("[Config]\n");
            fs::permissions(folder_.config(), fs::perms::owner_read);
        },
    };
    for (std::size_t i = 0; i < std::size(arrangements) && (i < 3 || ::geteuid() != 0); ++i) {
        for (const int languageFlag : {1, 0}) {
            arrangements[i]();
            shown_.clear();
            MakeHost(languageFlag);
            host_->FillLists();
            host_->ReadConfiguration();
            host_->Models().OnModelListChanged();
            host_->Recording().SetCaptureWithRecordings(true);
            host_->OnLanguageRadio();
            host_->OnLanguageRadio();
            EXPECT_EQ(shown_.size(), 1u) << i << " " << languageFlag;
            if (i == 2) {
                EXPECT_EQ(fs::file_size(folder_.config()), config::kMaxProfileBytes + 1);
            }
            host_->Close();
            fs::permissions(folder, fs::perms::owner_all);
            fs::remove_all(folder);
            fs::create_directory(folder);
        }
    }
}

TEST_F(HostLogicTest, CsvFormatIsReadAndItsSwitchStoredBesideTheOtherKeys) {
    using recording::CsvFormat;
    const std::pair<const char*, CsvFormat> cases[] = {
        {"csv_format=utf8\n", CsvFormat::Utf8}, {"CSV_FORMAT=UTF-16\n", CsvFormat::Designed}};
    for (const auto& [line, format] : cases) {
        folder_.WriteConfig(std::string("[Config]\nCAPTURE=1\n") + line);
        MakeHost();
        host_->FillLists();
        host_->ReadConfiguration();
        EXPECT_EQ(host_->Recording().CsvFileFormat(), format) << line;
        host_->Close();
    }
    host_->Recording().SetCsvFormat(CsvFormat::Utf8);
    EXPECT_EQ(folder_.ReadConfig(), "[Config]\nCAPTURE=1\nCSV_FORMAT=UTF8\n");
}

TEST_F(HostLogicTest, StoredIndexesAndModelAreApplied) {
    struct Case {
        std::string baud, parity, model;
        int baudIndex, parityIndex, modelIndex;
        std::string modelName;
    };
    const Case cases[] = {
        {"3", "2", "VN300", 3, 2, 2, "VN300"},
        {"9", "-1", "VK200-210", 0, 0, 1, "VK200-210"},
        {"x", "7", "VK300X", 0, 0, 0, "VK300X"}, // unknown names stay for the file names
        {"6", "1", "vk100", 6, 1, 0, "vk100"},   // names match case-sensitively
    };
    for (const Case& test : cases) {
        folder_.WriteConfig("[config]\nbaud=" + test.baud + "\nParity=" + test.parity +
                            "\nMODEL=" + test.model + "\n");
        MakeHost();
        host_->FillLists();
        host_->ReadConfiguration();
        EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kBaudList), test.baudIndex) << test.baud;
        EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kParityList), test.parityIndex)
            << test.parity;
        EXPECT_EQ(host_->State().ModelIndex.load(), test.modelIndex) << test.model;
        EXPECT_EQ(host_->State().ModelName, test.modelName);
        host_->Close();
    }
}

TEST_F(HostLogicTest, ModelChangeRebuildsListsBoxesAndHeader) {
    MakeHost();
    host_->FillLists();
    host_->ReadConfiguration();
    host_->ApplyModelAtStart();
    const auto chooseModel = [this](int index) {
        ui_.SelectListItem(Dialog::Main, main_id::kModelList, index);
        host_->Models().OnModelListChanged();
    };
    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList, 9); // 100
    chooseModel(1);
    EXPECT_EQ(ui_.ListCount(Dialog::Main, main_id::kFrequencyList), 9);
    EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kFrequencyList), -1)
        << "the shorter list has no entry 9";
    EXPECT_EQ(ui_.ListItemText(Dialog::Main, main_id::kBaudList, 5), "256000");
    EXPECT_EQ(host_->State().Frequency(9), 200u);
    for (const ItemBox& box : kMainItemBoxes) {
        EXPECT_EQ(ui_.IsChecked(Dialog::Main, box.id),
                  box.bit == 0x2 || box.bit == 0x8 || box.bit == 0x10)
            << box.id;
        EXPECT_FALSE(ui_.IsVisible(Dialog::Main, box.id));
    }
    EXPECT_NE(folder_.ReadConfig().find("MODEL=VK200-210"), std::string::npos);

    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList, 3);
    chooseModel(0);
    EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kFrequencyList), 3);
    EXPECT_EQ(ui_.ListItemText(Dialog::Main, main_id::kFrequencyList, 3), "10");
    EXPECT_EQ(ui_.ListItemText(Dialog::Main, main_id::kBaudList, 5), "230400");
    for (const ItemBox& box : kMainItemBoxes) {
        EXPECT_FALSE(ui_.IsChecked(Dialog::Main, box.id)) << box.id;
    }
    EXPECT_EQ(host_->Recorder().CsvHeader().substr(0, 8), "Roll(" + Bytes({0xA1, 0xE3}) + ")");

    chooseModel(2);
    EXPECT_TRUE(ui_.IsVisible(Dialog::Main, 1122));
    EXPECT_FALSE(ui_.IsVisible(Dialog::Main, 1126));
    EXPECT_FALSE(ui_.IsVisible(Dialog::DataPage, 1149));
    EXPECT_EQ(ui_.Text(Dialog::DataPage, 1110), "VEL.:");
    EXPECT_EQ(ui_.Text(Dialog::DataPage, 1109), "RTK           :");
}

TEST_F(HostLogicTest, DeviceStatusTextsInBothLanguages) {
    struct Case {
        std::uint8_t status;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {0, "Successful Operation!!", "操作成功!!"},
        {1, "Operation failure!!", "Operation failure!!"},
        {2, "Operation failure!!", "操作失败!!"},
        {4, "Command error!!", "Command error!!"},
        {9, "Param error!!", "Param error!!"},
    };
    for (int language : {0, 1}) {
        MakeHost(language);
        for (const Case& test : cases) {
            shown_.clear();
            host_->Commands().ShowDeviceStatus(test.status);
            ASSERT_EQ(shown_.size(), 1u);
            EXPECT_EQ(shown_[0].caption, "Message");
            EXPECT_EQ(shown_[0].text, language == 1 ? test.english : test.chinese)
                << int(test.status);
        }
        host_->Close();
    }
}

TEST_F(HostLogicTest, OnlyTheLastOfTwoSettingsIsPendingAndApplied) {
    MakeHost();
    host_->FillLists();
    host_->Commands().OnSave();
    ui_.SetText(Dialog::Main, main_id::kGravityBox, "  9.81abc");
    host_->Commands().OnGravitySet();
    EXPECT_TRUE(host_->State().AwaitingAck);
    EXPECT_EQ(host_->State().PendingCommand.load(), static_cast<int>(PendingKind::Gravity));
    host_->Commands().ShowDeviceStatus(0);
    EXPECT_FALSE(host_->State().AwaitingAck);
    EXPECT_EQ(host_->State().PendingCommand.load(), 0);
    EXPECT_FLOAT_EQ(host_->State().record.GravityValue, 9.81f);
    EXPECT_EQ(host_->State().record.GravityText, "9.810");
}

TEST_F(HostLogicTest, OutputItemBoxesFollowTheModeOnClick) {
    MakeHost();
    for (int mode : {0, 1, 2}) {
        host_->State().OutputMode = mode;
        ui_.SetChecked(Dialog::Main, 1126, true); // the click has just checked it
        host_->ItemBoxes().LockOutputItemBox(1126);
        EXPECT_EQ(ui_.IsChecked(Dialog::Main, 1126), mode == 1) << mode;
    }
}

TEST_F(HostLogicTest, ChartItemsAreRefusedPerModel) {
    MakeHost();
    const bool accepted[3][6] = {
        {true, true, true, true, true, true},
        {true, true, true, false, false, false},
        {true, true, true, false, true, true},
    };
    for (int model = 0; model < 3; ++model) {
        for (int segment = 0; segment < 6; ++segment) {
            host_->State().ModelIndex = model;
            host_->State().ChartItem = 0;
            shown_.clear();
            host_->OnChartItemChosen(segment);
            EXPECT_EQ(host_->State().ChartItem == segment && shown_.empty(),
                      accepted[model][segment])
                << model << "/" << segment;
            if (!accepted[model][segment]) {
                ASSERT_EQ(shown_.size(), 1u);
                EXPECT_EQ(shown_[0].text, "Equipment not supported!!");
            }
        }
    }
}

TEST_F(HostLogicTest, NothingGoesOutWithoutAPortButSettingsBecomePending) {
    MakeHost();
    host_->FillLists();
    host_->Commands().OnSave();
    host_->Commands().OnFrequencySet();
    EXPECT_TRUE(host_->State().AwaitingAck);
    EXPECT_TRUE(host_->Receiver().MonitorText().empty());
    EXPECT_FALSE(host_->State().PollingActive);
}

TEST_F(HostLogicTest, EchoIsAppendedUntilTheBoxIsFullThenReplacesIt) {
    MakeHost();
    host_->Receiver().MonitorText() = "Rx: ff \r\n";
    host_->OnTimer(kEchoTimer);
    EXPECT_EQ(Monitor(), "Rx: ff \r\n");
    ui_.ReplaceMonitorText(std::string(65535, 'x'));
    host_->Receiver().MonitorText() = "Tx: 01 \r\n";
    host_->OnTimer(kEchoTimer);
    EXPECT_EQ(Monitor(), "Tx: 01 \r\n");
    EXPECT_TRUE(host_->Receiver().MonitorText().empty());
}

TEST_F(HostLogicTest, ScanTriesEveryListedPortOnceFromTheLast) {
    Pty ptys[3];
    for (auto& pty : ptys) {
        if (!pty.ok()) {
            GTEST_SKIP() << "no pseudo-terminals here";
        }
    }
    folder_.WriteConfig("[Config]\nMODEL=VK100\nCOM=/dev/orvanta-none\nBAUD=4\n");
    MakeHost(1, {ptys[0].path(), ptys[1].path(), ptys[2].path()});
    host_->Initialise();
    std::vector<int> order;
    const auto sawQuery = [&](int index) {
        return ptys[index].Drain().find(Bytes({0xFF, 0x02, 0x51})) != std::string::npos;
    };
    ASSERT_TRUE(RunUntil(
        [&] {
            for (int i = 2; i >= 0; --i) {
                if (std::find(order.begin(), order.end(), i) == order.end() && sawQuery(i)) {
                    order.push_back(i);
                }
            }
            return order.size() == 3;
        },
        4000ms));
    EXPECT_EQ(order, (std::vector<int>{2, 1, 0}));
    // With nothing left to try, the last silent port stays open.
    RunFor(500ms);
    EXPECT_TRUE(host_->State().PortOpen);
    EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kPortList), 0);
    EXPECT_EQ(host_->State().ScanIndex, 0u);
}

TEST_F(HostLogicTest, PendingSettingIsRepeatedWhilePollingUntilAnswered) {
    Pty pty;
    if (!pty.ok()) {
        GTEST_SKIP() << "no pseudo-terminals here";
    }
    folder_.WriteConfig("[Config]\nMODEL=VK200-210\nCOM=" + pty.path() + "\nBAUD=4\n");
    MakeHost();
    host_->Initialise();
    ASSERT_TRUE(host_->State().PortOpen);
    // The model asks nothing, so the first connect tick sets answer output and polling starts.
    const std::string setMode =
        Bytes({0xFF, 0x02, 0x53, 0x00, 0x03, 0x00, 0x00, 0x00, 0x69, 0xD1, 0x03});
    const std::string poll = Bytes({0xFF, 0x02, 0x56, 0x00, 0x00});
    RunFor(1300ms);
    std::string seen = pty.Drain();
    EXPECT_GE(CountOf(seen, setMode), 3u) << "repeated about every 300 ms";
    EXPECT_EQ(CountOf(seen, poll), 0u) << "no polls while the setting waits";

    pty.Write(orvanta::testing::MakeFrame(0x01, {0x00}));
    ASSERT_TRUE(RunUntil([&] { return CountOf(pty.Drain(), poll) >= 3; }, 2000ms));
    EXPECT_FALSE(host_->State().AwaitingAck);
    ASSERT_FALSE(shown_.empty());
    EXPECT_EQ(shown_.back().text, "Successful Operation!!");
}

TEST(PortOpenFailedTextTest, SaysWhyInBothLanguages) {
    serial::SerialError noRights = serial::SerialError::FromErrno(EACCES);
    noRights.deviceGroup = "dialout";
    serial::SerialError ownerOnly = serial::SerialError::FromErrno(EACCES);
    ownerOnly.deviceOwner = "root";
    struct Case {
        serial::SerialError reason;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {serial::SerialError::NotATerminal(),
         "Serial port open failed\n/dev/null is not a serial port.",
         "串口打开失败\n/dev/null 不是串口。"},
        {noRights,
         "Serial port open failed\nYour user must be in the group \"dialout\", which owns "
         "/dev/null.",
         "串口打开失败\n当前用户必须属于拥有 /dev/null 的用户组 \"dialout\"。"},
        {ownerOnly, "Serial port open failed\nOnly its owner, \"root\", may use /dev/null.",
         "串口打开失败\n只有其所有者 \"root\" 能使用 /dev/null。"},
        {serial::SerialError::FromErrno(EBUSY), "Serial port open failed", "串口打开失败"},
        {serial::SerialError::FromErrno(ENOENT), "Serial port open failed", "串口打开失败"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortOpenFailedText("Serial port open failed", 1, "/dev/null", c.reason),
                  c.english);
        EXPECT_EQ(PortOpenFailedText("串口打开失败", 0, "/dev/null", c.reason), c.chinese);
    }
}

// When the scan finds no other port that opens, the configured port that stayed silent is
// the one left open.
TEST_F(HostLogicTest, ASilentConfiguredPortStaysOpenWhenTheScanOpensNothingElse) {
    Pty pty;
    if (!pty.ok()) {
        GTEST_SKIP() << "no pseudo-terminals here";
    }
    folder_.WriteConfig("[Config]\nMODEL=VK100\nCOM=" + pty.path() + "\nBAUD=4\n");
    MakeHost(1, {"/dev/orvanta-no-such-port", pty.path()});
    host_->Initialise();
    ASSERT_TRUE(host_->State().PortOpen);
    RunFor(1000ms);
    EXPECT_TRUE(host_->State().PortOpen);
    EXPECT_EQ(host_->Link().State(), serial::PortState::Monitoring);
    EXPECT_EQ(host_->Link().DevicePath(), pty.path());
    EXPECT_EQ(ui_.ListSelection(Dialog::Main, main_id::kPortList), 1);
    EXPECT_EQ(host_->State().ScanIndex, 0u);
    EXPECT_TRUE(shown_.empty());
}

// Timers that never fire but look at the pending setting whenever a frame goes out, at the
// moment the poll worker might read it.
class WatchingTimers : public TimerService {
public:
    explicit WatchingTimers(std::function<void()> onSend) : onSend_(std::move(onSend)) {}
    void StartTimer(int id, int) override {
        if (id == kReplyTimer) {
            onSend_();
        }
    }
    void KillTimer(int) override {}

private:
    std::function<void()> onSend_;
};

std::array<std::uint8_t, 4> BytesOf(float value) {
    std::array<std::uint8_t, 4> bytes;
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

// A repeated setting takes its kind and its bytes from one pair: while a new setting is
// being made, the pending one still carries its own value.
TEST_F(HostLogicTest, ARepeatedSettingCarriesItsOwnBytes) {
    std::vector<PayloadBuffer::Value> seen;
    WatchingTimers watching([this, &seen] { seen.push_back(host_->State().Payload.Load()); });
    timers_ = &watching;
    MakeHost();
    host_->FillLists();
    host_->State().PortOpen = true; // frames go nowhere, but they are sent
    ui_.SetText(Dialog::Main, main_id::kGravityBox, "9.81");
    host_->Commands().OnGravitySet();
    ui_.SetText(Dialog::DataPage, page_id::kDeclinationBox, "-4.5");
    host_->Commands().OnDeclinationOk();
    ASSERT_EQ(seen.size(), 2u);
    // The declination frame leaves while the gravity is still the pending setting.
    EXPECT_EQ(seen[1].kind, PendingKind::Gravity);
    EXPECT_EQ(seen[1].bytes, BytesOf(9.81f));
    const PayloadBuffer::Value now = host_->State().Payload.Load();
    EXPECT_EQ(now.kind, PendingKind::DeclinationWrite);
    EXPECT_EQ(now.bytes, BytesOf(-4.5f));
    host_->Close(); // before the timers go
    host_.reset();
}

// Under a decimal-comma locale (the comma-locale run sets one) a typed "9.81" is still 9.81.
TEST_F(HostLogicTest, TypedNumbersReadWithAPointUnderADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "");
    const bool comma = std::localeconv()->decimal_point == std::string(",");
    if (!comma) {
        std::setlocale(LC_ALL, previous.c_str());
        if (std::getenv("ORVANTA_COMMA_LOCALE") != nullptr) {
            FAIL() << "the comma-locale run has no decimal-comma locale";
        }
        GTEST_SKIP() << "not under a decimal-comma locale; the comma-locale run covers this";
    }
    MakeHost();
    host_->FillLists();
    ui_.SetText(Dialog::Main, main_id::kGravityBox, " 9.81");
    host_->Commands().OnGravitySet();
    host_->Commands().ShowDeviceStatus(0);
    ui_.SetText(Dialog::DataPage, page_id::kDeclinationBox, "-4.25°");
    host_->Commands().OnDeclinationOk();
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_FLOAT_EQ(host_->State().StagedGravity, 9.81f);
    EXPECT_EQ(host_->State().record.GravityText, "9.810");
    EXPECT_FLOAT_EQ(host_->State().DeclinationValue, -4.25f);
}

} // namespace
} // namespace orvanta::host::testing
