#pragma once

#include "host/HostUi.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace orvanta::host {

// A main-thread event loop without a toolkit, for the headless front end and the
// tests: window-style timers keyed by id, and a wake-up that other threads trigger when
// they queue calls for the main thread. StartTimer, KillTimer and Run belong to the
// main thread; Wake and Quit may be called from any thread.
class MainLoop : public TimerService {
public:
    using Clock = std::chrono::steady_clock;

    // onTimer gets each due timer's id; dispatch runs the queued calls.
    MainLoop(std::function<void(int)> onTimer, std::function<void()> dispatch);

    void StartTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    bool TimerRunning(int id) const { return timers_.count(id) != 0; }

    void Wake();
    void Quit();
    bool QuitRequested() const { return quit_.load(); }

    // Runs until Quit, the deadline, or stop() says so (checked at least every 50 ms).
    void Run(Clock::time_point deadline, const std::function<bool()>& stop = {});

private:
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    std::function<void(int)> onTimer_;
    std::function<void()> dispatch_;
    std::map<int, Timer> timers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    std::atomic<bool> quit_{false};
};

} // namespace orvanta::host
