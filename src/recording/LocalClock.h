#pragma once

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

// The source of local time; injected so tests fix file names and time stamps.
// Implementations must be callable from any thread.
class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual LocalTime Now() const = 0;
};

// The computer's local time zone and clock. Any thread.
class SystemLocalClock final : public LocalClock {
public:
    LocalTime Now() const override;
};

} // namespace orvanta::recording
