#include "host/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <iterator>
#include <unistd.h>

namespace orvanta::host {

namespace {

std::atomic<bool> g_requested{false};
std::atomic<int> g_wakeFd{-1};
// A closed terminal or SSH session (SIGHUP) and Ctrl+\ (SIGQUIT) end the program as a
// logout does, everything written out.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_old[std::size(kStopSignals)]{};
bool g_installed[std::size(kStopSignals)]{};

extern "C" void OnStopSignal(int) {
    const int savedErrno = errno;
    g_requested = true;
    if (const int fd = g_wakeFd.load(); fd >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(fd, &one, sizeof one);
    }
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals(int wakeFd) {
    g_requested = false;
    g_wakeFd = wakeFd;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        g_installed[i] = false;
        if (sigaction(kStopSignals[i], nullptr, &g_old[i]) != 0) {
            continue;
        }
        // A run started with nohup keeps ignoring the hang-up it was told to ignore.
        if (kStopSignals[i] == SIGHUP && g_old[i].sa_handler == SIG_IGN) {
            continue;
        }
        g_installed[i] = sigaction(kStopSignals[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        if (g_installed[i]) {
            sigaction(kStopSignals[i], &g_old[i], nullptr);
        }
    }
    g_wakeFd = -1;
}

bool StopSignals::Requested() {
    return g_requested.load();
}

} // namespace orvanta::host
