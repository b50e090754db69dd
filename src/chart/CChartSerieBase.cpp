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

int AxisPixel(const CChartAxis* axis, double value) {
    if (!axis) {
        return 0;
    }
    return axis->IsDiscrete() ? axis->DiscreteValueToPixel(value) : axis->ValueToPixel(value);
}

} // namespace

template <typename PointType>
CChartSerieBase<PointType>::CChartSerieBase(CChartCtrl* control) : CChartSerie(control) {
    m_points.reserve(kInitialCapacity);
}

template <typename PointType>
QPoint CChartSerieBase<PointType>::PointToPixel(unsigned index) const {
    const PointType& point = m_points.at(index);
    return QPoint(AxisPixel(m_horizontalAxis, point.X), AxisPixel(m_verticalAxis, point.Y));
}

template <typename PointType>
typename CChartSerieBase<PointType>::Coordinate CChartSerieBase<PointType>::OrderKey() const {
    return m_order == kXOrdering ? &PointType::X : m_order == kYOrdering ? &PointType::Y : nullptr;
}

template <typename PointType>
std::optional<ChartRange>
CChartSerieBase<PointType>::Extent(const std::optional<ChartRange>& extent) const {
    if (!m_visible || m_points.empty()) {
        return std::nullopt;
    }
    return extent;
}

template <typename PointType>
std::optional<ChartRange> CChartSerieBase<PointType>::VisibleExtent(Coordinate coordinate) const {
    if (!m_visible || OrderKey() == nullptr || OrderKey() == coordinate) {
        return std::nullopt;
    }
    const std::optional<ChartIndexRange> range = VisibleIndexRange();
    if (!range) {
        return std::nullopt;
    }
    std::optional<ChartRange> extent;
    for (unsigned i = range->first; i <= range->last; ++i) {
        Widen(extent, m_points[i].*coordinate);
    }
    return extent;
}

template <typename PointType>
std::optional<ChartIndexRange> CChartSerieBase<PointType>::VisibleIndexRange() const {
    if (m_points.empty()) {
        return std::nullopt;
    }
    const unsigned count = PointCount();
    const Coordinate key = OrderKey();
    const CChartAxis* axis = key == &PointType::X   ? m_horizontalAxis
                             : key == &PointType::Y ? m_verticalAxis
                                                    : nullptr;
    if (!axis) {
        return ChartIndexRange{0, count - 1};
    }
    const auto lower =
        std::lower_bound(m_points.begin(), m_points.end(), axis->Minimum(),
                         [key](const PointType& p, double v) { return Less(p.*key, v); });
    const auto upper =
        std::upper_bound(m_points.begin(), m_points.end(), axis->Maximum(),
                         [key](double v, const PointType& p) { return Less(v, p.*key); });
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
    if (const Coordinate key = OrderKey()) {
        std::stable_sort(
            m_points.begin(), m_points.end(),
            [key](const PointType& a, const PointType& b) { return Less(a.*key, b.*key); });
    }
}

template <typename PointType> void CChartSerieBase<PointType>::StorePoint(const PointType& point) {
    Widen(m_xExtent, point.X);
    Widen(m_yExtent, point.Y);
    if (const Coordinate key = OrderKey()) {
        const auto at =
            std::upper_bound(m_points.begin(), m_points.end(), point.*key,
                             [key](double v, const PointType& p) { return Less(v, p.*key); });
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
