#pragma once

#include <cstddef>
#include <cstdint>

namespace orvanta::protocol {

// CRC-16 with the KERMIT parameters (reflected polynomial 0x8408, initial 0,
// no final XOR). Frames carry it high byte first. Pure; any thread.
std::uint16_t FrameCrc16(const std::uint8_t* data, std::size_t length);

} // namespace orvanta::protocol
