#pragma once

#include "protocol/FrameEnvelope.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvanta::protocol {

// Command codes of host-to-device frames.
enum class CommandCode : std::uint8_t {
    SetDeviceBaud = 0x12,
    SaveSettings = 0x24,
    SetDeclination = 0x40,
    QueryDeclination = 0x41,
    SetItemMask = 0x50,
    QueryItemMask = 0x51,
    SetOutputMode = 0x53,
    PollDefault = 0x56,
    PollSpecified = 0x58,
    Calibrate = 0x70,
    SetGravity = 0xB1,
    QueryGravity = 0xB2,
};

// Calibration actions carried by Calibrate.
enum class CalibrationAction : std::uint8_t { Start = 0x08, Stop = 0x0A, GiveUp = 0x09 };

// Host frame: FF 02 code L(hi) L(lo) payload CRC(hi) CRC(lo) 03; L + 8 bytes.
struct CommandFrame {
    static constexpr std::size_t kHeaderSize = kFrameHeaderSize;
    static constexpr std::size_t kOverhead = kFrameOverhead;
    static constexpr std::size_t kMaxWriteData = 255;
    static constexpr std::size_t kCapacity = kMaxWriteData + 1 + kOverhead;

    std::array<std::uint8_t, kCapacity> bytes{};
    std::size_t length = 0;

    std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

// The four builder shapes. Each returns the complete frame; sending is the caller's.
CommandFrame BuildBareCommand(CommandCode code);
CommandFrame BuildByteCommand(CommandCode code, std::uint8_t value);
CommandFrame BuildMaskCommand(CommandCode code, std::uint32_t mask);
// One zero byte, then the data bytes (at most kMaxWriteData); L counts the zero byte.
CommandFrame BuildWriteCommand(CommandCode code, std::span<const std::uint8_t> data);

} // namespace orvanta::protocol
