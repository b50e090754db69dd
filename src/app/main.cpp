#include "app/HeadlessOptions.h"
#include "app/HeadlessRun.h"

#ifdef ORVANTA_WITH_WINDOW
#include "app/COrvantaApp.h"
#endif

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace orvanta::app;
    // A file-size limit must turn into a write error the recorder reports, not an end.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool headless = std::find(args.begin(), args.end(), "--headless") != args.end();
#ifdef ORVANTA_WITH_WINDOW
    if (!headless) {
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
            !std::getenv("QT_QPA_PLATFORM")) {
            std::cerr << "orvanta: no display to open the window on; use --headless\n"
                      << kHeadlessUsage;
            return 2;
        }
        COrvantaApp application;
        return application.Run(argc, argv);
    }
#endif
    const HeadlessParse parse = ParseHeadlessArgs(args);
    if (!parse.options) {
        std::cerr << "orvanta: " << parse.error << '\n' << kHeadlessUsage;
        return 2;
    }
    HeadlessEnvironment environment;
    environment.dataDirectory = DefaultDataDirectory();
    environment.systemLocaleIsChineseChina = SystemLocaleIsChineseChina();
    environment.systemRoot = PortSearchRoot();
    return RunHeadless(*parse.options, environment);
}
