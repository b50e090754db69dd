#pragma once

#include <chrono>
#include <optional>

namespace orvanta::serial {

// Read and write failures that do not break the port by themselves come in runs, one per
// retry. The first failure of a run is reported, the others are not; the monitor waits
// kRetryDelay before it tries again, and a run that goes on for kBrokenAfter makes the port
// broken. A success, or a pause of kRunGap without failures, ends the run. Owned by the
// monitor thread.
class FailureRun {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kRetryDelay{100};
    static constexpr std::chrono::milliseconds kRunGap{1000};
    static constexpr std::chrono::milliseconds kBrokenAfter{2000};

    struct Verdict {
        bool report = false;
        bool broken = false;
    };

    Verdict OnFailure(Clock::time_point now);
    void OnSuccess() { m_started.reset(); }

private:
    std::optional<Clock::time_point> m_started;
    Clock::time_point m_last{};
};

} // namespace orvanta::serial
