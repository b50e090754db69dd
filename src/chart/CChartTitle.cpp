#include "chart/CChartTitle.h"

#include "chart/CChartCtrl.h"
#include "chart/ChartTextMeasure.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace orvanta::chart {

CChartTitle::CChartTitle(CChartCtrl* control)
    : m_control(control), m_font{QStringLiteral("Microsoft Sans Serif"), 100} {}

void CChartTitle::Changed() {
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartTitle::SetVisible(bool visible) {
    m_visible = visible;
    Changed();
}

void CChartTitle::AddString(const QString& line) {
    m_lines.append(line);
    Changed();
}

void CChartTitle::RemoveAll() {
    m_lines.clear();
    Changed();
}

void CChartTitle::SetFont(int pointTenths, const QString& face, bool bold, bool italic,
                          bool underline) {
    m_font.pointTenths = pointTenths;
    m_font.face = face;
    m_font.bold = bold;
    m_font.italic = italic;
    m_font.underline = underline;
    m_fontDirty = true;
    Changed();
}

void CChartTitle::SetVertical(bool vertical) {
    m_font.vertical = vertical;
    m_fontDirty = true;
    Changed();
}

const QFont& CChartTitle::Font() const {
    if (m_fontDirty) {
        m_qfont = MakeFont(m_font);
        m_fontDirty = false;
    }
    return m_qfont;
}

void CChartTitle::SetColor(COLORREF color) {
    m_color = color;
    Changed();
}

QSize CChartTitle::Measure(const ChartTextMeasure& measure) const {
    if (!m_visible || m_lines.isEmpty()) {
        return QSize(0, 0);
    }
    int width = 0;
    int height = 4;
    for (const QString& line : m_lines) {
        const QSize extent = measure.Extent(Font(), line);
        width = std::max(width, extent.width());
        height += extent.height() + 2;
    }
    return QSize(width + 2, height);
}

void CChartTitle::Paint(QPainter& painter, const ChartTextMeasure& measure) const {
    if (!m_visible) {
        return;
    }
    painter.save();
    painter.setFont(Font());
    painter.setPen(ToQColor(m_color));
    const int ascent = QFontMetrics(Font()).ascent();
    int y = m_rect.top + 4;
    for (const QString& line : m_lines) {
        const QSize extent = measure.Extent(Font(), line);
        const int x = m_rect.left + std::abs(m_rect.right - m_rect.left) / 2 - extent.width() / 2;
        painter.drawText(x, y + ascent, line);
        y += extent.height() + 2;
    }
    painter.restore();
}

} // namespace orvanta::chart
