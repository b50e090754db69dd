#pragma once

#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartRect.h"

#include <QFont>
#include <QSize>
#include <QStringList>

class QPainter;

namespace orvanta::chart {

class CChartCtrl;
class ChartTextMeasure;

// The title block: lines of text centred above the plotting rectangle. Main thread only.
class CChartTitle {
public:
    explicit CChartTitle(CChartCtrl* control);

    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    const QStringList& Lines() const { return m_lines; }
    void AddString(const QString& line);
    void RemoveAll();
    void SetFont(int pointTenths, const QString& face, bool bold = false, bool italic = false,
                 bool underline = false);
    void SetVertical(bool vertical);
    const ChartFont& FontSettings() const { return m_font; }
    const QFont& Font() const;
    COLORREF Color() const { return m_color; }
    void SetColor(COLORREF color);
    const ChartRect& Rect() const { return m_rect; }
    void SetRect(const ChartRect& rect) { m_rect = rect; }

    // (0, 0) when hidden or empty; else 4 plus each line's height + 2, and the widest line + 2.
    QSize Measure(const ChartTextMeasure& measure) const;
    void Paint(QPainter& painter, const ChartTextMeasure& measure) const;

private:
    void Changed();

    CChartCtrl* m_control;
    bool m_visible = true;
    QStringList m_lines;
    ChartFont m_font;
    COLORREF m_color = 0;
    ChartRect m_rect;
    mutable QFont m_qfont;
    mutable bool m_fontDirty = true;
};

} // namespace orvanta::chart
