#pragma once

#include <chrono>
#include <thread>

// Waiting in tests for something another thread or a loop brings about: poll a condition,
// pump between the polls, give up at a deadline that only keeps a fault from hanging the run.
namespace orvanta::testing {

// Calls pump() until done() holds or timeout has passed; returns done().
template <typename Done, typename Pump>
bool PumpUntil(Done&& done, std::chrono::milliseconds timeout, Pump&& pump) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        pump();
    }
    return done();
}

// Calls pump() until span has passed.
template <typename Pump> void PumpFor(std::chrono::milliseconds span, Pump&& pump) {
    PumpUntil([] { return false; }, span, pump);
}

// Sleeps step between the polls: for what other threads bring about.
template <typename Done>
bool WaitUntil(Done&& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
    return PumpUntil(done, timeout, [step] { std::this_thread::sleep_for(step); });
}

// A pump that runs one call a queue holds for this thread (DispatchOne), or naps when it
// holds none.
template <typename Queue> auto DispatchOrNap(Queue& queue) {
    return [&queue] {
        if (!queue.DispatchOne()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
}

} // namespace orvanta::testing
