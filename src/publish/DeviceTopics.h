#pragma once

#include <string>
#include <string_view>

// The topics of one device under a prefix. Pure; any thread.
namespace orvanta::publish {

// A device name as one topic level: "/", "+", "#", control characters and a leading "$"
// (the broker's own topics) become "_"; an empty name becomes "device".
std::string SafeTopicLevel(std::string_view name);

struct DeviceTopics {
    std::string values, raw, notes, status;
};

// prefix/device/values ...; an empty prefix leaves the device as the first level.
DeviceTopics TopicsFor(std::string_view prefix, std::string_view safeDevice);

} // namespace orvanta::publish
