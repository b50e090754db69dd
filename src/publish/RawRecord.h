#pragma once

#include "recording/CaptureFormat.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The "raw" payload: one capture record as a capture file holds it, so that a subscriber
// rebuilds the session by writing a pcap file header and the messages one after the other.
// Pure; any thread.
namespace orvanta::publish {

// The pcap record header, little-endian (seconds, nanoseconds, captured length, original
// length), then the direction byte, then the bytes.
inline constexpr std::size_t kRawHeaderSize = 16;

std::string BuildRawRecord(recording::CaptureDirection direction, const std::uint8_t* bytes,
                           std::size_t length, std::int64_t timeNs);

struct RawRecord {
    recording::CaptureDirection direction = recording::CaptureDirection::DeviceToHost;
    std::int64_t timeNs = 0;
    std::span<const std::uint8_t> bytes; // into the payload parsed
};

// Nothing for a payload that is not one whole record (short, lengths that disagree, an
// unknown direction, nanoseconds past a second).
std::optional<RawRecord> ParseRawRecord(std::span<const std::uint8_t> payload);

// The notes in force: later values of a key replace earlier ones, keys keep the order in
// which they first came; "gap" is an event, not a setting, and is not kept.
void MergeNote(recording::CaptureNote& inForce, const recording::CaptureNote& note);

} // namespace orvanta::publish
