#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace orvanta::protocol {

// One field of the GPS status byte: (status >> shift) & mask picks texts[...] for a slot.
struct GpsStatusField {
    int shift;
    std::uint8_t mask;
    int slot;
    std::span<const std::string_view> texts;
};

// The status byte layout of a model, by ModelIndex: VK100 (0) and VN300 (2) have one,
// VK200-210 (1) none, and so does any index outside the model table. Pure; any thread.
std::span<const GpsStatusField> GpsStatusTable(int modelIndex);

} // namespace orvanta::protocol
