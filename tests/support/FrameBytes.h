#pragma once

// Frames built apart from protocol::EncodeFrame, so that a fault in the encoder still shows
// in the tests.
#include "protocol/FrameCrc16.h"

#include <cstdint>
#include <vector>

namespace orvanta::testing {

// FF, second byte, command, L (big-endian), payload, CRC (high byte first), 03.
inline std::vector<std::uint8_t> MakeFrame(std::uint8_t command,
                                           const std::vector<std::uint8_t>& payload,
                                           std::uint8_t second = 0x00) {
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 8);
    frame.push_back(0xFF);
    frame.push_back(second);
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint16_t crc = protocol::FrameCrc16(frame.data() + 2, payload.size() + 3);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(0x03);
    return frame;
}

} // namespace orvanta::testing
