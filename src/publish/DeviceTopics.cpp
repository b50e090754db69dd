#include "publish/DeviceTopics.h"

namespace orvanta::publish {

std::string SafeTopicLevel(std::string_view name) {
    if (name.empty()) {
        return "device";
    }
    std::string safe(name);
    for (char& c : safe) {
        if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '_';
        }
    }
    if (safe.front() == '$') {
        safe.front() = '_';
    }
    return safe;
}

DeviceTopics TopicsFor(std::string_view prefix, std::string_view safeDevice) {
    std::string base = prefix.empty() ? std::string() : std::string(prefix) + "/";
    base += safeDevice;
    return {base + "/values", base + "/raw", base + "/notes", base + "/status"};
}

} // namespace orvanta::publish
