#pragma once

#include "devsim/DeviceProfile.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace orvanta::devsim {

struct StreamCaptureOptions {
    Model model = Model::VK100;
    std::uint32_t itemMask = kAllItems;
    double seconds = 600;
    std::uint32_t framesPerSecond = 200;
    std::uint64_t seed = 1;
};

// Writes the capture a host records from a device in automatic output, without a line in
// between: the note, the host's item-mask query and the device's reply, then one block per
// data frame at even intervals. False with the reason when the file could not be written.
// Any thread.
bool WriteStreamCapture(const std::filesystem::path& path, const StreamCaptureOptions& options,
                        std::string& error);

} // namespace orvanta::devsim
