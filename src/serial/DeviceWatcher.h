#pragma once

#include "serial/EventFd.h"
#include "serial/SerialError.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orvanta::serial {

// Notices device nodes and links appearing or vanishing in a few folders (inotify; the
// device folder is a devtmpfs, whose changes inotify reports). A folder that does not
// exist yet (/dev/serial/by-id before the first USB adapter) is watched for from its
// nearest existing parent. A burst of changes (node, then udev's permissions, then its
// links) counts as one.
//
// Two ways to use it. Waiting in one's own poll loop: Open, poll fd() for input, then
// WaitForQuiet; all on one thread. Or Start, which runs its own thread and calls onChange
// on that thread after each burst; Start and Stop belong to the thread that owns the
// watcher, and onChange must not wait for that thread (Stop joins the watcher's thread).
class DeviceWatcher {
public:
    // A burst ends after this long without changes, or at the latest after kLongestBurst.
    static constexpr std::chrono::milliseconds kQuiet{50};
    static constexpr std::chrono::milliseconds kLongestBurst{300};

    DeviceWatcher() = default;
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    SerialError Open(std::vector<std::string> folders);
    void Close();
    bool IsOpen() const { return m_inotify >= 0; }
    int fd() const { return m_inotify; }
    // Takes the changes that wait and those that follow until the burst ends. False when
    // stopFd became readable meanwhile.
    bool WaitForQuiet(int stopFd);

    SerialError Start(std::vector<std::string> folders, std::function<void()> onChange);
    void Stop();

private:
    // Watches each folder, or its nearest existing parent while it is missing; again after
    // every burst, since folders come and go.
    void Arm();
    bool Drain();
    void Run();

    int m_inotify = -1;
    std::vector<std::string> m_folders;
    EventFd m_stop;
    std::thread m_thread;
    std::function<void()> m_onChange;
};

} // namespace orvanta::serial
