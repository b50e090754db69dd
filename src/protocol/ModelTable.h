#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvanta::protocol {

// ModelIndex values, the rows of the model table; an index outside 0..2 counts as 0
// wherever a model is chosen.
namespace model {
inline constexpr int kVk100 = 0, kVk200_210 = 1, kVn300 = 2;
} // namespace model
inline constexpr int kModelCount = 3;

// Output frequencies (frames per second) behind the frequency selector.
using FrequencyTable = std::array<std::uint32_t, 10>;
// Device baud rates behind the device-baud selector (also the first host baud rates).
using DeviceBaudTable = std::array<std::uint32_t, 6>;

struct ModelProfile {
    std::string_view name;          // configuration key MODEL, CSV file names
    std::string_view selectorEntry; // text in the model selector
    std::uint32_t itemMask;         // DefaultItemMask and SpecifiedItemMask after ApplyModel
    bool queryItemMask;             // ApplyModel sends QueryItemMask
    bool awaitItemMask;             // the connect sequence waits for the item mask
    bool awaitGravity;              // the connect sequence waits for the gravity constant
    std::string_view csvHeader;     // code page 936 bytes, ends with "\n"
    FrequencyTable frequencies;
    int frequencyEntries; // how many of the frequencies the selector offers
    DeviceBaudTable deviceBauds;
};

extern const std::array<ModelProfile, kModelCount> ModelTable;

// The model's row; an index outside the table gives row 0. Pure; any thread.
const ModelProfile& ModelRow(int modelIndex);

// The configured frequency nearest above a measured frame count (one frame of slack):
// 0 for no frames, else the first of F[1..8] with count <= F[i] + 1, else F[9].
std::uint32_t SnapRate(std::uint32_t count, const FrequencyTable& frequencies);

} // namespace orvanta::protocol
