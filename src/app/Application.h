#pragma once

#include "app/CommandLine.h"
#include "config/FileLayout.h"
#include "window/MainWindow.h"
#include "window/SkinLayer.h"

namespace orvanta::app {

// The application object: starts the theming layer, chooses the language, runs the main
// window until it closes and stops the theming layer. Main thread.
// Formerly `COrvantaApp`.
class Application {
public:
    // The start-up sequence and the exit handler; returns the process's exit code, 0.
    int Run(int& argc, char** argv, const WindowOptions& windowOptions = {});

private:
    window::SkinLayer m_skin;
};

// The main window's options for a start: the files of the layout; the language chosen from
// the configuration file or, without it, the system language; the background picture of
// that language.
window::MainWindow::Options StartupOptions(const config::FileLayout& files,
                                           bool systemLanguageIsChineseChina);

// Whether the system's language is Chinese as used in China. Needs the Qt application.
bool SystemLanguageIsChineseChina();

} // namespace orvanta::app
