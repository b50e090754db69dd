#include "publish/RawRecord.h"

#include <algorithm>

namespace orvanta::publish {

namespace {

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

constexpr std::int64_t kNsPerSecond = 1000000000;

} // namespace

std::string BuildRawRecord(recording::CaptureDirection direction, const std::uint8_t* bytes,
                           std::size_t length, std::int64_t timeNs) {
    std::string out;
    out.reserve(kRawHeaderSize + 1 + length);
    const std::int64_t seconds = timeNs >= 0 ? timeNs / kNsPerSecond : 0;
    const std::int64_t nanoseconds = timeNs >= 0 ? timeNs % kNsPerSecond : 0;
    const auto recordLength = static_cast<std::uint32_t>(length + 1);
    PutU32(out, static_cast<std::uint32_t>(seconds));
    PutU32(out, static_cast<std::uint32_t>(nanoseconds));
    PutU32(out, recordLength);
    PutU32(out, recordLength);
    out += static_cast<char>(direction);
    out.append(reinterpret_cast<const char*>(bytes), length);
    return out;
}

std::optional<RawRecord> ParseRawRecord(std::span<const std::uint8_t> payload) {
    if (payload.size() < kRawHeaderSize + 1) {
        return std::nullopt;
    }
    const std::uint32_t seconds = GetU32(payload.data());
    const std::uint32_t nanoseconds = GetU32(payload.data() + 4);
    const std::uint32_t captured = GetU32(payload.data() + 8);
    const std::uint32_t original = GetU32(payload.data() + 12);
    const std::uint8_t direction = payload[kRawHeaderSize];
    if (nanoseconds >= kNsPerSecond || captured != original ||
        captured != payload.size() - kRawHeaderSize || direction > 2) {
        return std::nullopt;
    }
    RawRecord record;
    record.direction = static_cast<recording::CaptureDirection>(direction);
    record.timeNs = static_cast<std::int64_t>(seconds) * kNsPerSecond + nanoseconds;
    record.bytes = payload.subspan(kRawHeaderSize + 1);
    return record;
}

void MergeNote(recording::CaptureNote& inForce, const recording::CaptureNote& note) {
    for (const auto& [key, value] : note) {
        if (key == recording::note_key::kGap) {
            continue;
        }
        const auto found = std::find_if(inForce.begin(), inForce.end(),
                                        [&key](const auto& entry) { return entry.first == key; });
        if (found != inForce.end()) {
            found->second = value;
        } else {
            inForce.emplace_back(key, value);
        }
    }
}

} // namespace orvanta::publish
