#include "host/MainLoop.h"

#include <algorithm>
#include <vector>

namespace orvanta::host {

MainLoop::MainLoop(std::function<void(int)> onTimer, std::function<void()> dispatch)
    : onTimer_(std::move(onTimer)), dispatch_(std::move(dispatch)) {}

void MainLoop::StartTimer(int id, int milliseconds) {
    const auto period = std::chrono::milliseconds(std::max(milliseconds, 1));
    timers_[id] = Timer{period, Clock::now() + period};
}

void MainLoop::KillTimer(int id) {
    timers_.erase(id);
}

void MainLoop::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_one();
}

void MainLoop::Quit() {
    quit_ = true;
    Wake();
}

void MainLoop::Run(Clock::time_point deadline, const std::function<bool()>& stop) {
    while (!quit_ && Clock::now() < deadline && !(stop && stop())) {
        dispatch_();
        Clock::time_point next = std::min(deadline, Clock::now() + std::chrono::milliseconds(50));
        for (const auto& [id, timer] : timers_) {
            next = std::min(next, timer.due);
        }
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, next, [this] { return woken_; });
            woken_ = false;
        }
        dispatch_();
        // Fire what is due; a handler may start or kill timers, so look each one up anew.
        const auto now = Clock::now();
        std::vector<int> due;
        for (const auto& [id, timer] : timers_) {
            if (timer.due <= now) {
                due.push_back(id);
            }
        }
        for (int id : due) {
            const auto it = timers_.find(id);
            if (it == timers_.end() || it->second.due > now) {
                continue;
            }
            it->second.due = now + it->second.period;
            onTimer_(id);
        }
    }
}

} // namespace orvanta::host
