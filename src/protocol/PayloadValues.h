#pragma once

#include <bit>
#include <cstdint>

// The little-endian numbers of a data frame's payload, and the degrees the decoders show.
// Pure; any thread. p must point at the whole number.
namespace orvanta::protocol {

inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline float ReadF32(const std::uint8_t* p) {
    return std::bit_cast<float>(ReadU32(p));
}

inline double ReadF64(const std::uint8_t* p) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = bits << 8 | p[i];
    }
    return std::bit_cast<double>(bits);
}

// The product in single precision, the division by a truncated pi in double: the shown
// texts depend on both, so they stay exactly so.
inline float ToDegrees(float radians) {
    const float product = radians * 180.0f;
    return static_cast<float>(static_cast<double>(product) / 3.14159265);
}

} // namespace orvanta::protocol
