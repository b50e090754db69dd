#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orvanta::protocol {

// The answer-mode poll worker: a thread that runs one step, then sleeps the poll
// interval, while it is not suspended. It is created suspended; a suspension takes
// effect between two steps. Suspend, Resume, SetInterval and Stop may be called from
// any thread (the step itself may suspend the worker); Stop must not be called from
// the step. The step runs on the worker thread.
class PollWorker {
public:
    using Step = std::function<void()>;

    PollWorker() = default;
    ~PollWorker() { Stop(); }
    PollWorker(const PollWorker&) = delete;
    PollWorker& operator=(const PollWorker&) = delete;

    // Creates the thread, suspended. Asks for the highest priority of the normal
    // scheduling class and stays at normal priority when that is not permitted.
    void Start(Step step);

    // Both return whether the state changed, so a suspension is never doubled.
    bool Suspend();
    bool Resume();
    bool Suspended() const { return m_bSuspended.load(); }

    void SetInterval(std::chrono::milliseconds interval) { m_interval.store(interval.count()); }
    std::chrono::milliseconds Interval() const {
        return std::chrono::milliseconds(m_interval.load());
    }

    // Ends the loop, waking a suspended or sleeping worker, and joins it. The
    // waitHook runs on the calling thread while it waits, so a caller whose thread
    // serves the step's blocking calls can keep serving them.
    void Stop(const std::function<void()>& waitHook = {});

    bool Running() const { return m_bRun.load() && m_thread.joinable(); }

private:
    void Loop();

    Step m_step;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_bRun{false};
    std::atomic<bool> m_bSuspended{true};
    std::atomic<bool> m_bFinished{false};
    std::atomic<long long> m_interval{5000};
};

} // namespace orvanta::protocol
