#include "chart/CChartLineSerie.h"

#include "chart/CChartCtrl.h"

#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <algorithm>
#include <cmath>

namespace orvanta::chart {
namespace {

// Cuts the segment a-b to the rectangle (Liang-Barsky); false when nothing is left.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& r) {
    const double x0 = a.x();
    const double y0 = a.y();
    const double dx = b.x() - x0;
    const double dy = b.y() - y0;
    double t0 = 0;
    double t1 = 1;
    const auto edge = [&](double p, double q) {
        if (p == 0) {
            return q >= 0;
        }
        const double t = q / p;
        if (p < 0) {
            if (t > t1) {
                return false;
            }
            t0 = std::max(t0, t);
        } else {
            if (t < t0) {
                return false;
            }
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(-dx, x0 - r.left()) || !edge(dx, r.right() - x0) || !edge(-dy, y0 - r.top()) ||
        !edge(dy, r.bottom() - y0)) {
        return false;
    }
    if (t1 < 1) {
        b = QPointF(x0 + t1 * dx, y0 + t1 * dy);
    }
    if (t0 > 0) {
        a = QPointF(x0 + t0 * dx, y0 + t0 * dy);
    }
    return true;
}

Qt::PenStyle ToQtStyle(int style) {
    switch (style) {
    case CChartLineSerie::kDash:
        return Qt::DashLine;
    case CChartLineSerie::kDot:
        return Qt::DotLine;
    case CChartLineSerie::kDashDot:
        return Qt::DashDotLine;
    case CChartLineSerie::kDashDotDot:
        return Qt::DashDotDotLine;
    case CChartLineSerie::kNull:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

// A curve through the points, each piece's tangents taken from its neighbours.
QPainterPath SmoothPath(const QPolygonF& run) {
    QPainterPath path(run.first());
    for (qsizetype i = 0; i + 1 < run.size(); ++i) {
        const QPointF p0 = run[std::max<qsizetype>(i - 1, 0)];
        const QPointF p1 = run[i];
        const QPointF p2 = run[i + 1];
        const QPointF p3 = run[std::min<qsizetype>(i + 2, run.size() - 1)];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    return path;
}

} // namespace

QPen CChartLineSerie::MakePen(COLORREF color) const {
    return QPen(QBrush(ToQColor(color)), m_lineWidth, ToQtStyle(m_penStyle), Qt::RoundCap,
                Qt::RoundJoin);
}

void CChartLineSerie::SetWidth(int width) {
    m_lineWidth = std::clamp(width, 0, 100);
    RedrawControl();
}

void CChartLineSerie::SetPenStyle(int style) {
    m_penStyle = style;
    RedrawControl();
}

void CChartLineSerie::SetSmooth(bool smooth) {
    m_smooth = smooth;
    RedrawControl();
}

std::vector<QPolygonF> CChartLineSerie::PixelRuns(unsigned first, unsigned last,
                                                  const ChartRect& clip) const {
    // Wide enough that caps at the clip edge look as if nothing was cut.
    const int margin = m_lineWidth + 2 + (m_shadow ? std::abs(m_shadowDepth) : 0);
    const QRectF bounds(clip.left - margin, clip.top - margin, clip.Width() + 2 * margin,
                        clip.Height() + 2 * margin);
    std::vector<QPolygonF> runs;
    QPolygonF current;
    const auto flush = [&] {
        if (current.size() >= 2) {
            runs.push_back(current);
        }
        current.clear();
    };
    bool havePrevious = false;
    QPoint previous;
    for (unsigned i = first; i <= last && i < PointCount(); ++i) {
        const SChartXYPoint& point = m_points[i];
        if (!std::isfinite(point.X) || !std::isfinite(point.Y)) {
            flush();
            havePrevious = false;
            continue;
        }
        const QPoint pixel = PointToPixel(i);
        if (!havePrevious) {
            havePrevious = true;
            previous = pixel;
            if (bounds.contains(pixel)) {
                current << QPointF(pixel);
            }
            continue;
        }
        if (pixel == previous) {
            continue;
        }
        QPointF a(previous);
        QPointF b(pixel);
        if (ClipSegment(a, b, bounds)) {
            if (current.isEmpty() || current.last() != a) {
                flush();
                current << a;
            }
            current << b;
            if (b != QPointF(pixel)) {
                flush();
            }
        } else {
            flush();
        }
        previous = pixel;
    }
    flush();
    return runs;
}

void CChartLineSerie::DrawRuns(QPainter& painter, const std::vector<QPolygonF>& runs) const {
    const auto draw = [&](QPointF offset) {
        for (const QPolygonF& run : runs) {
            if (m_smooth) {
                painter.drawPath(SmoothPath(run.translated(offset)));
            } else {
                painter.drawPolyline(run.translated(offset));
            }
        }
    };
    painter.setBrush(Qt::NoBrush);
    if (m_shadow) {
        painter.setPen(MakePen(m_shadowColor));
        draw(QPointF(m_shadowDepth, m_shadowDepth));
    }
    painter.setPen(MakePen(m_color));
    draw(QPointF(0, 0));
}

void CChartLineSerie::DrawAllPoints(QPainter& painter) {
    if (!m_visible || !painter.isActive() || !m_horizontalAxis || !m_verticalAxis) {
        return;
    }
    const std::optional<ChartIndexRange> visible = VisibleIndexRange();
    if (!visible) {
        return;
    }
    const unsigned count = PointCount();
    const unsigned first = visible->first > 0 ? visible->first - 1 : 0;
    const unsigned last = std::min(visible->last + 1, count - 1);
    if (first == last) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(m_clippingRect.ToQRect());
    DrawRuns(painter, PixelRuns(first, last, m_clippingRect));
    painter.restore();
    m_lastDrawnIndex = last;
}

void CChartLineSerie::DrawNewPoints(QPainter& painter) {
    if (!m_visible || !painter.isActive() || !m_horizontalAxis || !m_verticalAxis) {
        return;
    }
    if (m_smooth || m_shadow) {
        DrawAllPoints(painter);
        return;
    }
    const unsigned count = PointCount();
    if (count < 2 || m_lastDrawnIndex >= count - 1) {
        return;
    }
    const ChartRect plot = m_control ? m_control->PlottingRect() : m_clippingRect;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(plot.ToQRect());
    DrawRuns(painter, PixelRuns(m_lastDrawnIndex, count - 1, plot));
    painter.restore();
    m_lastDrawnIndex = count - 1;
}

void CChartLineSerie::DrawLegendKey(QPainter& painter, const ChartRect& rect) const {
    if (m_name.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(MakePen(m_color));
    const int middle = (rect.top + rect.bottom) / 2;
    painter.drawLine(rect.left, middle, rect.right, middle);
    painter.restore();
}

} // namespace orvanta::chart
