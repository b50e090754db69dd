// The window against the device simulator, for each model: live values in the right units,
// the chart, the unit switches, recording, the chart picture, model changes, settings that
// reach the device, a device-baud change and an unplugged device.
#include "WindowTestSupport.h"
#include "chart/ChartItem.h"
#include "protocol/MeasurementRecord.h"
#include "view3d/AttitudeView.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <fcntl.h>
#include <regex>
#include <set>
#include <termios.h>
#include <unistd.h>

namespace orvanta::window::testing {
namespace {

namespace slot = protocol::slot;

class WindowEndToEnd : public WindowFixture {
protected:
    bool HasPage() const { return GetParam().modelIndex != 1; }
    bool Hidden(int id) const { return Main(id)->isHidden(); }
    bool PageHidden(int id) const { return Page(id)->isHidden(); }
    // What the program's runs left in its data folder.
    std::vector<fs::path> DataFiles() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(Root() / "data")) {
            files.push_back(entry.path());
        }
        return files;
    }
    void WaitForData() {
        ASSERT_TRUE(RunUntil([this] { return !Slot(slot::kRoll).empty(); })) << "no data";
    }
    // The label shows the slot's text, as it was at a recent refresh, with its unit.
    bool Shows(const std::function<QString()>& text, int slotIndex, const char* unit) {
        std::set<QString> seen;
        return RunUntil(
            [&] {
                seen.insert(Utf8(Slot(slotIndex)) + QString::fromUtf8(unit));
                return seen.count(text()) != 0;
            },
            3s);
    }
    bool PageShows(int id, int slotIndex, const char* unit) {
        return Shows([&] { return PageText(id); }, slotIndex, unit);
    }
    bool StatusShows(int id, int slotIndex, const char* unit) {
        return Shows([&] { return Text(id); }, slotIndex, unit);
    }
};

TEST_P(WindowEndToEnd, LiveValuesFillTheDataPageAndStatusRowInTheirUnits) {
    Open(1, /*autoDivider=*/10);
    WaitForData();
    EXPECT_TRUE(window_->windowTitle().endsWith(" - " + Utf8(LinkPath())))
        << "two windows on two ports tell themselves apart";
    window_->host().OnChartItemChosen(chart::kChartOutputData);
    if (!HasPage()) {
        ASSERT_FALSE(shown_.empty());
        EXPECT_EQ(shown_.back().text, "Equipment not supported!!");
        EXPECT_FALSE(window_->page().isVisible());
        EXPECT_TRUE(Hidden(1102)) << "the status row is hidden for this model";
        EXPECT_TRUE(Hidden(1122));
        ASSERT_TRUE(RunUntil([this] { return Text(1107).endsWith("HZ") && Text(1107) != "0HZ"; }));
        return;
    }
    ASSERT_TRUE(window_->page().isVisible());
    EXPECT_TRUE(window_->page().PageTimerRunning());
    EXPECT_FALSE(window_->chart().isVisible());
    EXPECT_TRUE(PageShows(1056, slot::kRoll, "°"));
    EXPECT_TRUE(PageShows(1012, slot::kGyroZ, "°/s"));
    EXPECT_TRUE(PageShows(1063, slot::kAccZ, "g"));
    EXPECT_TRUE(PageShows(1069, slot::kVelZ, "m/s"));
    EXPECT_TRUE(PageShows(1138, slot::kSatellites, ""));
    EXPECT_TRUE(PageShows(1124, slot::kTimeOfWeek, "s"));
    if (GetParam().modelIndex == 0) {
        EXPECT_TRUE(PageShows(1071, slot::kMagX, "μT"));
        EXPECT_FALSE(Slot(slot::kMagX).empty());
    }
    EXPECT_TRUE(
        std::regex_match(PageText(1056).toStdString(), std::regex("[-+]?[0-9]+\\.[0-9]{3}°")))
        << PageText(1056).toStdString();

    // The status row, refreshed by its own timer.
    ASSERT_TRUE(RunUntil([this] { return Text(1107) != "0HZ" && Text(1107).endsWith("HZ"); }));
    EXPECT_TRUE(StatusShows(1103, slot::kTemperature0, "℃"));
    EXPECT_FALSE(Slot(slot::kTemperature0).empty());
    EXPECT_EQ(Text(1113), "9.800g");
    // On a loaded machine a query sent while a frame arrives cuts that frame: it counts as missed.
    EXPECT_TRUE(RunUntil([this] {
        return Text(1106).toStdString() == window_->host().Receiver().MiscountText();
    }));
    EXPECT_EQ(Text(1046), "Default auto output:");
    EXPECT_TRUE(StatusShows(1094, slot::kLatitude, "°"));
}

TEST_P(WindowEndToEnd, UnitSwitchesChangeSuffixesAndThenTheNumbers) {
    Open(1, /*autoDivider=*/10);
    WaitForData();
    Click(Main(host::main_id::kAngleRadians));
    Click(Main(host::main_id::kAccelMs2));
    EXPECT_EQ(window_->host().State().record.AngleUnit, 1);
    EXPECT_EQ(window_->host().State().record.AccelUnit, 1);
    // The next decoded frames carry radians: roll stays within plus or minus pi.
    ASSERT_TRUE(RunUntil([this] {
        const std::string roll = Slot(slot::kRoll);
        return !roll.empty() && std::abs(std::stod(roll)) <= 3.1416;
    }));
    if (HasPage()) {
        window_->host().OnChartItemChosen(chart::kChartOutputData);
        EXPECT_TRUE(PageShows(1056, slot::kRoll, "rad"));
        EXPECT_TRUE(PageShows(1016, slot::kGyroX, "rad/s"));
        EXPECT_TRUE(PageShows(1059, slot::kAccX, "m/s2"));
    }
    Click(Main(host::main_id::kAngleDegrees));
    EXPECT_EQ(window_->host().State().record.AngleUnit, 0);
    if (HasPage()) {
        EXPECT_TRUE(PageShows(1056, slot::kRoll, "°"));
    }
}

TEST_P(WindowEndToEnd, ChartMovesAndItsPictureIsWritten) {
    Open(1, /*autoDivider=*/10);
    WaitForData();
    ASSERT_TRUE(window_->chart().isVisible());
    EXPECT_TRUE(window_->chart().ChartTimerRunning());
    RunFor(700ms);
    const QImage before = window_->chart().grab().toImage();
    RunFor(700ms);
    const QImage after = window_->chart().grab().toImage();
    EXPECT_NE(before, after) << "the waveforms move";

    ASSERT_TRUE(window_->chart().OnChartCommand(chart::ChartPage::kCommandSavePicture));
    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(Root() / "picture")) {
        pictures.push_back(entry.path());
    }
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].filename().string().rfind("VW400_Wave_shape_", 0), 0u);
    const QImage picture(QString::fromStdString(pictures[0].string()));
    EXPECT_EQ(picture.size(), QSize(800, 360));
}

TEST_P(WindowEndToEnd, RecordingWritesTheRowsToTheCsvFile) {
    Open();
    WaitForData();
    Click(Main(host::main_id::kRecordButton));
    EXPECT_EQ(Text(host::main_id::kRecordButton), "Stop");
    RunFor(1500ms);
    Click(Main(host::main_id::kRecordButton));
    EXPECT_EQ(Text(host::main_id::kRecordButton), "Start");
    const fs::path csv = window_->host().Recorder().CsvPath();
    EXPECT_EQ(csv.parent_path(), Root() / "data");
    EXPECT_EQ(qobject_cast<QLineEdit*>(Main(host::main_id::kCsvPathBox))->text().toStdString(),
              csv.generic_string());
    ASSERT_TRUE(RunUntil([&] { return fs::exists(csv) && fs::file_size(csv) > 0; }));
    const std::string text = orvanta::testing::ReadFile(csv);
    const auto lines = std::count(text.begin(), text.end(), '\n');
    EXPECT_GE(lines, 5) << "header and rows";
    EXPECT_EQ(text.rfind("Roll(", 0), 0u) << text.substr(0, 40);
}

TEST_P(WindowEndToEnd, ClosingTheWindowWritesEveryRowRecorded) {
    if (GetParam().modelIndex != 0) {
        GTEST_SKIP() << "one model is enough";
    }
    Open(1, /*autoDivider=*/10);
    WaitForData();
    Click(Main(host::main_id::kRecordButton));
    RunFor(1500ms);
    const fs::path csv = window_->host().Recorder().CsvPath();
    // Closing the window ends the recording: the rows of the last seconds reach the file,
    // although the writer's four-second period has not come round.
    ASSERT_TRUE(window_->close());
    const auto sent = simulator_->Counters().dataFramesSent;
    ASSERT_TRUE(fs::exists(csv));
    const std::string text = orvanta::testing::ReadFile(csv);
    const auto rows = std::count(text.begin(), text.end(), '\n') - 1;
    EXPECT_GE(rows, 10) << "about 15 frames arrived while recording";
    EXPECT_LE(static_cast<unsigned long long>(rows), sent);
}

TEST_P(WindowEndToEnd, ModelChangeHidesAndShowsItsControls) {
    Open();
    for (int index : {1, 2, 0, GetParam().modelIndex}) {
        Choose(host::main_id::kModelList, index);
        EXPECT_EQ(window_->host().State().ModelIndex.load(), index);
        for (int id : host::kModelListM) {
            const bool hiddenForVn300 =
                std::find(std::begin(host::kVn300HiddenMain), std::end(host::kVn300HiddenMain),
                          id) != std::end(host::kVn300HiddenMain);
            const bool hidden = index == 1 || (index == 2 && hiddenForVn300);
            EXPECT_EQ(Hidden(id), hidden) << "model " << index << " control " << id;
        }
        if (index != 1) {
            for (int id : host::kModelListD) {
                EXPECT_EQ(PageHidden(id), index == 2) << "model " << index << " page " << id;
            }
            EXPECT_EQ(PageText(1110), index == 0 ? "WKN :" : "VEL.:");
        }
        EXPECT_FALSE(Hidden(host::main_id::kRateLabel));
        EXPECT_FALSE(Hidden(host::main_id::kUtcLine));
    }
    const std::string config = orvanta::testing::ReadFile(Root() / "config" / "Config.ini");
    EXPECT_NE(config.find(std::string("MODEL=") + GetParam().name), std::string::npos) << config;
}

TEST_P(WindowEndToEnd, ModeAndFrequencySetReachTheDevice) {
    Open();
    ASSERT_TRUE(RunUntil([this] { return !window_->host().State().AwaitingAck; }));
    RunFor(400ms);
    Choose(host::main_id::kModeList, 2); // default auto output, frequency entry 3 (10 per second)
    EXPECT_EQ(Text(host::main_id::kModeCaption), "Default auto output:");
    ASSERT_TRUE(RunUntil([this] { return simulator_->Settings().autoOutput; }));
    const int top = GetParam().modelIndex == 0 ? 100 : 200;
    EXPECT_EQ(simulator_->Settings().divider, top / 10);
    RunFor(400ms);
    Choose(host::main_id::kFrequencyList, 6); // 25 or 50 per second
    Click(Main(host::main_id::kFrequencySet));
    const int rate = GetParam().modelIndex == 0 ? 25 : 50;
    EXPECT_TRUE(RunUntil([&] { return simulator_->Settings().divider == top / rate; }))
        << int(simulator_->Settings().divider);
    // The rate shown is the measured one, snapped to the model's table.
    EXPECT_TRUE(
        RunUntil([&] { return Text(host::main_id::kRateLabel) == QString("%1HZ").arg(rate); }, 3s))
        << Text(host::main_id::kRateLabel).toStdString();
}

TEST_P(WindowEndToEnd, DeviceBaudSetReopensThePortAndDataKeepsFlowing) {
    Open();
    ASSERT_TRUE(RunUntil([this] { return !window_->host().State().AwaitingAck; }));
    RunFor(600ms);
    shown_.clear();
    Choose(host::main_id::kDeviceBaudList, 3); // 57600
    Click(Main(host::main_id::kDeviceBaudSet));
    ASSERT_TRUE(RunUntil([this] { return !shown_.empty(); }));
    EXPECT_EQ(shown_.back().text, "Successful Operation!!");
    EXPECT_EQ(qobject_cast<QComboBox*>(Main(host::main_id::kBaudList))->currentText(), "57600");
    EXPECT_TRUE(RunUntil([this] { return simulator_->LineBaud() == 57600; }));
    window_->host().State().record.ItemText[slot::kRoll].clear();
    EXPECT_TRUE(RunUntil([this] { return !Slot(slot::kRoll).empty(); })) << "data flows";
}

// A device that drops off is waited for, said in the title and over the status row, and
// taken up again by itself when it is back; the window answers meanwhile.
TEST_P(WindowEndToEnd, UnpluggedDeviceIsWaitedForAndComesBackByItself) {
    for (const int language : {1, 0}) {
        Open(language, /*autoDivider=*/10);
        WaitForData();
        simulator_->Unplug();
        const QLabel* notice = nullptr;
        ASSERT_TRUE(RunUntil([&] {
            notice = window_->ui().LinkNoticeLabel();
            return notice != nullptr && notice->isVisible();
        })) << "the vanished device is told";
        EXPECT_TRUE(window_->host().Connection().WaitingForDevice());
        EXPECT_TRUE(window_->windowTitle().endsWith(notice->toolTip()));
        EXPECT_TRUE(shown_.empty()) << "no box that would stack";
        SaveArtifact(*window_, language == 1 ? "device-lost-en.png" : "device-lost-zh.png");
        // The window still answers: a unit switch and a page change work.
        Click(Main(host::main_id::kAngleRadians));
        window_->host().OnChartItemChosen(chart::kChartGyroscopes);
        RunFor(300ms);
        ASSERT_TRUE(simulator_->Plug());
        ASSERT_TRUE(RunUntil([this] { return !window_->host().Connection().WaitingForDevice(); }));
        EXPECT_EQ(window_->host().Link().State(), serial::PortState::Monitoring);
        window_->host().State().record.ItemText[slot::kRoll].clear();
        EXPECT_TRUE(RunUntil([this] { return !Slot(slot::kRoll).empty(); })) << "data flows again";
        window_.reset();
        simulator_->Stop();
    }
}

// The shipped program on a display without OpenGL (as over X forwarding without GLX or with
// a broken driver): it runs, says so in the 3D panel in its language, records and closes.
TEST_P(WindowEndToEnd, WithoutOpenGLTheProgramRunsRecordsAndCloses) {
    if (GetParam().modelIndex != 1) {
        GTEST_SKIP() << "one model is enough";
    }
    fs::copy_file(ORVANTA_PROGRAM, Root() / "bin" / "orvanta");
    for (int language : {1, 0}) {
        const bool english = language == 1;
        StartSimulator(115200, /*autoDivider=*/10);
        WriteConfig(language, 4);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_XCB_GL_INTEGRATION", "none");
        environment.insert("LD_PRELOAD", ORVANTA_PROGRAM_DRIVER);
        environment.insert("ORVANTA_DRIVER_PICTURE",
                           english ? "no-opengl-en.png" : "no-opengl-zh.png");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QString::fromStdString((Root() / "bin" / "orvanta").string()), {});
        ASSERT_TRUE(program.waitForFinished(60000));
        const QString said = QString::fromUtf8(program.readAllStandardError());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << said.toStdString();
        EXPECT_EQ(program.exitCode(), 0) << said.toStdString();
        EXPECT_TRUE(
            said.contains("driver: 3D panel: " + view3d::AttitudeView::UnavailableNotice(english)))
            << said.toStdString();
        EXPECT_TRUE(said.contains("driver: closing")) << said.toStdString();

        const std::vector<fs::path> csv = DataFiles();
        ASSERT_EQ(csv.size(), 1u);
        const std::string text = orvanta::testing::ReadFile(csv[0]);
        EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 10) << "header and rows";
        fs::remove(csv[0]);
        simulator_->Stop();
        simulator_.reset();
    }
}

// A logout or a kill sends SIGTERM: the program ends as closing its window does, the
// recording written out and the port's settings as they were before the open.
TEST_P(WindowEndToEnd, SigtermEndsTheProgramAsClosingTheWindowDoes) {
    if (GetParam().modelIndex != 1) {
        GTEST_SKIP() << "one model is enough";
    }
    fs::copy_file(ORVANTA_PROGRAM, Root() / "bin" / "orvanta");
    StartSimulator(115200, /*autoDivider=*/10);
    WriteConfig(1, 4);
    const auto lineSettings = [this] {
        termios settings{};
        const int fd = ::open(LinkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::tcgetattr(fd, &settings), 0);
        ::close(fd);
        return settings;
    };
    const termios before = lineSettings();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", ORVANTA_PROGRAM_DRIVER);
    environment.insert("ORVANTA_DRIVER_LEAVE_OPEN", "1");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setReadChannel(QProcess::StandardError);
    program.start(QString::fromStdString((Root() / "bin" / "orvanta").string()), {});
    QString said;
    while (!said.contains("driver: recorded") && program.waitForReadyRead(30000)) {
        said += QString::fromUtf8(program.readAllStandardError());
    }
    ASSERT_TRUE(said.contains("driver: recorded")) << said.toStdString();
    program.terminate(); // SIGTERM
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    const std::vector<fs::path> csv = DataFiles();
    ASSERT_EQ(csv.size(), 1u);
    const std::string text = orvanta::testing::ReadFile(csv[0]);
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 20) << "two seconds at 20 frames/s";
    const termios after = lineSettings();
    EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
}

// Pictures of the window as shipped with data flowing, in both languages, at the start size
// and at twice that size: the chart page, and the live data page where the model has one.
TEST_P(WindowEndToEnd, Screenshots) {
    for (int language : {1, 0}) {
        Open(language, /*autoDivider=*/10);
        WaitForData();
        QApplication::setActiveWindow(window_.get());
        const std::string suffix = std::string(language == 1 ? "en-" : "zh-") + GetParam().name;
        // A full window of samples, the status row refreshed, the model turned.
        ASSERT_TRUE(RunUntil([this] { return Text(host::main_id::kRateLabel) != "0HZ"; }));
        RunFor(2500ms);
        const QSize start = window_->size();
        for (const char* size : {"", "-2x"}) {
            if (*size != '\0') {
                window_->host().OnChartItemChosen(chart::kChartEuler);
                window_->resize(start * 2);
                ASSERT_TRUE(RunUntil([&] { return window_->size() == start * 2; }));
                RunFor(1500ms);
            }
            SaveArtifact(*window_, "chart-" + suffix + size + ".png");
            if (HasPage()) {
                window_->host().OnChartItemChosen(chart::kChartOutputData);
                ASSERT_TRUE(PageShows(1056, slot::kRoll, "°"));
                RunFor(800ms);
                SaveArtifact(*window_, "data-page-" + suffix + size + ".png");
            }
        }
        window_.reset();
        simulator_->Stop();
        simulator_.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModel, WindowEndToEnd, ::testing::ValuesIn(kModels), ModelCaseName);

} // namespace
} // namespace orvanta::window::testing
