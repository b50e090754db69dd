#pragma once

#include <array>
#include <string_view>

namespace orvanta::chart {

// What the display area shows: the index of the page strip's segment.
enum ChartItem : int {
    kChartEuler = 0,
    kChartGyroscopes = 1,
    kChartAccelerometers = 2,
    kChartMagnetometers = 3,
    kChartVelocity = 4,
    kChartOutputData = 5,
};

constexpr int kChartItemCount = 6;

// The chart title of each item, the same in both languages.
constexpr std::array<std::string_view, kChartItemCount> kChartItemTitles = {
    "Euler", "Gyroscopes", "Accelerometes", "Magnetometers", "Velocity", "Output data"};

// The three series name prefixes of a plotted item (0..4).
std::array<std::string_view, 3> SeriesPrefixes(int chartItem);

// Whether a page-strip click on segment `index` is taken with device model
// `modelIndex` (0 VK100, 1 VK200-210, 2 VN300).
bool AcceptChartItem(int modelIndex, int index);

// The chart item after the device model changes: VK200-210 shows only items
// 1 and 2 as they are and falls back to 0 otherwise; other models keep it.
int ChartItemForModel(int modelIndex, int chartItem);

} // namespace orvanta::chart
