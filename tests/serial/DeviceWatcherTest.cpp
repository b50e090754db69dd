#include "serial/DeviceWatcher.h"

#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <thread>

namespace orvanta::serial {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Counter {
public:
    void Bump() {
        std::lock_guard lock(m_mutex);
        ++m_count;
        m_changed.notify_all();
    }
    // The deadline only keeps a fault from hanging the run.
    int WaitAbove(int count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, 10s, [&] { return m_count > count; });
        return m_count;
    }
    int Count() {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

// A folder that appears later (by-id) is watched from its parent until it exists; a burst
// of nodes is one change; after Stop nothing more is heard.
TEST(DeviceWatcherTest, SeesNodesAndLinksAppearAndVanish) {
    testing::TempDir dir;
    const fs::path byId = dir.path() / "serial" / "by-id";
    Counter changes;
    DeviceWatcher watcher;
    ASSERT_FALSE(watcher.Start({dir.path().string(), byId.string()}, [&] { changes.Bump(); }));

    testing::WriteFile(dir.path() / "ttyUSB0", "");
    int seen = changes.WaitAbove(0);
    ASSERT_GE(seen, 1);
    fs::create_directories(byId);
    seen = changes.WaitAbove(seen);
    fs::create_symlink("../../ttyUSB0", byId / "usb-A123");
    seen = changes.WaitAbove(seen);
    fs::remove(byId / "usb-A123");
    seen = changes.WaitAbove(seen);

    const int before = seen;
    for (int i = 0; i < 20; ++i) {
        testing::WriteFile(dir.path() / ("ttyACM" + std::to_string(i)), "");
    }
    changes.WaitAbove(before);
    std::this_thread::sleep_for(2 * DeviceWatcher::kLongestBurst);
    EXPECT_LT(changes.Count() - before, 20) << "a burst is not a change per node";
    watcher.Stop();
}

// The form the serial port uses inside its own poll loop.
TEST(DeviceWatcherTest, TheDescriptorWakesAPollLoopUntilAStopIsAsked) {
    testing::TempDir dir;
    DeviceWatcher watcher;
    ASSERT_FALSE(watcher.Open({(dir.path() / "link-folder").string()}));
    fs::create_directories(dir.path() / "link-folder");
    pollfd p{watcher.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 10000), 1);
    EXPECT_TRUE(watcher.WaitForQuiet(-1));
    fs::create_symlink("/dev/null", dir.path() / "link-folder" / "sensor");
    ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the new folder is watched now";
    EventFd stop;
    ASSERT_TRUE(stop.Create());
    stop.Signal();
    EXPECT_FALSE(watcher.WaitForQuiet(stop.fd()));
}

} // namespace
} // namespace orvanta::serial
