#include "chart/CChartAxisLabel.h"

#include "chart/CChartCtrl.h"
#include "chart/ChartTextMeasure.h"

#include <QFontMetrics>
#include <QPainter>

namespace orvanta::chart {

CChartAxisLabel::CChartAxisLabel() : m_font{QStringLiteral("Microsoft Sans Serif"), 100} {}

void CChartAxisLabel::SetVisible(bool visible) {
    m_visible = visible;
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartAxisLabel::SetText(const QString& text) {
    m_text = text;
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartAxisLabel::SetFont(int pointTenths, const QString& face) {
    m_font.pointTenths = pointTenths;
    m_font.face = face;
    m_fontDirty = true;
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartAxisLabel::SetColor(COLORREF color) {
    m_color = color;
    if (m_control) {
        m_control->Redraw();
    }
}

const QFont& CChartAxisLabel::Font() const {
    if (m_fontDirty) {
        m_qfont = MakeFont(m_font);
        m_fontDirty = false;
    }
    return m_qfont;
}

QSize CChartAxisLabel::Size(const ChartTextMeasure& measure) const {
    if (!m_visible || m_text.isEmpty()) {
        return QSize(0, 0);
    }
    const QSize extent = measure.Extent(Font(), m_text);
    return m_horizontal ? extent : extent.transposed();
}

void CChartAxisLabel::Draw(QPainter& painter, const ChartTextMeasure& measure, int x, int y,
                           int centre) const {
    if (!m_visible || m_text.isEmpty()) {
        return;
    }
    const QSize extent = measure.Extent(Font(), m_text);
    painter.save();
    painter.setFont(Font());
    painter.setPen(ToQColor(m_color));
    const int ascent = QFontMetrics(Font()).ascent();
    if (m_horizontal) {
        painter.drawText(centre - extent.width() / 2, y + ascent, m_text);
    } else {
        // Reads bottom to top, centred on the axis.
        painter.translate(x, centre + extent.width() / 2);
        painter.rotate(-90);
        painter.drawText(0, ascent, m_text);
    }
    painter.restore();
}

} // namespace orvanta::chart
