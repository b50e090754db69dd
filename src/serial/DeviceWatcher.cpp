#include "serial/DeviceWatcher.h"

#include <cerrno>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace orvanta::serial {

namespace {

constexpr std::uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

int PollOne(pollfd* set, nfds_t count, int timeoutMs) {
    int r;
    while ((r = ::poll(set, count, timeoutMs)) < 0 && errno == EINTR) {
    }
    return r;
}

} // namespace

DeviceWatcher::~DeviceWatcher() {
    Stop();
    Close();
}

SerialError DeviceWatcher::Open(std::vector<std::string> folders) {
    Close();
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0) {
        return SerialError::FromErrno(errno);
    }
    m_folders = std::move(folders);
    Arm();
    return {};
}

void DeviceWatcher::Close() {
    if (m_inotify >= 0) {
        ::close(m_inotify);
        m_inotify = -1;
    }
}

void DeviceWatcher::Arm() {
    namespace fs = std::filesystem;
    for (const std::string& folder : m_folders) {
        // Watching an already watched folder again changes nothing.
        for (fs::path dir = folder; !dir.empty(); dir = dir.parent_path()) {
            if (::inotify_add_watch(m_inotify, dir.c_str(), kChanges) >= 0 ||
                dir == dir.root_path()) {
                break;
            }
        }
    }
}

bool DeviceWatcher::Drain() {
    bool any = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return any;
    }
}

bool DeviceWatcher::WaitForQuiet(int stopFd) {
    const auto end = std::chrono::steady_clock::now() + kLongestBurst;
    for (;;) {
        Drain();
        Arm();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd set[2] = {{m_inotify, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int r = PollOne(set, 2, static_cast<int>(std::min(left, kQuiet).count()));
        if (r > 0 && set[1].revents != 0) {
            return false;
        }
        if (r <= 0) {
            return true;
        }
    }
}

SerialError DeviceWatcher::Start(std::vector<std::string> folders, std::function<void()> onChange) {
    Stop();
    if (!m_stop.Create()) {
        return SerialError::FromErrno(errno);
    }
    m_stop.Reset();
    if (SerialError error = Open(std::move(folders))) {
        return error;
    }
    m_onChange = std::move(onChange);
    m_thread = std::thread([this] { Run(); });
    return {};
}

void DeviceWatcher::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop.Signal();
    if (std::this_thread::get_id() == m_thread.get_id()) {
        return; // from onChange: the loop ends when it returns; joined by the next Stop
    }
    m_thread.join();
    Close();
}

void DeviceWatcher::Run() {
    for (;;) {
        pollfd set[2] = {{m_inotify, POLLIN, 0}, {m_stop.fd(), POLLIN, 0}};
        if (PollOne(set, 2, -1) < 0 || set[1].revents != 0) {
            return;
        }
        if (!WaitForQuiet(m_stop.fd())) {
            return;
        }
        if (m_onChange) {
            m_onChange();
        }
    }
}

} // namespace orvanta::serial
