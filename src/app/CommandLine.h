#pragma once

#include "headless/HeadlessOptions.h"
#include "recording/CaptureReplay.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::app {

// What the command line asks for. Window: no arguments, or those of ParseWindowArgs.
// Headless: "--headless" anywhere; its own arguments are read by ParseHeadlessArgs. The
// others stand alone.
enum class ProgramMode { Window, Headless, Help, Version, ListPorts, Unusable };

struct ModeSwitch {
    std::string_view name;
    ProgramMode mode;
};
inline constexpr ModeSwitch kModeSwitches[] = {
    {"--help", ProgramMode::Help},
    {"-h", ProgramMode::Help},
    {"--version", ProgramMode::Version},
    {"--list-ports", ProgramMode::ListPorts},
};

// The window's command line: orvanta [--replay FILE [--speed X|max]]
//                            orvanta [--remote URL [--mqtt-ca FILE]]
struct WindowOptions {
    std::optional<std::string> replay; // play this capture instead of opening a port
    recording::ReplaySpeed speed;
    std::optional<headless::RemoteChoice> remote; // watch this device instead of a port
    std::optional<std::string> mqttCa;
};

struct ProgramModeChoice {
    ProgramMode mode;
    std::string error;      // why the arguments are unusable
    WindowOptions window{}; // for the window mode
};

// args excludes the program name. Pure; any thread.
ProgramModeChoice ChooseProgramMode(const std::vector<std::string>& args);

struct WindowParse {
    std::optional<WindowOptions> options; // empty when the arguments are unusable
    std::string error;
};

// args excludes the program name. Pure; any thread.
WindowParse ParseWindowArgs(const std::vector<std::string>& args);

// The whole usage: the modes, then the headless mode's arguments.
extern const char* const kProgramUsage;

} // namespace orvanta::app
