#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A capture is a classic pcap file (nanosecond time stamps, link type LINKTYPE_USER0) in
// which every record's data starts with a direction byte; docs/capture-format.md.
namespace orvanta::recording {

enum class CaptureDirection : std::uint8_t {
    DeviceToHost = 0, // a block as the port handed it to the receiver
    HostToDevice = 1, // a command frame as it was queued for writing
    Note = 2,         // UTF-8 "key=value" lines
};

inline constexpr int kCaptureLinkType = 147;
// libpcap's largest record for this link type; longer blocks are split over records.
inline constexpr std::size_t kCaptureSnapLength = 262144;

// The keys of the first note, in the order they are written.
namespace note_key {
inline constexpr const char* kModel = "model";
inline constexpr const char* kBaud = "baud";
inline constexpr const char* kParity = "parity";
inline constexpr const char* kMode = "mode";
inline constexpr const char* kVersion = "version";
inline constexpr const char* kPort = "port";
inline constexpr const char* kDefaultItemMask = "default-item-mask";
inline constexpr const char* kSpecifiedItemMask = "specified-item-mask";
inline constexpr const char* kAngleUnit = "angle-unit";
inline constexpr const char* kAccelUnit = "accel-unit";
inline constexpr const char* kGravity = "gravity"; // the value the accelerations are divided by
inline constexpr const char* kGap = "gap"; // seconds the device was away, at its return
} // namespace note_key

using CaptureNote = std::vector<std::pair<std::string, std::string>>;

// "key=value" lines, each ended by a line feed; control characters in keys and values
// become spaces and "=" in a key becomes "-", so every line reads back as it was meant.
std::string FormatCaptureNote(const CaptureNote& note);
// Lines without "=" are skipped; a carriage return before the line feed is dropped.
CaptureNote ParseCaptureNote(std::string_view text);
// The last value given for key.
std::optional<std::string> NoteValue(const CaptureNote& note, std::string_view key);

} // namespace orvanta::recording
