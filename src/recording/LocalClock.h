#pragma once

#include <cstdint>

namespace orvanta::recording {

// A local calendar time with milliseconds, as the row time stamps and file names use it.
struct LocalTime {
    int year = 1970;
    int month = 1; // 1-12
    int day = 1;   // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The computer's local time at realtimeNs (nanoseconds since the epoch). Any thread.
LocalTime LocalTimeAt(std::int64_t realtimeNs);

// Nanoseconds since the epoch as whole seconds and the nanoseconds after them, floored, so
// an instant before the epoch keeps its fraction from 0 to 999,999,999. Pure; any thread.
struct EpochParts {
    std::int64_t seconds;
    std::int64_t nanoseconds;
};
EpochParts SplitEpochNs(std::int64_t realtimeNs);

// The source of local time; injected so tests fix file names and time stamps.
// Implementations must be callable from any thread.
class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual LocalTime Now() const = 0;
    // The local time of an instant taken earlier (a block's arrival).
    virtual LocalTime At(std::int64_t realtimeNs) const { return LocalTimeAt(realtimeNs); }
};

// The computer's local time zone and clock. Any thread.
class SystemLocalClock final : public LocalClock {
public:
    LocalTime Now() const override;
};

} // namespace orvanta::recording
