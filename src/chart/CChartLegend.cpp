#include "chart/CChartLegend.h"

#include "chart/CChartCtrl.h"
#include "chart/CChartSerie.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace orvanta::chart {

CChartLegend::CChartLegend(CChartCtrl* control)
    : m_control(control), m_font{QStringLiteral("Times New Roman"), 100} {}

void CChartLegend::Changed() {
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartLegend::SetVisible(bool visible) {
    m_visible = visible;
    Changed();
}

void CChartLegend::SetHorizontalMode(bool horizontal) {
    m_horizontal = horizontal;
    Changed();
}

void CChartLegend::SetTransparent(bool transparent) {
    m_transparent = transparent;
    Changed();
}

void CChartLegend::SetShadow(bool shadow) {
    m_shadow = shadow;
    Changed();
}

void CChartLegend::SetBorder(bool border) {
    m_border = border;
    Changed();
}

void CChartLegend::DockLegend(int side) {
    m_docked = true;
    m_dockSide = side;
    Changed();
}

void CChartLegend::UndockLegend(int x, int y) {
    m_docked = false;
    m_userX = x;
    m_userY = y;
    Changed();
}

void CChartLegend::SetBackColor(COLORREF color) {
    m_backColor = color;
    Changed();
}

void CChartLegend::SetShadowColor(COLORREF color) {
    m_shadowColor = color;
    Changed();
}

void CChartLegend::SetShadowDepth(int depth) {
    m_shadowDepth = depth;
    Changed();
}

void CChartLegend::SetFont(int pointTenths, const QString& face) {
    m_font.pointTenths = pointTenths;
    m_font.face = face;
    m_fontDirty = true;
    Changed();
}

const QFont& CChartLegend::Font() const {
    if (m_fontDirty) {
        m_qfont = MakeFont(m_font);
        m_fontDirty = false;
    }
    return m_qfont;
}

void CChartLegend::LayoutLegend(ChartRect& plot, std::span<const LegendEntry> entries,
                                const ChartRect& bounds) {
    if (!m_visible) {
        return;
    }
    if (entries.empty()) {
        m_rect = ChartRect{};
        return;
    }
    int width = 0;
    int height = 0;
    if (m_horizontal) {
        int totalWidth = 0;
        int tallest = 0;
        for (const LegendEntry& entry : entries) {
            totalWidth += m_keyWidth + entry.nameSize.width() + 14;
            tallest = std::max(tallest, entry.nameSize.height());
        }
        width = totalWidth - 6;
        height = std::max(tallest, m_keyHeight) + 8;
    } else {
        int totalHeight = 0;
        int widest = 0;
        for (const LegendEntry& entry : entries) {
            totalHeight += std::max(entry.nameSize.height(), m_keyHeight) + 2;
            widest = std::max(widest, entry.nameSize.width());
        }
        width = widest + m_keyWidth + 12;
        height = totalHeight + 6;
    }

    if (!m_docked) {
        const int left = std::max(std::min(m_userX, bounds.right - width), bounds.left);
        const int top = std::max(std::min(m_userY, bounds.bottom - height - 2), bounds.top);
        m_rect = ChartRect{left, top, left + width, top + height + 2};
        return;
    }
    int left = 0;
    int top = 0;
    switch (m_dockSide) {
    case kDockLeft:
        left = plot.left + 3;
        top = (plot.bottom - plot.top) / 2 - (height + 2) / 2;
        break;
    case kDockTop:
        left = (plot.right - plot.left) / 2 - width / 2;
        top = plot.top + 3;
        break;
    case kDockBottom:
        left = (plot.right - plot.left) / 2 - width / 2;
        top = plot.bottom - height - 2;
        break;
    default:
        left = plot.right - width - 6;
        top = (plot.bottom - plot.top) / 2 - (height + 2) / 2;
        break;
    }
    m_rect = ChartRect{left, top, left + width, top + height};
    switch (m_dockSide) {
    case kDockLeft:
        plot.left = m_rect.right - 2;
        break;
    case kDockTop:
        plot.top = m_rect.bottom + 2;
        break;
    case kDockBottom:
        plot.bottom = m_rect.top - 2;
        break;
    default:
        plot.right = m_rect.left + 2;
        break;
    }
}

void CChartLegend::PaintLegend(QPainter& painter, std::span<const LegendEntry> entries) const {
    if (!m_visible || m_rect.IsEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (m_shadow) {
        painter.fillRect(m_rect.Moved(m_shadowDepth, m_shadowDepth).ToQRect(),
                         ToQColor(m_shadowColor));
    }
    if (!m_transparent) {
        painter.fillRect(m_rect.ToQRect(), ToQColor(m_backColor));
    }
    if (m_border) {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_rect.left, m_rect.top, m_rect.Width() - 1, m_rect.Height() - 1);
    }

    painter.setFont(Font());
    const int ascent = QFontMetrics(Font()).ascent();
    ChartRect key{m_rect.left + 2, m_rect.top + 5, m_rect.left + 2 + m_keyWidth,
                  m_rect.top + 6 + m_keyHeight};
    for (const LegendEntry& entry : entries) {
        const int w = entry.nameSize.width();
        const int h = entry.nameSize.height();
        painter.setPen(Qt::black);
        if (h > m_keyHeight) {
            painter.drawText(key.right + 4, key.top + ascent, entry.series->Name());
            entry.series->DrawLegendKey(painter, key.Moved(0, h / 2 - m_keyHeight / 2));
        } else {
            const int middle = (key.top + key.bottom) / 2;
            painter.drawText(key.right + 4, middle - h / 2 + ascent, entry.series->Name());
            entry.series->DrawLegendKey(painter, key);
        }
        if (m_horizontal) {
            key = key.Moved(w + m_keyWidth + 14, 0);
        } else {
            key = key.Moved(0, std::max(h, m_keyHeight) + 2);
        }
    }
    painter.restore();
}

} // namespace orvanta::chart
