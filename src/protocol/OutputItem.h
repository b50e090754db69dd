#pragma once

#include <cstdint>

namespace orvanta::protocol {

// The thirteen selectable output items, each one bit of the 32-bit item mask.
// Present items follow each other in a data frame in ascending bit order.
enum class OutputItem : std::uint32_t {
    Euler = 0x2,
    Gyro = 0x8,
    Acc = 0x10,
    Mag = 0x20,
    Tempe = 0x40,
    Runtime = 0x800,
    Gps = 0x10000,
    Qne = 0x20000,
    Baro = 0x40000,
    Position = 0x80000,
    Velocity = 0x100000,
    Utc = 0x2000000,
    MagHead = 0x8000000,
};

inline constexpr int kOutputItemCount = 13;
inline constexpr std::uint32_t kAllOutputItems = 0x2 | 0x8 | 0x10 | 0x20 | 0x40 | 0x800 | 0x10000 |
                                                 0x20000 | 0x40000 | 0x80000 | 0x100000 |
                                                 0x2000000 | 0x8000000;
// Payload bytes of a data frame that carries all thirteen items.
inline constexpr std::uint32_t kAllOutputItemsPayload = 121;

constexpr std::uint32_t Bit(OutputItem item) {
    return static_cast<std::uint32_t>(item);
}

} // namespace orvanta::protocol
