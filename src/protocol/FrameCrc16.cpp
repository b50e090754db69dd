#include "protocol/FrameCrc16.h"

#include <array>

namespace orvanta::protocol {

namespace {

// Byte-at-a-time table of the bitwise algorithm: same result, eight times fewer steps.
constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        std::uint16_t crc = static_cast<std::uint16_t>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408u)
                             : static_cast<std::uint16_t>(crc >> 1);
        }
        table[byte] = crc;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();

} // namespace

std::uint16_t FrameCrc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu]);
    }
    return crc;
}

} // namespace orvanta::protocol
