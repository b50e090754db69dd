#include "serial/ArrivalClock.h"

#include <ctime>

namespace orvanta::serial {

namespace {
std::int64_t Nanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}
} // namespace

ClockReading SystemArrivalClock::Now() const {
    return {Nanoseconds(CLOCK_REALTIME), Nanoseconds(CLOCK_MONOTONIC)};
}

} // namespace orvanta::serial
