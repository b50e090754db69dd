// Capture and replay in the window: the context menu's capture switch and the capture a
// recording writes beside its CSV file; a capture replayed as the window's source; a remote
// device, published to a real broker, as the window's source.
#include "WindowTestSupport.h"
#include "devsim/StreamCapture.h"
#include "publish/Publisher.h"
#include "publish/RawRecord.h"
#include "publish/RemoteLink.h"
#include "publish/ValuesMessage.h"
#include "recording/CaptureReader.h"
#include "support/MosquittoBroker.h"

#include <QLabel>
#include <QMenu>
#include <atomic>
#include <thread>

namespace orvanta::window::testing {
namespace {

using recording::CaptureDirection;

QAction* CaptureAction(QMenu& menu) {
    for (QAction* action : menu.actions()) {
        if (action->isCheckable()) {
            return action;
        }
    }
    return nullptr;
}

// Complete VK100 data frames (0x90, 121 payload bytes) in the capture's device bytes.
int DataFramesIn(const fs::path& capture, std::string& model) {
    std::string error;
    auto reader = recording::CaptureReader::Open(capture, error);
    EXPECT_TRUE(reader) << error;
    if (!reader) {
        return -1;
    }
    model = recording::NoteValue(reader->Note(), "model").value_or("");
    std::vector<std::uint8_t> bytes;
    recording::CaptureRecord record;
    while (reader->Next(record) == recording::CaptureReader::Step::Record) {
        if (record.direction == CaptureDirection::DeviceToHost) {
            bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
        }
    }
    int frames = 0;
    for (std::size_t i = 0; i + 129 <= bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 2] == 0x90 && bytes[i + 3] == 0 && bytes[i + 4] == 121 &&
            bytes[i + 128] == 0x03) {
            ++frames;
            i += 128;
        }
    }
    return frames;
}

std::size_t CsvRows(const fs::path& csv) {
    std::istringstream in(orvanta::testing::ReadFile(csv));
    std::size_t rows = 0;
    for (std::string line; std::getline(in, line);) {
        rows += line.rfind("Roll(", 0) == 0 ? 0 : 1;
    }
    return rows;
}

class WindowCapture : public WindowFixture {
protected:
    // The window with a capture as its source instead of the simulator.
    void OpenReplay(const fs::path& capture, int languageFlag) {
        orvanta::testing::WriteFile(Root() / "config" / "Config.ini",
                                    std::string("[Config]\nLANGUAGE=") +
                                        (languageFlag == 1 ? "EN" : "CN") + "\nMODEL=VN300\n");
        MainWindow::Options options = ProgramOptions(languageFlag);
        options.host.replayPath = capture;
        shown_.clear();
        MakeWindow(std::move(options));
        ASSERT_TRUE(window_->Initialise());
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    // A VK100 streaming for seconds at framesPerSecond, as the simulator plays it.
    static void WriteCapture(const fs::path& capture, double seconds, unsigned framesPerSecond) {
        devsim::StreamCaptureOptions stream;
        stream.seconds = seconds;
        stream.framesPerSecond = framesPerSecond;
        std::string error;
        ASSERT_TRUE(devsim::WriteStreamCapture(capture, stream, error)) << error;
    }
    void SaveMenu(int languageFlag) {
        QMenu menu(window_.get());
        window_->FillContextMenu(menu);
        menu.popup(window_->mapToGlobal(QPoint(300, 200)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        SaveArtifact(menu, languageFlag == 1 ? "context-menu-en.png" : "context-menu-zh.png");
        menu.close();
    }
};

// The switch is stored; a recording then writes <csv name>.pcap beside the CSV file, from
// Start to Stop, holding the frames the rows came from.
TEST_P(WindowCapture, TheMenuSwitchMakesEachRecordingWriteACapture) {
    Open(1, /*autoDivider=*/10);
    {
        QMenu menu;
        window_->FillContextMenu(menu);
        QAction* capture = CaptureAction(menu);
        ASSERT_NE(capture, nullptr);
        EXPECT_EQ(capture->text(), QStringLiteral("Capture raw bytes with recordings"));
        EXPECT_FALSE(capture->isChecked()); // CAPTURE is 0 when missing
        capture->setChecked(true);
    }
    EXPECT_TRUE(window_->host().Recording().CaptureWithRecordings());
    EXPECT_NE(orvanta::testing::ReadFile(Root() / "config" / "Config.ini").find("CAPTURE=1"),
              std::string::npos);

    Click(Main(host::main_id::kRecordButton));
    const fs::path csv = window_->host().Recorder().CsvPath();
    RunFor(1500ms);
    Click(Main(host::main_id::kRecordButton));
    EXPECT_FALSE(window_->host().Recording().Capturing()); // closed and written out
    fs::path capture = csv;
    capture.replace_extension(".pcap");
    ASSERT_TRUE(fs::exists(capture)) << capture;
    std::string model;
    const int frames = DataFramesIn(capture, model);
    EXPECT_EQ(model, "VK100");
    EXPECT_GE(frames, 10);
    // The CSV writer finishes on its own thread, a round at a time.
    RunUntil([&] { return static_cast<int>(CsvRows(csv)) >= frames; }, 10s);
    // A frame cut by Start or Stop may be in the rows and not whole in the capture.
    EXPECT_LE(static_cast<int>(CsvRows(csv)) - frames, 1);
    EXPECT_GE(static_cast<int>(CsvRows(csv)) - frames, 0);
}

// The port list shows the file, Open and Close stop and play it again, the values move as
// they did, and a setting that would send a command is refused, in either language.
TEST_P(WindowCapture, ACaptureIsTheWindowsSource) {
    const fs::path capture = Root() / "field.pcap";
    ASSERT_NO_FATAL_FAILURE(WriteCapture(capture, 30, 20));

    for (const int language : {1, 0}) {
        OpenReplay(capture, language);
        auto* ports = qobject_cast<QComboBox*>(Main(host::main_id::kPortList));
        ASSERT_NE(ports, nullptr);
        ASSERT_EQ(ports->count(), 1);
        EXPECT_EQ(ports->itemText(0), QStringLiteral("field.pcap"));
        EXPECT_EQ(window_->host().Link().State(), serial::PortState::Monitoring);
        EXPECT_EQ(Text(host::main_id::kOpenButton), language == 1 ? "Close" : "关闭");
        // The note's model replaced the configured one.
        EXPECT_EQ(window_->host().State().ModelIndex, 0);
        ASSERT_TRUE(RunUntil([this] { return !Slot(0).empty(); })) << "no data";
        const std::string first = Slot(0);
        ASSERT_TRUE(RunUntil([&] { return Slot(0) != first; })) << "the values stand still";
        RunFor(1200ms); // the chart, the status row and the echo catch up
        SaveArtifact(*window_, language == 1 ? "replay-window-en.png" : "replay-window-zh.png");
        SaveMenu(language);

        Click(Main(host::main_id::kGravitySet));
        ASSERT_FALSE(shown_.empty());
        EXPECT_EQ(shown_.back().text,
                  language == 1 ? "Not available during a replay" : "回放时不可用");
        Click(Main(host::main_id::kOpenButton)); // Close
        EXPECT_EQ(window_->host().Link().State(), serial::PortState::Closed);
        EXPECT_EQ(Text(host::main_id::kOpenButton), language == 1 ? "Open" : "打开");
        Click(Main(host::main_id::kOpenButton)); // Open: from the start again
        EXPECT_EQ(window_->host().Link().State(), serial::PortState::Monitoring);
        window_.reset();
    }
}

// A replay that ends before the pages' timers ever ran leaves its last values on the pages,
// the chart and the status row, as a live port that closes does.
TEST_P(WindowCapture, AFastReplayEndsShowingItsLastValues) {
    const fs::path capture = Root() / "short.pcap";
    ASSERT_NO_FATAL_FAILURE(WriteCapture(capture, 2, 50));
    orvanta::testing::WriteFile(Root() / "config" / "Config.ini", "[Config]\nLANGUAGE=EN\n");
    MainWindow::Options options = ProgramOptions(1);
    options.host.replayPath = capture;
    options.host.replaySpeed.asFastAsPossible = true;
    MakeWindow(std::move(options));
    ASSERT_TRUE(window_->Initialise());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_TRUE(RunUntil(
        [this] { return window_->host().Link().State() == serial::PortState::Closed; }, 10s));
    const std::string roll = Slot(protocol::slot::kRoll);
    ASSERT_FALSE(roll.empty());
    auto* label = qobject_cast<QLabel*>(window_->page().Control(1056));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().startsWith(Utf8(roll))) << label->text().toStdString();
    EXPECT_EQ(window_->chart().Chart().SeriesCount(), 3u);
    window_.reset();
}

// A capture's note and blocks published as another Orvanta publishes them: the port list
// names the URL, the notes' model is in force, the values move, a setting is refused, and
// the publisher's offline and online are the device's loss and return.
TEST_P(WindowCapture, ARemoteDeviceIsTheWindowsSource) {
    const fs::path capture = Root() / "remote.pcap";
    ASSERT_NO_FATAL_FAILURE(WriteCapture(capture, 20, 20));
    std::string error;
    auto reader = recording::CaptureReader::Open(capture, error);
    ASSERT_TRUE(reader) << error;
    orvanta::testing::MosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    publish::PublisherOptions publisherOptions;
    publisherOptions.url = *publish::ParseBrokerUrl(broker.Url("lab")).url;
    publish::Publisher publisher(publisherOptions);
    ASSERT_TRUE(publisher.Start(error)) << error;
    publisher.Retain("lab/rig/notes", recording::FormatCaptureNote(reader->Note()));
    publisher.Retain("lab/rig/status", publish::BuildStatusJson({true, "VK100", "", 20, 0, 0}));
    ASSERT_TRUE(RunUntil([&] { return publisher.Sent() >= 2; }, 5s));
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        recording::CaptureRecord record;
        while (!stop && reader->Next(record) == recording::CaptureReader::Step::Record) {
            publisher.Publish("lab/rig/raw",
                              publish::BuildRawRecord(record.direction, record.bytes.data(),
                                                      record.bytes.size(), record.timeNs));
            std::this_thread::sleep_for(50ms); // the capture's 20 frames a second
        }
    });

    orvanta::testing::WriteFile(Root() / "config" / "Config.ini",
                                "[Config]\nLANGUAGE=EN\nMODEL=VN300\n");
    MainWindow::Options options = ProgramOptions(1);
    const auto url = publish::ParseRemoteUrl(broker.Url("lab/rig"));
    options.host.remoteSource =
        publish::RemoteLinkFactory({*url.url, url.device, "", "", options.host.languageFlag});
    options.host.remoteName = broker.Url("lab/rig");
    shown_.clear();
    MakeWindow(std::move(options));
    ASSERT_TRUE(window_->Initialise());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    auto* ports = qobject_cast<QComboBox*>(Main(host::main_id::kPortList));
    ASSERT_NE(ports, nullptr);
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0).toStdString(), broker.Url("lab/rig"));
    EXPECT_EQ(window_->host().State().ModelIndex, 0);
    ASSERT_TRUE(RunUntil([this] { return !Slot(0).empty(); })) << "no data";
    const std::string first = Slot(0);
    EXPECT_TRUE(RunUntil([&] { return Slot(0) != first; })) << "the values stand still";
    Click(Main(host::main_id::kGravitySet));
    EXPECT_FALSE(shown_.empty()) << "refused";

    publisher.Retain("lab/rig/status", publish::OfflineWillJson());
    EXPECT_TRUE(RunUntil([this] { return window_->host().Connection().WaitingForDevice(); }, 5s));
    publisher.Retain("lab/rig/status", publish::BuildStatusJson({true, "VK100", "", 20, 0, 0}));
    EXPECT_TRUE(RunUntil([this] { return !window_->host().Connection().WaitingForDevice(); }, 5s));
    stop = true;
    stream.join();
    window_.reset();
}

INSTANTIATE_TEST_SUITE_P(Vk100, WindowCapture, ::testing::Values(kModels[0]), ModelCaseName);

} // namespace
} // namespace orvanta::window::testing
