#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The JSON payloads: one "values" object per decoded data frame and the "status" object.
// Pure; any thread.
namespace orvanta::publish {

// A data frame as the receiver decoded it: the item mask it was decoded with, its payload
// and what the decoders read it by.
struct DecodedFrame {
    std::uint32_t mask = 0;
    std::span<const std::uint8_t> payload;
    int modelIndex = 0;
    std::string_view modelName;
    float gravity = 9.8f;        // what the accelerations are divided by to give g
    std::int64_t realtimeNs = 0; // when the block that completed the frame was read
};

// {"time":"<ISO 8601 UTC, microseconds>","model":"...",<one member per value the frame
// carried>}: numbers in fixed units (angles in degrees, accelerations in g, whatever the
// window shows), GPS status and UTC as strings; docs/mqtt.md has the table. An item that
// does not lie wholly inside the payload is left out, as the decoders leave it.
std::string BuildValuesJson(const DecodedFrame& frame);

struct LinkStatus {
    bool online = false;
    std::string_view model;
    std::string_view port;
    std::uint32_t rateHz = 0;
    std::int32_t miscount = 0;
    std::uint64_t dropped = 0; // messages the publisher could not take so far
};

// {"state":"online"|"offline","model":...,"port":...,"rate_hz":N,"miscount":N,"dropped":N}
std::string BuildStatusJson(const LinkStatus& status);

// The last will: {"state":"offline"}.
std::string OfflineWillJson();

// text as a JSON string with its quotes; bytes that are not UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace orvanta::publish
