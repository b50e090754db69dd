#pragma once

#include "chart/CChartAxis.h"
#include "chart/CChartLegend.h"
#include "chart/CChartSerie.h"
#include "chart/CChartTitle.h"
#include "chart/ChartColor.h"
#include "chart/ChartRect.h"
#include "chart/ChartTextMeasure.h"

#include <QImage>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <vector>

namespace orvanta::chart {

// The chart control: title, legend, up to four axes with grids and any number
// of series, rendered into an off-screen image it keeps and copies on paint.
// Left-button drag zooms (a reverse drag undoes it), right-button drag pans,
// and the chart can be rendered into an image file of any size.
// Redraws happen only while the refresh counter is above 0; one requested
// while locked is done by the outermost unlock. Main (GUI) thread only.
class CChartCtrl : public QWidget {
public:
    static constexpr std::array<COLORREF, 10> kDefaultPalette = {
        0x0000FF, 0x009600, 0xFF0000, 0x00FFFF, 0xFFFF00,
        0x0080FF, 0x800080, 0x008080, 0xFF00FF, 0x808040};

    explicit CChartCtrl(QWidget* parent = nullptr);
    ~CChartCtrl() override;

    void LockRefresh();
    void UnlockRefresh();
    // Renders the chart into the off-screen image and schedules a repaint.
    void Redraw();

    // Takes the axis into slot 0 left, 1 bottom, 2 right or 3 top, replacing
    // (and destroying) the axis there; the series on the old axis move to the new one.
    template <typename Axis> Axis* PlaceAxis(std::unique_ptr<Axis> axis, int position) {
        Axis* raw = axis.get();
        return PlaceAxisImpl(std::move(axis), position) ? raw : nullptr;
    }
    CChartAxis* Axis(int position) const;

    // Takes the series, gives it the next palette colour and the left and bottom axes.
    template <typename Serie> Serie* AddSeries(std::unique_ptr<Serie> series) {
        Serie* raw = series.get();
        AddSeriesImpl(std::move(series));
        return raw;
    }
    void DeleteSeries(unsigned id);
    void ClearSeries();
    CChartSerie* Series(unsigned id) const;
    std::size_t SeriesCount() const { return m_series.size(); }
    std::vector<unsigned> SeriesIds() const;

    CChartTitle& Title() { return *m_title; }
    CChartLegend& Legend() { return *m_legend; }

    COLORREF BackColor() const { return m_backColor; }
    void SetBackColor(COLORREF color);
    COLORREF BorderColor() const { return m_borderColor; }
    void SetBorderColor(COLORREF color);
    bool HasBackGradient() const { return m_backGradient; }
    void SetBackGradient(bool gradient);
    // Gradient types: 0 horizontal, 1 vertical, 2 and 3 colour 1 to 2 and back.
    void SetGradientColors(COLORREF first, COLORREF second, int type);
    unsigned EdgeType() const { return m_edgeType; }
    void SetEdgeType(unsigned edge);
    void SetZoomEnabled(bool enabled) { m_zoomEnabled = enabled; }
    void SetPanEnabled(bool enabled) { m_panEnabled = enabled; }
    void SetZoomRectColor(COLORREF color) { m_zoomRectColor = color; }
    void SetArrowCursor(bool arrow) { m_arrowCursor = arrow; }

    // Each axis returns to the range it had before zooming or panning.
    void UndoZoom();

    // Renders the chart afresh into an image of the rectangle's size (the
    // client area's when empty) and writes it, in the format named (by the
    // file's extension when none). The file is replaced whole or not at all;
    // false when it could not be written.
    bool ExportImage(const QString& fileName, const ChartRect& rect, int bitsPerPixel = 32,
                     const char* format = nullptr);

    const ChartRect& PlottingRect() const { return m_plottingRect; }
    const QImage& OffscreenImage() const { return m_offscreen; }
    int RenderCount() const { return m_renderCount; }
    const ChartTextMeasure& TextMeasure() const { return m_measure; }

    // New points of a series go straight onto the kept image, unless a full
    // redraw is already due.
    void DrawNewPointsOf(CChartSerie& series);

protected:
    virtual void PaintChart(QPainter& painter, const ChartRect& rect);
    virtual void PaintBackground(QPainter& painter, const ChartRect& rect);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool PlaceAxisImpl(std::unique_ptr<CChartAxis> axis, int position);
    void AddSeriesImpl(std::unique_ptr<CChartSerie> series);
    void Render();
    std::vector<LegendEntry> LegendEntries() const;
    void OnLeftButtonDown(QPoint point);
    void OnLeftButtonUp();
    void OnMouseMove(QPoint point);

    int m_refreshCounter = 1;
    bool m_redrawPending = false;
    QImage m_offscreen;
    bool m_paintedOnce = false;
    bool m_backGradient = false;
    COLORREF m_gradientColor1 = kButtonFaceColor;
    COLORREF m_gradientColor2 = kButtonFaceColor;
    int m_gradientType = 1;
    COLORREF m_backColor = kButtonFaceColor;
    COLORREF m_borderColor = 0;
    unsigned m_edgeType = 5;
    ChartRect m_plottingRect;
    std::map<unsigned, std::unique_ptr<CChartSerie>> m_series;
    std::array<std::unique_ptr<CChartAxis>, 4> m_axes;
    std::unique_ptr<CChartLegend> m_legend;
    std::unique_ptr<CChartTitle> m_title;
    bool m_panEnabled = true;
    bool m_rightButtonDown = false;
    QPoint m_panAnchor;
    bool m_zoomEnabled = true;
    bool m_leftButtonDown = false;
    ChartRect m_zoomRect;
    COLORREF m_zoomRectColor = 0xFFFFFF;
    bool m_arrowCursor = true;
    FontTextMeasure m_measure;
    int m_renderCount = 0;
};

} // namespace orvanta::chart
