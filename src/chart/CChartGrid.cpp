#include "chart/CChartGrid.h"

#include "chart/CChartCtrl.h"

#include <QLine>
#include <QPainter>
#include <QVarLengthArray>

namespace orvanta::chart {

void CChartGrid::SetColor(COLORREF color) {
    m_color = color;
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartGrid::SetVisible(bool visible) {
    m_visible = visible;
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartGrid::Draw(QPainter& painter, const ChartRect& plot) const {
    if (!m_visible || !painter.isActive() || plot.IsEmpty()) {
        return;
    }
    QVarLengthArray<QLine, 256> dashes;
    for (int pixel : m_tickPixels) {
        if (m_horizontal) {
            for (int y = plot.bottom; y > plot.top; y -= 6) {
                dashes.append(QLine(pixel, y, pixel, y - 2));
            }
        } else {
            for (int x = plot.left; x < plot.right; x += 6) {
                dashes.append(QLine(x, pixel, x + 2, pixel));
            }
        }
    }
    painter.save();
    painter.setClipRect(plot.ToQRect());
    painter.setPen(QPen(ToQColor(m_color), 1));
    painter.drawLines(dashes.constData(), static_cast<int>(dashes.size()));
    painter.restore();
}

} // namespace orvanta::chart
