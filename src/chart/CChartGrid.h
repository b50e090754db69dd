#pragma once

#include "chart/ChartColor.h"
#include "chart/ChartRect.h"

#include <vector>

class QPainter;

namespace orvanta::chart {

class CChartCtrl;

// The dashed grid of one axis: one line across the plotting rectangle per
// tick the axis drew. Main thread only.
class CChartGrid {
public:
    COLORREF Color() const { return m_color; }
    void SetColor(COLORREF color);
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    // Follows the axis: a horizontal axis' grid draws vertical lines.
    bool IsHorizontal() const { return m_horizontal; }
    void SetHorizontal(bool horizontal) { m_horizontal = horizontal; }
    void SetControl(CChartCtrl* control) { m_control = control; }

    void ClearTicks() { m_tickPixels.clear(); }
    void AddTick(int pixel) { m_tickPixels.push_back(pixel); }
    const std::vector<int>& TickPixels() const { return m_tickPixels; }

    // Lines of 3-pixel dashes every 6 pixels, clipped to the plotting rectangle.
    void Draw(QPainter& painter, const ChartRect& plottingRect) const;

private:
    CChartCtrl* m_control = nullptr;
    COLORREF m_color = 0x808080;
    bool m_visible = true;
    bool m_horizontal = true;
    std::vector<int> m_tickPixels;
};

} // namespace orvanta::chart
