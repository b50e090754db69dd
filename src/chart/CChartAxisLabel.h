#pragma once

#include "chart/ChartColor.h"
#include "chart/ChartFont.h"

#include <QFont>
#include <QSize>
#include <QString>

class QPainter;

namespace orvanta::chart {

class CChartCtrl;
class ChartTextMeasure;

// The caption of an axis. An empty caption takes no room and draws nothing.
// Main thread only.
class CChartAxisLabel {
public:
    CChartAxisLabel();

    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    const QString& Text() const { return m_text; }
    void SetText(const QString& text);
    void SetFont(int pointTenths, const QString& face);
    const QFont& Font() const;
    void SetColor(COLORREF color);
    // Follows the axis: a vertical axis' caption is drawn turned.
    void SetHorizontal(bool horizontal) { m_horizontal = horizontal; }
    void SetControl(CChartCtrl* control) { m_control = control; }

    // Room on screen: (0, 0) when hidden or empty; width and height swap for a vertical caption.
    QSize Size(const ChartTextMeasure& measure) const;
    // Draws the caption with its top-left corner at (x, y), centred on `centre` along the axis.
    void Draw(QPainter& painter, const ChartTextMeasure& measure, int x, int y, int centre) const;

private:
    CChartCtrl* m_control = nullptr;
    bool m_visible = true;
    bool m_horizontal = true;
    QString m_text;
    ChartFont m_font;
    COLORREF m_color = 0;
    mutable QFont m_qfont;
    mutable bool m_fontDirty = true;
};

} // namespace orvanta::chart
