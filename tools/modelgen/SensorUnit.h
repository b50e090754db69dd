#pragma once

#include "MeshBuilder.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::tools {

struct SensorPart {
    std::string name;
    std::string material;
    std::array<std::uint8_t, 3> colour;
    MeshBuilder mesh;
};

// The device model: a sensor unit with housing, lid, connector and mounting flanges, as
// nine parts in the order the 3D view colours them. File axes: z up, the body's forward
// axis along -y, its right along -x, so the view shows it from behind at attitude zero.
std::vector<SensorPart> BuildSensorUnit();

} // namespace orvanta::tools
