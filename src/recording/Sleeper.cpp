#include "recording/Sleeper.h"

namespace orvanta::recording {

bool SystemSleeper::SleepFor(std::chrono::milliseconds duration) {
    const auto scaled = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(static_cast<double>(duration.count()) *
                                                  timeScale_));
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, scaled, [this] { return interrupted_ || woken_; });
    woken_ = false;
    return !interrupted_;
}

void SystemSleeper::Interrupt() {
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

void SystemSleeper::Rearm() {
    std::lock_guard lock(mutex_);
    interrupted_ = false;
}

void SystemSleeper::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

} // namespace orvanta::recording
