#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvanta::recording {

// The writer thread's waits, injected so tests can shorten or step them.
// SleepFor is called by the writer thread; Interrupt and Rearm by the thread that
// starts and stops the recording, Wake by any other thread. Implementations must be safe
// for that split.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Waits for `duration`; returns false when Interrupt cut the wait short.
    virtual bool SleepFor(std::chrono::milliseconds duration) = 0;
    // Ends the current wait and makes every later one return at once, until Rearm.
    virtual void Interrupt() = 0;
    virtual void Rearm() = 0;
    // Ends the current wait, or the next one if none is under way, and only that one.
    virtual void Wake() = 0;
};

// Real waits on the steady clock. `timeScale` below 1 shortens them (tests only).
class SystemSleeper final : public Sleeper {
public:
    explicit SystemSleeper(double timeScale = 1.0) : timeScale_(timeScale) {}
    bool SleepFor(std::chrono::milliseconds duration) override;
    void Interrupt() override;
    void Rearm() override;
    void Wake() override;

private:
    const double timeScale_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool interrupted_ = false;
    bool woken_ = false;
};

} // namespace orvanta::recording
