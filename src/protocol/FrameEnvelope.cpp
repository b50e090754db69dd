#include "protocol/FrameEnvelope.h"

#include "protocol/FrameCrc16.h"

#include <algorithm>

namespace orvanta::protocol {

std::size_t EncodeFrameInto(std::span<std::uint8_t> out, std::uint8_t secondByte,
                            std::uint8_t command, std::span<const std::uint8_t> payload) {
    const std::size_t length = payload.size();
    if (length > kMaxFramePayload || out.size() < length + kFrameOverhead) {
        return 0;
    }
    out[0] = kFrameStart;
    out[1] = secondByte;
    out[2] = command;
    out[3] = static_cast<std::uint8_t>(length >> 8);
    out[4] = static_cast<std::uint8_t>(length & 0xFF);
    std::copy(payload.begin(), payload.end(), out.begin() + kFrameHeaderSize);
    const std::uint16_t crc = FrameCrc16(out.data() + 2, length + 3);
    std::size_t at = kFrameHeaderSize + length;
    out[at++] = static_cast<std::uint8_t>(crc >> 8);
    out[at++] = static_cast<std::uint8_t>(crc & 0xFF);
    out[at++] = kFrameEnd;
    return at;
}

std::vector<std::uint8_t> EncodeFrame(std::uint8_t secondByte, std::uint8_t command,
                                      std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame(payload.size() + kFrameOverhead);
    frame.resize(EncodeFrameInto(frame, secondByte, command, payload));
    return frame;
}

} // namespace orvanta::protocol
