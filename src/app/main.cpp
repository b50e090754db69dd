#include "app/CommandLine.h"
#include "config/FileLayout.h"
#include "config/LanguageChoice.h"
#include "headless/HeadlessOptions.h"
#include "headless/HeadlessRun.h"

#ifdef ORVANTA_WITH_WINDOW
#include "app/Application.h"
#endif

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace orvanta::app;
    using namespace orvanta::config;
    using namespace orvanta::headless;
    // A file-size limit must turn into a write error the recorder reports, not an end.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ProgramModeChoice choice = ChooseProgramMode(args);
    switch (choice.mode) {
    case ProgramMode::Help:
        std::cout << kProgramUsage << '\n' << kHeadlessUsage;
        PrintFileLayout(std::cout, ProgramFileLayout());
        return 0;
    case ProgramMode::Version:
        std::cout << "orvanta " ORVANTA_VERSION "\n";
        return 0;
    case ProgramMode::ListPorts:
        PrintPortList(std::cout, ProgramFileLayout().configFile,
                      (PortSearchRoot() / "sys").string(), (PortSearchRoot() / "dev").string());
        return 0;
    case ProgramMode::Unusable:
        std::cerr << "orvanta: " << choice.error << '\n' << kProgramUsage;
        return 2;
    case ProgramMode::Window:
#ifdef ORVANTA_WITH_WINDOW
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
            !std::getenv("QT_QPA_PLATFORM")) {
            std::cerr << "orvanta: no display to open the window on; use --headless\n"
                      << kHeadlessUsage;
            return 2;
        }
        {
            Application application;
            return application.Run(argc, argv, choice.window);
        }
#else
        std::cerr << "orvanta: built without the window; use --headless\n" << kHeadlessUsage;
        return 2;
#endif
    case ProgramMode::Headless:
        break;
    }
    const HeadlessParse parse = ParseHeadlessArgs(args);
    if (!parse.options) {
        std::cerr << "orvanta: " << parse.error << '\n' << kHeadlessUsage;
        return 2;
    }
    const FileLayout files = ProgramFileLayout();
    HeadlessEnvironment environment;
    environment.configPath = files.configFile;
    environment.dataDirectory = files.dataDirectory;
    environment.systemLocaleIsChineseChina = SystemLocaleIsChineseChina();
    environment.systemRoot = PortSearchRoot();
    return RunHeadless(*parse.options, environment);
}
