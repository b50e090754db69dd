#include "host/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <unistd.h>

namespace orvanta::host {

namespace {

std::atomic<bool> g_requested{false};
std::atomic<int> g_wakeFd{-1};
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};

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
    sigaction(SIGINT, &action, &g_oldInt);
    sigaction(SIGTERM, &action, &g_oldTerm);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &g_oldInt, nullptr);
    sigaction(SIGTERM, &g_oldTerm, nullptr);
    g_wakeFd = -1;
}

bool StopSignals::Requested() {
    return g_requested.load();
}

} // namespace orvanta::host
