#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvanta::devsim {

enum class Model { VK100, VK200_210, VN300 };

// The thirteen output items every model understands in an item mask.
inline constexpr std::uint32_t kAllItems = 0x0A1F087A;

// What distinguishes the simulated models. Constant tables; any thread.
struct DeviceProfile {
    Model model;
    std::string_view name;                  // as printed and as given to --model
    std::uint32_t itemMask;                 // the items sent after power-up
    std::uint32_t topRate;                  // frames per second at divider 1 (F[9])
    std::array<std::uint32_t, 6> baudTable; // rates the device accepts
    std::uint8_t gpsStatus;                 // a status byte that says the receiver has a fix
};

const DeviceProfile& ProfileOf(Model model);
std::optional<Model> ModelFromName(std::string_view name);

} // namespace orvanta::devsim
