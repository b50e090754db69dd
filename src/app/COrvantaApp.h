#pragma once

#include "app/COrvantaDlg.h"
#include "app/SkinLayer.h"

#include <filesystem>

namespace orvanta::app {

// The application object: starts the theming layer, chooses the language, runs the main
// window until it closes and stops the theming layer. Main thread.
class COrvantaApp {
public:
    static constexpr const char* kConfigPath = "../config/Config.ini";
    static constexpr const char* kSkinPath = "../config/Int.smf";

    // The start-up sequence and the exit handler; returns the process's exit code, 0.
    int Run(int& argc, char** argv);

private:
    SkinLayer m_skin;
};

// The main window's options for a start: the language chosen from the configuration file
// or, without it, the system language; the background picture of that language.
COrvantaDlg::Options StartupOptions(const std::filesystem::path& configPath,
                                    bool systemLanguageIsChineseChina);

// Whether the system's language is Chinese as used in China. Needs the Qt application.
bool SystemLanguageIsChineseChina();

} // namespace orvanta::app
