#include "protocol/GpsStatusTable.h"

#include "protocol/MeasurementRecord.h"
#include "protocol/ModelTable.h"

#include <array>

namespace orvanta::protocol {

namespace {

using namespace std::string_view_literals;

constexpr std::array kValidity{"Invalid"sv, "Valid"sv};
constexpr std::array kVk100Solution{"STD"sv, "DGPS"sv, "FRTK"sv, "RTK"sv};
constexpr std::array kVk100Fix{"No fix"sv, "Time"sv, "2D fix"sv, "3D fix"sv};
// "RTK fixed " and "Simulator " end in a space; the texts are shown and recorded as they are.
constexpr std::array kVn300Quality{
    "No fix"sv,     "Single point"sv, "Differential"sv, "No Support"sv,
    "RTK fixed "sv, "RTK floating"sv, "D-reckoning"sv,  "Manual input"sv,
    "Simulator "sv, "WAAS (SBAS)"sv,  "No Support"sv,   "No Support"sv,
    "No Support"sv, "No Support"sv,   "No Support"sv,   "No Support"sv};

constexpr GpsStatusField kVk100[] = {
    {6, 0x3, slot::kGpsFlag23, kVk100Solution}, {5, 0x1, slot::kTrueHeadFlag, kValidity},
    {4, 0x1, slot::kUtcFlag, kValidity},        {3, 0x1, slot::kGpsFlag26, kValidity},
    {2, 0x1, slot::kGpsFlag28, kValidity},      {0, 0x3, slot::kGpsFix, kVk100Fix},
};

constexpr GpsStatusField kVn300[] = {
    {7, 0x1, slot::kTrueHeadFlag, kValidity}, {6, 0x1, slot::kGpsFlag26, kValidity},
    {5, 0x1, slot::kGpsFlag23, kValidity},    {4, 0x1, slot::kGpsFlag28, kValidity},
    {0, 0xF, slot::kGpsFix, kVn300Quality},
};

} // namespace

std::span<const GpsStatusField> GpsStatusTable(int modelIndex) {
    switch (modelIndex) {
    case model::kVk100:
        return kVk100;
    case model::kVn300:
        return kVn300;
    default:
        return {};
    }
}

} // namespace orvanta::protocol
