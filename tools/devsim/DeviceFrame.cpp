#include "devsim/DeviceFrame.h"

#include "protocol/FrameCrc16.h"

namespace orvanta::devsim {

std::vector<std::uint8_t> BuildDeviceFrame(std::uint8_t code,
                                           std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 8);
    frame.push_back(0xFF);
    frame.push_back(0x00);
    frame.push_back(code);
    frame.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
    frame.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint16_t crc = protocol::FrameCrc16(frame.data() + 2, payload.size() + 3);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(0x03);
    return frame;
}

} // namespace orvanta::devsim
