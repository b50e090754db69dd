#include "serial/DeviceWatcher.h"

#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace orvanta::serial {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The deadline only keeps a fault from hanging the run.
int WaitAbove(const std::atomic<int>& count, int above) {
    for (int i = 0; i < 1000 && count <= above; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return count;
}

// by-id does not exist at the start: it is watched for from its parent. A burst of nodes
// is not one change per node.
TEST(DeviceWatcherTest, SeesNodesFoldersAndLinksAppear) {
    testing::TempDir dir;
    const fs::path byId = dir.path() / "serial" / "by-id";
    std::atomic<int> changes{0};
    DeviceWatcher watcher;
    ASSERT_FALSE(watcher.Start({dir.path().string(), byId.string()}, [&] { ++changes; }));
    int seen = 0;
    const std::function<void()> steps[] = {
        [&] { testing::WriteFile(dir.path() / "ttyUSB0", ""); },
        [&] { fs::create_directories(byId); },
        [&] { fs::create_symlink("../../ttyUSB0", byId / "usb-A123"); },
        [&] { fs::remove(byId / "usb-A123"); },
    };
    for (const auto& step : steps) {
        step();
        ASSERT_GT(WaitAbove(changes, seen), seen);
        seen = changes;
    }
    for (int i = 0; i < 20; ++i) {
        testing::WriteFile(dir.path() / ("ttyACM" + std::to_string(i)), "");
    }
    WaitAbove(changes, seen);
    std::this_thread::sleep_for(2 * DeviceWatcher::kLongestBurst);
    EXPECT_LT(changes - seen, 20);
    watcher.Stop();
}

} // namespace
} // namespace orvanta::serial
