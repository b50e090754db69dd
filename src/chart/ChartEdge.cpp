#include "chart/ChartEdge.h"

#include "chart/ChartColor.h"

#include <QPainter>

namespace orvanta::chart {
namespace {

constexpr COLORREF kLight = MakeColorRef(227, 227, 227);
constexpr COLORREF kHighlight = MakeColorRef(255, 255, 255);
constexpr COLORREF kShadow = MakeColorRef(160, 160, 160);
constexpr COLORREF kDarkShadow = MakeColorRef(105, 105, 105);

// One border ring: top and left in one colour, bottom and right (drawn last,
// so they own the shared corners) in the other.
void DrawRing(QPainter& painter, const ChartRect& r, COLORREF topLeft, COLORREF bottomRight) {
    if (r.IsEmpty()) {
        return;
    }
    const int x0 = r.left;
    const int y0 = r.top;
    const int x1 = r.right - 1;
    const int y1 = r.bottom - 1;
    painter.setPen(QPen(ToQColor(topLeft), 1));
    painter.drawLine(x0, y0, x0, y1);
    painter.drawLine(x0, y0, x1, y0);
    painter.setPen(QPen(ToQColor(bottomRight), 1));
    painter.drawLine(x0, y1, x1, y1);
    painter.drawLine(x1, y1, x1, y0);
}

} // namespace

void DrawChartEdge(QPainter& painter, const ChartRect& rect, unsigned edge) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (edge & (kEdgeRaisedOuter | kEdgeSunkenOuter)) {
        if (edge & kEdgeRaisedOuter) {
            DrawRing(painter, rect, kLight, kDarkShadow);
        } else {
            DrawRing(painter, rect, kShadow, kHighlight);
        }
    }
    if (edge & (kEdgeRaisedInner | kEdgeSunkenInner)) {
        if (edge & kEdgeRaisedInner) {
            DrawRing(painter, rect.Deflated(1), kHighlight, kShadow);
        } else {
            DrawRing(painter, rect.Deflated(1), kDarkShadow, kLight);
        }
    }
    painter.restore();
}

} // namespace orvanta::chart
