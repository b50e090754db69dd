#include "chart/CChartSerieBase.h"

#include "chart/CChartCtrl.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace orvanta::chart {
namespace {

// Orders NaN after every number, so sorting and bisection stay well defined.
bool Less(double a, double b) {
    return a < b || (!std::isnan(a) && std::isnan(b));
}

void Widen(std::optional<ChartRange>& extent, double value) {
    if (!std::isfinite(value)) {
        return;
    }
    if (!extent) {
        extent = ChartRange{value, value};
    } else {
        extent->low = std::min(extent->low, value);
        extent->high = std::max(extent->high, value);
    }
}

} // namespace

template <typename PointType>
CChartSerieBase<PointType>::CChartSerieBase(CChartCtrl* control) : CChartSerie(control) {
    m_points.reserve(kInitialCapacity);
}

template <typename PointType>
QPoint CChartSerieBase<PointType>::PointToPixel(unsigned index) const {
    const PointType& point = m_points.at(index);
    int x = 0;
    int y = 0;
    if (m_horizontalAxis) {
        x = m_horizontalAxis->IsDiscrete() ? m_horizontalAxis->DiscreteValueToPixel(point.X)
                                           : m_horizontalAxis->ValueToPixel(point.X);
    }
    if (m_verticalAxis) {
        y = m_verticalAxis->IsDiscrete() ? m_verticalAxis->DiscreteValueToPixel(point.Y)
                                         : m_verticalAxis->ValueToPixel(point.Y);
    }
    return QPoint(x, y);
}

template <typename PointType>
std::optional<ChartRange> CChartSerieBase<PointType>::XExtent() const {
    if (!m_visible || m_points.empty()) {
        return std::nullopt;
    }
    return m_xExtent;
}

template <typename PointType>
std::optional<ChartRange> CChartSerieBase<PointType>::YExtent() const {
    if (!m_visible || m_points.empty()) {
        return std::nullopt;
    }
    return m_yExtent;
}

template <typename PointType>
std::optional<ChartRange> CChartSerieBase<PointType>::VisibleXExtent() const {
    if (!m_visible || m_order != kYOrdering) {
        return std::nullopt;
    }
    const std::optional<ChartIndexRange> range = VisibleIndexRange();
    if (!range) {
        return std::nullopt;
    }
    std::optional<ChartRange> extent;
    for (unsigned i = range->first; i <= range->last; ++i) {
        Widen(extent, m_points[i].X);
    }
    return extent;
}

template <typename PointType>
std::optional<ChartRange> CChartSerieBase<PointType>::VisibleYExtent() const {
    if (!m_visible || m_order != kXOrdering) {
        return std::nullopt;
    }
    const std::optional<ChartIndexRange> range = VisibleIndexRange();
    if (!range) {
        return std::nullopt;
    }
    std::optional<ChartRange> extent;
    for (unsigned i = range->first; i <= range->last; ++i) {
        Widen(extent, m_points[i].Y);
    }
    return extent;
}

template <typename PointType>
std::optional<ChartIndexRange> CChartSerieBase<PointType>::VisibleIndexRange() const {
    if (m_points.empty()) {
        return std::nullopt;
    }
    const unsigned count = PointCount();
    const CChartAxis* axis = m_order == kXOrdering   ? m_horizontalAxis
                             : m_order == kYOrdering ? m_verticalAxis
                                                     : nullptr;
    if (!axis) {
        return ChartIndexRange{0, count - 1};
    }
    const bool byX = m_order == kXOrdering;
    const auto key = [byX](const PointType& p) { return byX ? p.X : p.Y; };
    const auto lower =
        std::lower_bound(m_points.begin(), m_points.end(), axis->Minimum(),
                         [&](const PointType& p, double v) { return Less(key(p), v); });
    const auto upper =
        std::upper_bound(m_points.begin(), m_points.end(), axis->Maximum(),
                         [&](double v, const PointType& p) { return Less(v, key(p)); });
    const auto first = static_cast<long>(lower - m_points.begin());
    const auto last = static_cast<long>(upper - m_points.begin()) - 1;
    if (first <= last) {
        return ChartIndexRange{static_cast<unsigned>(first), static_cast<unsigned>(last)};
    }
    // No point inside, but the two around the range may join across it.
    if (last >= 0 && first < static_cast<long>(count)) {
        return ChartIndexRange{static_cast<unsigned>(last), static_cast<unsigned>(first)};
    }
    return std::nullopt;
}

template <typename PointType>
void CChartSerieBase<PointType>::DrawPointLabels(QPainter& painter) const {
    if (!m_visible || m_pointLabels.empty()) {
        return;
    }
    painter.save();
    painter.setPen(ToQColor(m_color));
    const QFontMetrics metrics(painter.font());
    for (const auto& [index, text] : m_pointLabels) {
        if (index >= PointCount()) {
            continue;
        }
        const QPoint pixel = PointToPixel(index);
        painter.drawText(pixel.x() - metrics.horizontalAdvance(text) / 2,
                         pixel.y() - metrics.descent() - 4, text);
    }
    painter.restore();
}

template <typename PointType> void CChartSerieBase<PointType>::SetPointOrder(int order) {
    m_order = order;
    if (order == kXOrdering) {
        std::stable_sort(m_points.begin(), m_points.end(),
                         [](const PointType& a, const PointType& b) { return Less(a.X, b.X); });
    } else if (order == kYOrdering) {
        std::stable_sort(m_points.begin(), m_points.end(),
                         [](const PointType& a, const PointType& b) { return Less(a.Y, b.Y); });
    }
}

template <typename PointType> void CChartSerieBase<PointType>::StorePoint(const PointType& point) {
    Widen(m_xExtent, point.X);
    Widen(m_yExtent, point.Y);
    if (m_order == kXOrdering) {
        const auto at = std::upper_bound(m_points.begin(), m_points.end(), point.X,
                                         [](double v, const PointType& p) { return Less(v, p.X); });
        m_points.insert(at, point);
    } else if (m_order == kYOrdering) {
        const auto at = std::upper_bound(m_points.begin(), m_points.end(), point.Y,
                                         [](double v, const PointType& p) { return Less(v, p.Y); });
        m_points.insert(at, point);
    } else {
        m_points.push_back(point);
    }
}

template <typename PointType> void CChartSerieBase<PointType>::AddPoint(const PointType& point) {
    if (m_points.size() == m_points.capacity()) {
        m_points.reserve(m_points.capacity() + kGrowthStep);
    }
    StorePoint(point);
    PointsAdded();
}

template <typename PointType>
void CChartSerieBase<PointType>::AddPoints(const PointType* points, std::size_t count) {
    if (points == nullptr || count == 0) {
        return;
    }
    if (m_points.capacity() < m_points.size() + count) {
        m_points.reserve(m_points.size() + count);
    }
    for (std::size_t i = 0; i < count; ++i) {
        StorePoint(points[i]);
    }
    PointsAdded();
}

template <typename PointType> void CChartSerieBase<PointType>::RemoveAllPoints() {
    m_points.clear();
    m_xExtent.reset();
    m_yExtent.reset();
    RefreshAxes();
    RedrawControl();
}

template <typename PointType>
void CChartSerieBase<PointType>::AttachPointLabel(unsigned index, const QString& text) {
    m_pointLabels[index] = text;
    RedrawControl();
}

template <typename PointType> void CChartSerieBase<PointType>::PointsAdded() {
    RefreshAxes();
    if (m_control) {
        m_control->DrawNewPointsOf(*this);
    }
}

template class CChartSerieBase<SChartXYPoint>;

} // namespace orvanta::chart
