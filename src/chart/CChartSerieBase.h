#pragma once

#include "chart/CChartSerie.h"

#include <QString>
#include <cstddef>
#include <map>
#include <optional>
#include <vector>

namespace orvanta::chart {

// One X/Y point of a series.
struct SChartXYPoint {
    double X = 0;
    double Y = 0;
};

// A series with its point store: one contiguous array that grows in steps of
// 1000, optionally kept sorted by X or Y, with the extents of its finite
// coordinates. Main thread only.
template <typename PointType> class CChartSerieBase : public CChartSerie {
public:
    static constexpr std::size_t kInitialCapacity = 1000;
    static constexpr std::size_t kGrowthStep = 1000;

    explicit CChartSerieBase(CChartCtrl* control);

    unsigned PointCount() const override { return static_cast<unsigned>(m_points.size()); }
    QPoint PointToPixel(unsigned index) const override;
    std::optional<ChartRange> YExtent() const override { return Extent(m_yExtent); }
    std::optional<ChartRange> XExtent() const override { return Extent(m_xExtent); }
    std::optional<ChartRange> VisibleXExtent() const override {
        return VisibleExtent(&PointType::X);
    }
    std::optional<ChartRange> VisibleYExtent() const override {
        return VisibleExtent(&PointType::Y);
    }
    std::optional<ChartIndexRange> VisibleIndexRange() const override;
    void DrawPointLabels(QPainter& painter) const override;
    void SetPointOrder(int order) override;

    int PointOrder() const { return m_order; }
    const PointType& Point(unsigned index) const { return m_points.at(index); }
    std::size_t Capacity() const { return m_points.capacity(); }

    void AddPoint(const PointType& point);
    void AddPoints(const PointType* points, std::size_t count);
    void RemoveAllPoints();
    // A text drawn above the point (nothing in the program attaches one).
    void AttachPointLabel(unsigned index, const QString& text);

protected:
    // X or Y of a point; the axes differ only in which one they read.
    using Coordinate = double PointType::*;

    // The coordinate the points are kept sorted by; null when unordered.
    Coordinate OrderKey() const;
    std::optional<ChartRange> Extent(const std::optional<ChartRange>& extent) const;
    // The extent of coordinate over the points inside the ordering axis's range; only for
    // the coordinate the points are not sorted by.
    std::optional<ChartRange> VisibleExtent(Coordinate coordinate) const;
    void StorePoint(const PointType& point);
    // Axes, incremental drawing and repaint after points arrived.
    void PointsAdded();

    std::vector<PointType> m_points;
    int m_order = kXOrdering;
    std::optional<ChartRange> m_xExtent;
    std::optional<ChartRange> m_yExtent;
    std::map<unsigned, QString> m_pointLabels;
};

extern template class CChartSerieBase<SChartXYPoint>;

} // namespace orvanta::chart
