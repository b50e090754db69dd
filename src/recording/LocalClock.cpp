#include "recording/LocalClock.h"

#include <ctime>

namespace orvanta::recording {

LocalTime SystemLocalClock::Now() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    localtime_r(&now.tv_sec, &parts);
    LocalTime local;
    local.year = parts.tm_year + 1900;
    local.month = parts.tm_mon + 1;
    local.day = parts.tm_mday;
    local.hour = parts.tm_hour;
    local.minute = parts.tm_min;
    local.second = parts.tm_sec;
    local.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    return local;
}

} // namespace orvanta::recording
