#pragma once

#include "chart/ChartRect.h"

class QPainter;

namespace orvanta::chart {

// Edge flags: an outer and an inner one-pixel border, each raised or sunken.
enum ChartEdgeFlags : unsigned {
    kEdgeRaisedOuter = 0x1,
    kEdgeSunkenOuter = 0x2,
    kEdgeRaisedInner = 0x4,
    kEdgeSunkenInner = 0x8,
    kEdgeRaised = kEdgeRaisedOuter | kEdgeRaisedInner,
};

// Draws the 3D edge of a rectangle on all four sides, in the platform's
// standard light, highlight, shadow and dark-shadow colours.
void DrawChartEdge(QPainter& painter, const ChartRect& rect, unsigned edge);

} // namespace orvanta::chart
