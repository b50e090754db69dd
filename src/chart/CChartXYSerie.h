#pragma once

#include "chart/CChartSerieBase.h"

#include <span>

namespace orvanta::chart {

// A series of X/Y points loaded from separate X and Y arrays. Main thread only.
class CChartXYSerie : public CChartSerieBase<SChartXYPoint> {
public:
    using CChartSerieBase<SChartXYPoint>::CChartSerieBase;
    using CChartSerieBase<SChartXYPoint>::AddPoint;

    void AddPoint(double x, double y) { AddPoint(SChartXYPoint{x, y}); }
    // Adds min(x.size(), y.size()) points, pairing the arrays element by element.
    void LoadPoints(std::span<const double> x, std::span<const double> y);
};

} // namespace orvanta::chart
