#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvanta::devsim {

// A host command frame as the device understands it.
struct ParsedCommand {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> payload;
};

// One step of cutting host bytes into command frames.
struct ParseStep {
    enum class Kind {
        NeedMore,    // the bytes end inside a frame: keep them, add more, call again
        Command,     // a frame with a good checksum
        BadChecksum, // a complete frame whose checksum fails: ignored by the device
        Skipped,     // bytes that start no frame (no sync byte, a length over 504, no end byte)
    };
    Kind kind = Kind::NeedMore;
    std::size_t consumed = 0; // bytes to drop from the front before the next call
    ParsedCommand command;    // for Command
};

// Looks at the front of bytes: FF, any second byte, code, L (big-endian, at most 504),
// payload, checksum (high byte first) and the end byte 03. Pure, over any input; any thread.
ParseStep ParseNextCommand(std::span<const std::uint8_t> bytes);

} // namespace orvanta::devsim
