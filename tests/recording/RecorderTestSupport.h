#pragma once

#include "recording/LocalClock.h"
#include "recording/RecorderMessages.h"
#include "recording/Sleeper.h"
#include "support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orvanta::recording::testing {

class FakeClock final : public LocalClock {
public:
    explicit FakeClock(LocalTime time) : time_(time) {}
    LocalTime Now() const override {
        std::lock_guard lock(mutex_);
        return time_;
    }
    void Set(LocalTime time) {
        std::lock_guard lock(mutex_);
        time_ = time;
    }

private:
    mutable std::mutex mutex_;
    LocalTime time_;
};

// Every wait blocks until the test releases it, so a test walks the writer step by step.
class StepSleeper final : public Sleeper {
public:
    bool SleepFor(std::chrono::milliseconds duration) override {
        std::unique_lock lock(mutex_);
        requests_.push_back(duration);
        changed_.notify_all();
        changed_.wait(lock, [this] { return releases_ > 0 || interrupted_ || woken_; });
        if (interrupted_) {
            return false;
        }
        if (woken_) {
            woken_ = false;
        } else {
            --releases_;
        }
        return true;
    }
    void Interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        changed_.notify_all();
    }
    void Rearm() override {
        std::lock_guard lock(mutex_);
        interrupted_ = false;
    }
    void Wake() override {
        std::lock_guard lock(mutex_);
        woken_ = true;
        changed_.notify_all();
    }
    // The duration of the next wait the writer enters (0 ms if none comes within 5 s).
    std::chrono::milliseconds NextSleep() {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::seconds(5),
                               [this] { return requests_.size() > seen_; })) {
            return std::chrono::milliseconds(0);
        }
        return requests_[seen_++];
    }
    // Waits until the writer is in a wait NextSleep has not returned yet (false after 5 s).
    bool AwaitWaiting() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5),
                                 [this] { return requests_.size() > seen_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        ++releases_;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::chrono::milliseconds> requests_;
    std::size_t seen_ = 0;
    int releases_ = 0;
    bool interrupted_ = false;
    bool woken_ = false;
};

class MessageLog final : public RecorderMessages {
public:
    void ShowMessage(const std::string& caption, const std::string& text) override {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(caption, text);
    }
    std::vector<std::pair<std::string, std::string>> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> messages_;
};

// A small tmpfs mounted at a folder while it lives: a real disk that fills up. Mounted()
// is false where mounting is not allowed (not root, no mount namespace rights).
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& at, std::size_t bytes, bool readOnly = false) : at_(at) {
        std::filesystem::create_directories(at);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("orvanta-test", at.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0,
                           options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_ && ::umount(at_.c_str()) != 0) {
            ::umount2(at_.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
};

// Writes to path until the disk is full; true when it filled up.
inline bool FillDisk(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const std::string chunk(4096, 'f');
    bool full = false;
    for (int i = 0; i < 1 << 20 && !full; ++i) {
        full = ::write(fd, chunk.data(), chunk.size()) < 0 && errno == ENOSPC;
    }
    ::close(fd);
    return full;
}

using orvanta::testing::ReadFile;
using orvanta::testing::TempDir;
using orvanta::testing::WriteFile;

} // namespace orvanta::recording::testing
