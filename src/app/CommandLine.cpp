#include "app/CommandLine.h"

#include "headless/HeadlessOptions.h"

namespace orvanta::app {

using headless::kBadSpeed;
using headless::kSpeedWithoutReplay;

const char* const kProgramUsage =
    "usage: orvanta                 the window\n"
    "       orvanta --replay FILE [--speed X|max]\n"
    "                               the window, playing a capture instead of a port\n"
    "       orvanta --remote mqtt[s]://[USER@]HOST[:PORT]/PREFIX/DEVICE [--mqtt-ca FILE]\n"
    "                               the window, watching a device another Orvanta publishes\n"
    "       orvanta --headless ...  the same without a window (below)\n"
    "       orvanta --list-ports    the serial ports, one a line: path, a tab, what it is\n"
    "       orvanta --version\n"
    "       orvanta --help\n";

ProgramModeChoice ChooseProgramMode(const std::vector<std::string>& args) {
    if (args.empty()) {
        return {ProgramMode::Window, {}};
    }
    for (const std::string& arg : args) {
        if (arg == "--headless") {
            return {ProgramMode::Headless, {}};
        }
    }
    if (args[0] == "--replay" || args[0] == "--speed" || args[0] == "--remote" ||
        args[0] == "--mqtt-ca") {
        const WindowParse window = ParseWindowArgs(args);
        if (!window.options) {
            return {ProgramMode::Unusable, window.error, {}};
        }
        return {ProgramMode::Window, {}, *window.options};
    }
    for (const ModeSwitch& entry : kModeSwitches) {
        if (args[0] == entry.name) {
            if (args.size() == 1) {
                return {entry.mode, {}};
            }
            return {ProgramMode::Unusable, args[0] + " takes no other arguments"};
        }
    }
    return {ProgramMode::Unusable, "unknown argument: " + args[0]};
}

WindowParse ParseWindowArgs(const std::vector<std::string>& args) {
    WindowOptions options;
    bool sawSpeed = false;
    const auto fail = [](std::string why) { return WindowParse{std::nullopt, std::move(why)}; };
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string& arg = args[i];
        if (arg != "--replay" && arg != "--speed" && arg != "--remote" && arg != "--mqtt-ca") {
            return fail("unknown argument: " + arg);
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            return fail(arg + " needs a value");
        }
        if (arg == "--replay") {
            options.replay = args[i + 1];
        } else if (arg == "--remote") {
            std::string error;
            options.remote = headless::ParseRemoteChoice(args[i + 1], error);
            if (!options.remote) {
                return fail(error);
            }
        } else if (arg == "--mqtt-ca") {
            options.mqttCa = args[i + 1];
        } else if (const auto speed = recording::ParseReplaySpeed(args[i + 1])) {
            options.speed = *speed;
            sawSpeed = true;
        } else {
            return fail(kBadSpeed);
        }
    }
    if (sawSpeed && !options.replay) {
        return fail(kSpeedWithoutReplay);
    }
    if (options.remote && options.replay) {
        return fail("--replay cannot be used with --remote");
    }
    if (options.mqttCa && !options.remote) {
        return fail("--mqtt-ca needs --remote");
    }
    return WindowParse{options, {}};
}

} // namespace orvanta::app
