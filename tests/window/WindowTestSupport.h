#pragma once

#include "app/Application.h"
#include "chart/ChartPage.h"
#include "config/FileLayout.h"
#include "devsim/DeviceSimulator.h"
#include "host/ControlIds.h"
#include "support/ProgramFolder.h"
#include "support/RunUntil.h"
#include "support/SimulatedDevice.h"
#include "window/DataPage.h"
#include "window/MainWindow.h"
#include "window/QtTimerService.h"
#include "window/SkinLayer.h"
#include "window/WidgetHostUi.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace orvanta::window::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct ModelCase {
    devsim::Model device;
    int modelIndex;
    const char* name;
};

inline const ModelCase kModels[] = {
    {devsim::Model::VK100, 0, "VK100"},
    {devsim::Model::VK200_210, 1, "VK200-210"},
    {devsim::Model::VN300, 2, "VN300"},
};

inline std::string ModelCaseName(const ::testing::TestParamInfo<ModelCase>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

using orvanta::testing::Shown;

// The program folder, the simulator and the window, with helpers that act as a user would.
class WindowFixture : public ::testing::TestWithParam<ModelCase> {
protected:
    void SetUp() override {
        fs::copy_file(ORVANTA_SKIN_FILE, Root() / "config" / "Int.smf");
#ifdef ORVANTA_MODEL_FILE
        std::error_code ec;
        fs::copy_file(ORVANTA_MODEL_FILE, Root() / "config" / "Mod.3DS", ec);
#endif
    }
    void TearDown() override {
        window_.reset();
        if (simulator_) {
            simulator_->Stop();
        }
    }

    fs::path Root() const {
        return folder_.root();
    }
    std::string LinkPath() const {
        return (Root() / "device").string();
    }

    void StartSimulator(std::uint32_t baud, std::uint8_t autoDivider) {
        devsim::SimulatorOptions options;
        options.model = GetParam().device;
        options.baud = baud;
        options.autoDivider = autoDivider;
        simulator_ = orvanta::testing::StartDevice(options, LinkPath());
    }

    // The configuration file of a run against the simulator.
    void WriteConfig(int languageFlag, int baudIndex) {
        folder_.WriteConfig(std::string("[Config]\nLANGUAGE=") + (languageFlag == 1 ? "EN" : "CH") +
                            "\nMODEL=" + GetParam().name + "\nPROTOCOL=ASCII\nCOM=" + LinkPath() +
                            "\nBAUD=" + std::to_string(baudIndex) + "\nPARITY=0\nPATH=\n");
    }

    // The window's options for the program folder, with the skin started as the application
    // starts it.
    MainWindow::Options ProgramOptions(int languageFlag) {
        const config::FileLayout files = config::PortableLayout(Root());
        MainWindow::Options options;
        options.host.configPath = files.configFile;
        options.host.dataDirectory = files.dataDirectory;
        options.host.languageFlag = languageFlag;
        options.modelFile = files.modelFile;
        options.pictureDirectory = files.pictureDirectory;
        options.backgroundBitmap = languageFlag == 1 ? 139 : 140;
        options.openUrl = [](const QUrl&) {};
        skin_.Start(nullptr, "SCRIBBLE", 0, 0);
        skin_.LoadSkinFile(files.skinFile.c_str());
        options.skin = &skin_;
        return options;
    }

    // Makes the window: its messages land in shown_, its folder picker answers picked_.
    void MakeWindow(MainWindow::Options options) {
        window_ = std::make_unique<MainWindow>(std::move(options));
        window_->ui().SetMessageSink(
            [this](std::string_view caption, std::string_view text, host::MessageIcon) {
                shown_.push_back({std::string(caption), std::string(text)});
            });
        window_->ui().SetFolderPicker([this](std::string_view) { return picked_; });
    }

    // Starts the simulator and the window configured for it, and waits for the connect
    // sequence to end.
    void Open(int languageFlag = 1, std::uint8_t autoDivider = 0, std::uint32_t baud = 115200,
              int baudIndex = 4) {
        StartSimulator(baud, autoDivider);
        WriteConfig(languageFlag, baudIndex);
        MainWindow::Options options = ProgramOptions(languageFlag);
        options.host.listPorts = [this](const std::string&) {
            return std::vector<std::string>{LinkPath()};
        };
        MakeWindow(std::move(options));
        connected_ = false;
        window_->host().Connection().SetConnectFinishedListener([this] { connected_ = true; });
        window_->Initialise();
        window_->show();
        ASSERT_TRUE(RunUntil([this] { return connected_; })) << "connect sequence";
    }

    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 5s) {
        return orvanta::testing::PumpUntil(pred, timeout, [] { QTest::qWait(10); });
    }
    void RunFor(std::chrono::milliseconds duration) {
        QTest::qWait(static_cast<int>(duration.count()));
    }

    QWidget* Main(int id) const {
        return window_->Control(id);
    }
    QWidget* Page(int id) const {
        return window_->page().Control(id);
    }
    QString Text(int id) const {
        return TextOf(Main(id));
    }
    QString PageText(int id) const {
        return TextOf(Page(id));
    }
    static QString TextOf(const QWidget* widget) {
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            return label->text();
        }
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            return button->text();
        }
        return {};
    }
    void Click(QWidget* widget) {
        auto* button = qobject_cast<QAbstractButton*>(widget);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Chooses an entry of a list as the user does.
    void Choose(int id, int index) {
        auto* list = qobject_cast<QComboBox*>(Main(id));
        ASSERT_NE(list, nullptr);
        ASSERT_LT(index, list->count());
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }
    const std::string& Slot(int slot) const {
        return window_->host().State().record.ItemText[static_cast<std::size_t>(slot)];
    }
    static QString Utf8(const std::string& text) {
        return QString::fromStdString(text);
    }

    // Saves a picture of a widget under build/artifacts.
    static void SaveArtifact(QWidget& widget, const std::string& name) {
        const char* dir = std::getenv("ORVANTA_ARTIFACTS");
        if (dir == nullptr) {
            return;
        }
        fs::create_directories(dir);
        EXPECT_TRUE(widget.grab().save(QString::fromStdString((fs::path(dir) / name).string())))
            << name;
    }

    orvanta::testing::ProgramFolder folder_;
    std::unique_ptr<devsim::DeviceSimulator> simulator_;
    SkinLayer skin_;
    std::unique_ptr<MainWindow> window_;
    std::vector<Shown> shown_;
    std::optional<std::string> picked_;
    bool connected_ = false;
};

} // namespace orvanta::window::testing
