#include "devsim/CommandParser.h"

#include "protocol/FrameCrc16.h"

#include <algorithm>

namespace orvanta::devsim {

namespace {
constexpr std::size_t kMaxFrame = 512;
}

ParseStep ParseNextCommand(std::span<const std::uint8_t> bytes) {
    ParseStep step;
    const auto sync = std::find(bytes.begin(), bytes.end(), std::uint8_t{0xFF});
    if (sync != bytes.begin()) {
        step.kind = ParseStep::Kind::Skipped;
        step.consumed = static_cast<std::size_t>(sync - bytes.begin());
        return step;
    }
    if (bytes.size() < 5) {
        return step; // NeedMore (also for an empty input)
    }
    const std::size_t length = (std::size_t{bytes[3]} << 8) | bytes[4];
    const std::size_t total = length + 8;
    if (total > kMaxFrame) {
        // Not a frame start after all; look for the next sync byte.
        step.kind = ParseStep::Kind::Skipped;
        step.consumed = 1;
        return step;
    }
    if (bytes.size() < total) {
        return step;
    }
    if (bytes[total - 1] != 0x03) {
        step.kind = ParseStep::Kind::Skipped;
        step.consumed = 1;
        return step;
    }
    step.consumed = total;
    const std::uint16_t crc = protocol::FrameCrc16(bytes.data() + 2, length + 3);
    if (bytes[5 + length] != (crc >> 8) || bytes[6 + length] != (crc & 0xFF)) {
        step.kind = ParseStep::Kind::BadChecksum;
        return step;
    }
    step.kind = ParseStep::Kind::Command;
    step.command.code = bytes[2];
    step.command.payload.assign(bytes.begin() + 5, bytes.begin() + 5 + length);
    return step;
}

} // namespace orvanta::devsim
