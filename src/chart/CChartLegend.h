#pragma once

#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartRect.h"

#include <QFont>
#include <QSize>
#include <span>

class QPainter;

namespace orvanta::chart {

class CChartCtrl;
class CChartSerie;

// One legend entry: a visible, named series and the measured size of its name.
struct LegendEntry {
    const CChartSerie* series = nullptr;
    QSize nameSize;
};

// The legend box: a key line and the name of each visible, named series,
// docked at a side of the plotting rectangle or at a user position. Main thread only.
class CChartLegend {
public:
    enum DockSide : int { kDockRight = 0, kDockLeft = 1, kDockTop = 2, kDockBottom = 3 };

    explicit CChartLegend(CChartCtrl* control);

    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    bool IsHorizontal() const { return m_horizontal; }
    void SetHorizontalMode(bool horizontal);
    bool IsTransparent() const { return m_transparent; }
    void SetTransparent(bool transparent);
    bool HasShadow() const { return m_shadow; }
    void SetShadow(bool shadow);
    bool HasBorder() const { return m_border; }
    void SetBorder(bool border);
    bool IsDocked() const { return m_docked; }
    int DockSide() const { return m_dockSide; }
    void DockLegend(int side);
    // Undocks the legend and puts its top-left corner at (x, y) of the control.
    void UndockLegend(int x, int y);
    QPoint UserPosition() const { return QPoint(m_userX, m_userY); }
    void SetBackColor(COLORREF color);
    void SetShadowColor(COLORREF color);
    void SetShadowDepth(int depth);
    void SetFont(int pointTenths, const QString& face);
    const QFont& Font() const;
    int KeyWidth() const { return m_keyWidth; }
    int KeyHeight() const { return m_keyHeight; }
    const ChartRect& Rect() const { return m_rect; }

    // Sizes and places the legend from its entries' name sizes; a docked
    // legend takes its room from the plotting rectangle. A legend at a user
    // position is kept inside `bounds` (the chart's rectangle), so a picture
    // narrower than the screen still shows all of it.
    void LayoutLegend(ChartRect& plottingRect, std::span<const LegendEntry> entries,
                      const ChartRect& bounds);
    void PaintLegend(QPainter& painter, std::span<const LegendEntry> entries) const;

private:
    void Changed();

    CChartCtrl* m_control;
    ChartRect m_rect;
    ChartFont m_font;
    bool m_docked = true;
    int m_dockSide = kDockRight;
    int m_userX = 0;
    int m_userY = 0;
    bool m_visible = false;
    bool m_transparent = false;
    bool m_horizontal = false;
    bool m_border = false;
    bool m_shadow = true;
    int m_shadowDepth = 3;
    COLORREF m_backColor = 0;
    COLORREF m_shadowColor = MakeColorRef(150, 150, 150);
    int m_keyWidth = 16;
    int m_keyHeight = 16;
    mutable QFont m_qfont;
    mutable bool m_fontDirty = true;
};

} // namespace orvanta::chart
