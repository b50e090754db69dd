#include "app/Application.h"

#include "config/FileLayout.h"
#include "config/LanguageChoice.h"
#include "host/StopSignals.h"
#include "publish/RemoteLink.h"
#include "serial/EventFd.h"

#include <QApplication>
#include <QLocale>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace orvanta::app {

namespace {

// From the process's start time in /proc (clock ticks since boot) to now.
double MillisecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    // Field 22, the start time, is the 20th after the command name.
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    const double startSeconds = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - startSeconds) * 1000.0;
}

} // namespace

bool SystemLanguageIsChineseChina() {
    const QLocale system = QLocale::system();
    return system.language() == QLocale::Chinese && system.territory() == QLocale::China;
}

window::MainWindow::Options StartupOptions(const config::FileLayout& files,
                                           bool systemLanguageIsChineseChina) {
    const config::LanguageChoice language =
        config::ChooseLanguage(files.configFile, systemLanguageIsChineseChina);
    window::MainWindow::Options options;
    options.host.configPath = files.configFile;
    options.host.dataDirectory = files.dataDirectory;
    options.modelFile = files.modelFile;
    options.pictureDirectory = files.pictureDirectory;
    options.host.languageFlag = language.LanguageFlag;
    options.host.SetSystemRoot(config::PortSearchRoot());
    options.backgroundBitmap = language.BackgroundBitmap;
    // The publishing dialog shows it filled in; it is never written anywhere.
    options.mqttPassword = publish::PasswordFromEnvironment();
    return options;
}

int Application::Run(int& argc, char** argv, const WindowOptions& windowOptions) {
    const config::FileLayout files = config::ProgramFileLayout();
    m_skin.Start(nullptr, "SCRIBBLE", 0, 0);
    m_skin.LoadSkinFile(files.skinFile.c_str());

    {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Orvanta"));
        // Desktops match the window to its menu entry and icon by this name.
        QGuiApplication::setDesktopFileName(QStringLiteral("com.orvanta.Orvanta"));
        window::MainWindow::Options options = StartupOptions(files, SystemLanguageIsChineseChina());
        options.skin = &m_skin;
        if (windowOptions.replay) {
            options.host.replayPath = *windowOptions.replay;
            options.host.replaySpeed = windowOptions.speed;
        }
        if (windowOptions.remote) {
            publish::WatchRemoteDevice(options.host, windowOptions.remote->url,
                                       windowOptions.remote->device, windowOptions.remote->text,
                                       windowOptions.mqttCa.value_or(""),
                                       options.host.languageFlag);
        }
        // For measurements: how long the window took to show its first picture.
        if (std::getenv("ORVANTA_REPORT_FIRST_PAINT")) {
            options.firstPainted = [] {
                std::fprintf(stderr, "orvanta: first paint %.0f ms after the process started\n",
                             MillisecondsSinceProcessStart());
            };
        }
        {
            window::MainWindow window(std::move(options));
            // SIGTERM (a logout, a kill) and SIGINT end the program as closing the window
            // does: a running recording is written out and the port's settings restored.
            serial::EventFd stopRequest;
            std::optional<host::StopSignals> signals;
            std::optional<QSocketNotifier> stopNotifier;
            if (stopRequest.Create()) {
                signals.emplace(stopRequest.fd());
                stopNotifier.emplace(stopRequest.fd(), QSocketNotifier::Read);
                QObject::connect(&*stopNotifier, &QSocketNotifier::activated, &window, [&] {
                    stopRequest.Reset();
                    window.close();
                    QApplication::quit(); // also out of a dialog's own loop
                });
            }
            window.Initialise();
            window.show();
            // A dialog run modally starts as the active window.
            window.activateWindow();
            application.exec();
        }
    }
    // The exit handler: the skin goes, the exit code is 0.
    m_skin.Stop();
    return 0;
}

} // namespace orvanta::app
