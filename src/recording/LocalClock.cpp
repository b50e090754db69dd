#include "recording/LocalClock.h"

#include <ctime>

namespace orvanta::recording {

EpochParts SplitEpochNs(std::int64_t realtimeNs) {
    EpochParts parts{realtimeNs / 1'000'000'000, realtimeNs % 1'000'000'000};
    if (parts.nanoseconds < 0) {
        parts.nanoseconds += 1'000'000'000;
        --parts.seconds;
    }
    return parts;
}

LocalTime LocalTimeAt(std::int64_t realtimeNs) {
    const EpochParts epoch = SplitEpochNs(realtimeNs);
    const std::int64_t rest = epoch.nanoseconds;
    const auto whole = static_cast<std::time_t>(epoch.seconds);
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
