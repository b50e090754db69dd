#include "recording/LocalClock.h"

#include <ctime>

namespace orvanta::recording {

LocalTime LocalTimeAt(std::int64_t realtimeNs) {
    // Floored, so an instant before the epoch keeps milliseconds from 0 to 999.
    std::int64_t seconds = realtimeNs / 1'000'000'000;
    std::int64_t rest = realtimeNs % 1'000'000'000;
    if (rest < 0) {
        rest += 1'000'000'000;
        --seconds;
    }
    const auto whole = static_cast<std::time_t>(seconds);
    std::tm parts{};
    localtime_r(&whole, &parts);
    LocalTime local;
    local.year = parts.tm_year + 1900;
    local.month = parts.tm_mon + 1;
    local.day = parts.tm_mday;
    local.hour = parts.tm_hour;
    local.minute = parts.tm_min;
    local.second = parts.tm_sec;
    local.millisecond = static_cast<int>(rest / 1'000'000);
    return local;
}

LocalTime SystemLocalClock::Now() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return LocalTimeAt(static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
}

} // namespace orvanta::recording
