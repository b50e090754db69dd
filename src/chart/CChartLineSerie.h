#pragma once

#include "chart/CChartXYSerie.h"

#include <QPen>
#include <QPolygonF>
#include <vector>

namespace orvanta::chart {

// A series drawn as a polyline (or a smooth curve) through its points. Main thread only.
class CChartLineSerie : public CChartXYSerie {
public:
    // Pen styles: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 none.
    enum PenStyle : int {
        kSolid = 0,
        kDash = 1,
        kDot = 2,
        kDashDot = 3,
        kDashDotDot = 4,
        kNull = 5
    };

    using CChartXYSerie::CChartXYSerie;

    void DrawLegendKey(QPainter& painter, const ChartRect& rect) const override;
    void DrawNewPoints(QPainter& painter) override;
    void DrawAllPoints(QPainter& painter) override;

    int Width() const { return m_lineWidth; }
    void SetWidth(int width);
    int PenStyle() const { return m_penStyle; }
    void SetPenStyle(int style);
    bool IsSmooth() const { return m_smooth; }
    void SetSmooth(bool smooth);
    unsigned LastDrawnIndex() const { return m_lastDrawnIndex; }

private:
    QPen MakePen(COLORREF color) const;
    // Pixel runs of points first..last: a point that is not finite breaks the
    // line, repeated pixels are dropped, and segments are cut to `clip`.
    std::vector<QPolygonF> PixelRuns(unsigned first, unsigned last, const ChartRect& clip) const;
    void DrawRuns(QPainter& painter, const std::vector<QPolygonF>& runs) const;

    unsigned m_lastDrawnIndex = 0;
    int m_lineWidth = 1;
    int m_penStyle = kSolid;
    bool m_smooth = false;
};

} // namespace orvanta::chart
