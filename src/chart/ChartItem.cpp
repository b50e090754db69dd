#include "chart/ChartItem.h"

namespace orvanta::chart {

std::array<std::string_view, 3> SeriesPrefixes(int chartItem) {
    if (chartItem == kChartEuler) {
        return {"R: ", "P: ", "Y: "};
    }
    return {"X: ", "Y: ", "Z: "};
}

bool AcceptChartItem(int modelIndex, int index) {
    if (index < 0 || index >= kChartItemCount) {
        return false;
    }
    switch (modelIndex) {
    case 1:
        return index <= kChartAccelerometers;
    case 2:
        return index != kChartMagnetometers;
    default:
        return true;
    }
}

int ChartItemForModel(int modelIndex, int chartItem) {
    if (modelIndex == 1 && chartItem != kChartGyroscopes && chartItem != kChartAccelerometers) {
        return kChartEuler;
    }
    return chartItem;
}

} // namespace orvanta::chart
