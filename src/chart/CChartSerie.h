#pragma once

#include "chart/CChartAxis.h"
#include "chart/ChartColor.h"
#include "chart/ChartRect.h"

#include <QPoint>
#include <QString>
#include <optional>

class QPainter;

namespace orvanta::chart {

class CChartCtrl;

// First and last index of a run of points.
struct ChartIndexRange {
    unsigned first = 0;
    unsigned last = 0;
};

// A series of points drawn against one vertical and one horizontal axis of
// its control. Destroying it unregisters it from both axes. Main thread only.
class CChartSerie {
public:
    enum PointOrder : int { kNoOrdering = 0, kXOrdering = 1, kYOrdering = 2 };

    explicit CChartSerie(CChartCtrl* control);
    virtual ~CChartSerie();
    CChartSerie(const CChartSerie&) = delete;
    CChartSerie& operator=(const CChartSerie&) = delete;

    virtual unsigned PointCount() const = 0;
    virtual QPoint PointToPixel(unsigned index) const = 0;
    virtual std::optional<ChartRange> YExtent() const = 0;
    virtual std::optional<ChartRange> XExtent() const = 0;
    virtual std::optional<ChartRange> VisibleXExtent() const = 0;
    virtual std::optional<ChartRange> VisibleYExtent() const = 0;
    virtual std::optional<ChartIndexRange> VisibleIndexRange() const = 0;
    virtual void DrawLegendKey(QPainter& painter, const ChartRect& rect) const = 0;
    virtual void DrawNewPoints(QPainter& painter) = 0;
    virtual void DrawAllPoints(QPainter& painter) = 0;
    virtual void DrawPointLabels(QPainter& painter) const = 0;
    virtual void SetPointOrder(int order) = 0;

    unsigned Id() const { return m_id; }
    CChartCtrl* Control() const { return m_control; }
    CChartAxis* VerticalAxis() const { return m_verticalAxis; }
    CChartAxis* HorizontalAxis() const { return m_horizontalAxis; }
    // Set by the control; the series registers with the new axes.
    void SetAxes(CChartAxis* vertical, CChartAxis* horizontal);

    const QString& Name() const { return m_name; }
    void SetName(const QString& name);
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    COLORREF Color() const { return m_color; }
    void SetColor(COLORREF color);
    bool HasShadow() const { return m_shadow; }
    void SetShadow(bool shadow);
    COLORREF ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(COLORREF color);
    int ShadowDepth() const { return m_shadowDepth; }
    void SetShadowDepth(int depth);
    const ChartRect& ClippingRect() const { return m_clippingRect; }
    void SetClippingRect(const ChartRect& rect) { m_clippingRect = rect; }

protected:
    void RedrawControl() const;
    // Under one lock of the control, both axes recompute their automatic range.
    void RefreshAxes() const;

    CChartCtrl* m_control;
    CChartAxis* m_verticalAxis = nullptr;
    CChartAxis* m_horizontalAxis = nullptr;
    QString m_name;
    bool m_visible = true;
    bool m_shadow = false;
    COLORREF m_color = 0;
    COLORREF m_shadowColor = 0x969696;
    int m_shadowDepth = 2;
    ChartRect m_clippingRect;
    unsigned m_id;
};

} // namespace orvanta::chart
