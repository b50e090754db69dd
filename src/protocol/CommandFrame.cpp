#include "protocol/CommandFrame.h"

#include "protocol/FrameEnvelope.h"

#include <algorithm>

namespace orvanta::protocol {

namespace {

CommandFrame FinishFrame(CommandCode code, std::span<const std::uint8_t> payload) {
    CommandFrame frame;
    frame.length =
        EncodeFrameInto(frame.bytes, kHostFrame, static_cast<std::uint8_t>(code), payload);
    return frame;
}

} // namespace

CommandFrame BuildBareCommand(CommandCode code) {
    return FinishFrame(code, {});
}

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
