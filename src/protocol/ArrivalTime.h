#pragma once

#include <cstdint>

namespace orvanta::protocol {

// When a block of received bytes was read: both clocks, in nanoseconds. A frame carries the
// time of the block that completed it.
struct ArrivalTime {
    std::int64_t realtimeNs = 0;  // CLOCK_REALTIME, since the epoch
    std::int64_t monotonicNs = 0; // CLOCK_MONOTONIC
};

} // namespace orvanta::protocol
