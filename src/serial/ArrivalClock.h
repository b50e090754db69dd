#pragma once

#include <cstdint>

namespace orvanta::serial {

// The two clocks a received block is stamped with, read at one moment.
struct ClockReading {
    std::int64_t realtimeNs = 0;  // CLOCK_REALTIME: when, in calendar time
    std::int64_t monotonicNs = 0; // CLOCK_MONOTONIC: for intervals the wall clock cannot skew
};

// Stamps the blocks the monitor thread reads; injected so tests see known times. Now() is
// called on the monitor thread.
class ArrivalClock {
public:
    virtual ~ArrivalClock() = default;
    virtual ClockReading Now() const = 0;
};

// The system's CLOCK_REALTIME and CLOCK_MONOTONIC. Any thread.
class SystemArrivalClock final : public ArrivalClock {
public:
    ClockReading Now() const override;
};

} // namespace orvanta::serial
