#include "chart/CChartXYSerie.h"

#include <algorithm>
#include <vector>

namespace orvanta::chart {

void CChartXYSerie::LoadPoints(std::span<const double> x, std::span<const double> y) {
    const std::size_t count = std::min(x.size(), y.size());
    std::vector<SChartXYPoint> points(count);
    for (std::size_t i = 0; i < count; ++i) {
        points[i] = SChartXYPoint{x[i], y[i]};
    }
    AddPoints(points.data(), count);
}

} // namespace orvanta::chart
