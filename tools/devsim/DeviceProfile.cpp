#include "devsim/DeviceProfile.h"

namespace orvanta::devsim {

namespace {

// VK100 status: standard fix, every flag valid, 3D fix. VN300: all four flags valid,
// RTK fixed.
constexpr DeviceProfile kProfiles[] = {
    {Model::VK100, "VK100", kAllItems, 100, {9600, 19200, 38400, 57600, 115200, 230400}, 0x3F},
    {Model::VK200_210, "VK200-210", 0x1A, 200, {9600, 19200, 38400, 57600, 115200, 256000}, 0x3F},
    {Model::VN300, "VN300", 0x0019085A, 200, {9600, 19200, 38400, 57600, 115200, 256000}, 0xF4},
};

} // namespace

const DeviceProfile& ProfileOf(Model model) {
    for (const auto& profile : kProfiles) {
        if (profile.model == model) {
            return profile;
        }
    }
    return kProfiles[0];
}

std::optional<Model> ModelFromName(std::string_view name) {
    for (const auto& profile : kProfiles) {
        if (profile.name == name) {
            return profile.model;
        }
    }
    if (name == "VK200/210") {
        return Model::VK200_210;
    }
    return std::nullopt;
}

} // namespace orvanta::devsim
