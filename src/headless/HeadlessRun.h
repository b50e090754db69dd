#pragma once

#include "config/FileLayout.h"
#include "headless/HeadlessOptions.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace orvanta::headless {

// Where the headless run finds its files and writes its lines.
inline constexpr int kStatusNotRecorded = 5;
inline constexpr int kStatusDeviceAway = 6;

struct HeadlessEnvironment {
    std::filesystem::path configPath;
    std::filesystem::path dataDirectory; // the default data directory
    bool systemLocaleIsChineseChina = false;
    std::filesystem::path systemRoot = "/"; // where the ports are looked for (sys/, dev/)
    std::ostream* out = nullptr;            // status lines and the echo; null: stdout
    std::ostream* err = nullptr;            // messages; null: stderr
};

// Runs the program without a window: the same initialisation, connect sequence, polling
// and recording as the window, a status line each second, messages as
// "<caption>: <text>". Ends after the duration or on SIGINT/SIGTERM through the window's
// close handling, and a replay also at the end of its capture (with one more status line).
// Returns the exit status: 0; 3 when no port could be opened (or the file to replay is not
// a capture); 4 when the capture was damaged (what came before the damage was replayed);
// 5 when the CSV file or the capture could not be created, or rows or capture records
// could not be written and were lost; 6 when the device dropped off and had not come back
// by the end.
// Several ports run side by side, each on its own thread, with their own files named after
// the port and their lines prefixed "PORT: "; the status is then CombinePortStatuses'.
// Main thread.
int RunHeadless(const HeadlessOptions& options, const HeadlessEnvironment& environment);

// The status of a run of several ports: 3 only when no port opened; otherwise, ports that
// did not open aside, the first of 2, 5, 4 and 6 that a port ended with, else 0.
int CombinePortStatuses(const std::vector<int>& statuses);

// The port list as the window offers it (without the guesses offered when there is no port
// at all), one port a line: path, a tab, what it is.
void PrintPortList(std::ostream& out, const std::filesystem::path& configPath,
                   const std::string& sysfsRoot, const std::string& deviceDir = "/dev");
} // namespace orvanta::headless
