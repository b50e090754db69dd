#include "protocol/CommandFrame.h"

#include "protocol/FrameCrc16.h"

#include <algorithm>

namespace orvanta::protocol {

namespace {

CommandFrame FinishFrame(CommandCode code, std::span<const std::uint8_t> payload) {
    CommandFrame frame;
    auto& b = frame.bytes;
    const std::size_t length = payload.size();
    b[0] = 0xFF;
    b[1] = 0x02;
    b[2] = static_cast<std::uint8_t>(code);
    b[3] = static_cast<std::uint8_t>(length >> 8);
    b[4] = static_cast<std::uint8_t>(length & 0xFF);
    std::copy(payload.begin(), payload.end(), b.begin() + CommandFrame::kHeaderSize);
    const std::uint16_t crc = FrameCrc16(b.data() + 2, length + 3);
    std::size_t at = CommandFrame::kHeaderSize + length;
    b[at++] = static_cast<std::uint8_t>(crc >> 8);
    b[at++] = static_cast<std::uint8_t>(crc & 0xFF);
    b[at++] = 0x03;
    frame.length = at;
    return frame;
}

} // namespace

CommandFrame BuildBareCommand(CommandCode code) { return FinishFrame(code, {}); }

CommandFrame BuildByteCommand(CommandCode code, std::uint8_t value) {
    const std::uint8_t payload[1] = {value};
    return FinishFrame(code, payload);
}

CommandFrame BuildMaskCommand(CommandCode code, std::uint32_t mask) {
    const std::uint8_t payload[4] = {
        static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
        static_cast<std::uint8_t>(mask >> 16), static_cast<std::uint8_t>(mask >> 24)};
    return FinishFrame(code, payload);
}

CommandFrame BuildWriteCommand(CommandCode code, std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, CommandFrame::kMaxWriteData + 1> payload{};
    const std::size_t n = std::min(data.size(), CommandFrame::kMaxWriteData);
    std::copy_n(data.begin(), n, payload.begin() + 1);
    return FinishFrame(code, std::span<const std::uint8_t>(payload.data(), n + 1));
}

} // namespace orvanta::protocol
