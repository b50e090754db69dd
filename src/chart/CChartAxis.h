#pragma once

#include "chart/CChartAxisLabel.h"
#include "chart/CChartGrid.h"
#include "chart/ChartColor.h"
#include "chart/ChartFont.h"
#include "chart/ChartRect.h"

#include <QFont>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace orvanta::chart {

class CChartCtrl;
class CChartScrollBar;
class CChartSerie;
class ChartTextMeasure;

// A closed interval of data values.
struct ChartRange {
    double low = 0;
    double high = 0;
    friend bool operator==(const ChartRange&, const ChartRange&) = default;
};

// Step count and position of an axis' scroll bar.
struct ChartScrollSteps {
    int count = 1;
    int position = 1;
};

// Maps data values to pixels along one edge of the plotting rectangle, picks
// its range from the series attached to it, spaces, labels and draws its
// ticks and grid, and takes part in zooming and panning. Main thread only.
class CChartAxis {
public:
    enum AutoMode : int { kNotAutomatic = 0, kFullAutomatic = 1, kVisibleAutomatic = 2 };
    enum Position : int { kLeft = 0, kBottom = 1, kRight = 2, kTop = 3 };

    CChartAxis();
    virtual ~CChartAxis();
    CChartAxis(const CChartAxis&) = delete;
    CChartAxis& operator=(const CChartAxis&) = delete;

    virtual void SetDiscreteMode(bool discrete);
    virtual double PixelToValue(int pixel) const;
    virtual double FirstTick() const = 0;
    // Advances tick by one step; false once it passes the maximum.
    virtual bool NextTick(double& tick) const = 0;
    virtual int TickPixel(double value) const = 0;
    virtual int DiscreteValueToPixel(double value) const = 0;
    virtual int ValueToPixel(double value) const;
    virtual QString TickLabel(double value) const = 0;
    virtual void RecomputeTickStep() = 0;
    virtual void RecomputeFirstTick() = 0;
    virtual ChartScrollSteps ScrollSteps() const;
    virtual void ScrollBy(int oldPosition, int newPosition);
    virtual void ShiftByPixels(int from, int to);
    virtual void SetZoomRange(double minimum, double maximum);

    // Placement (done by the control; a null control gives a free-standing
    // axis): positions 1 and 3 are horizontal, 2 and 3 secondary.
    void SetPlacement(CChartCtrl* control, int position);
    CChartCtrl* Control() const { return m_control; }
    bool IsHorizontal() const { return m_horizontal; }
    bool IsSecondary() const { return m_secondary; }
    bool IsInverted() const { return m_inverted; }
    void SetInverted(bool inverted);
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    bool IsDiscrete() const { return m_discrete; }

    void SetAutoRange(int mode);
    int AutoRangeMode() const { return m_autoMode; }
    void RefreshAutoRange();
    // A range set by hand; undoing a zoom returns to it.
    void SetMinMax(double minimum, double maximum);
    double Minimum() const { return m_minimum; }
    double Maximum() const { return m_maximum; }
    ChartRange Range() const { return {m_minimum, m_maximum}; }
    ChartRange UnzoomedRange() const { return {m_unzoomedMinimum, m_unzoomedMaximum}; }
    void UndoZoom();
    bool IsZoomAllowed() const { return m_zoomAllowed; }
    void SetZoomAllowed(bool allowed) { m_zoomAllowed = allowed; }
    double ZoomLimit() const { return m_zoomLimit; }
    void SetZoomLimit(double limit) { m_zoomLimit = limit; }

    // Pixel span: horizontal left to right, vertical bottom to top.
    void SetSpan(int start, int end);
    int Start() const { return m_start; }
    int End() const { return m_end; }
    // Span and band from the control's rectangle and the plotting rectangle.
    void SetAxisSize(const ChartRect& controlRect, const ChartRect& plottingRect);
    const ChartRect& Band() const { return m_band; }

    void SetFont(int pointTenths, const QString& face);
    const QFont& Font() const;
    COLORREF TextColor() const { return m_textColor; }
    void SetTextColor(COLORREF color);
    COLORREF AxisColor() const { return m_axisColor; }
    void SetAxisColor(COLORREF color);
    CChartGrid& Grid() { return m_grid; }
    const CChartGrid& Grid() const { return m_grid; }
    CChartAxisLabel& Label() { return m_label; }
    CChartScrollBar* ScrollBar() const { return m_scrollBar.get(); }
    void SetAutomaticMargin(bool automatic, int size = 0);
    int MarginSize() const { return m_marginSize; }

    void RegisterSeries(CChartSerie* series);
    void UnregisterSeries(CChartSerie* series);
    const std::vector<CChartSerie*>& RegisteredSeries() const { return m_series; }

    // The ticks the axis draws: from FirstTick by NextTick, or one at the
    // minimum for an empty range. Bounded, so a degenerate step cannot loop.
    std::vector<double> TickValues() const;

    // Shrinks the plotting rectangle by the room the axis needs and returns
    // that room; a hidden axis reserves nothing.
    int ReserveMargin(const ChartRect& rect, ChartRect& plottingRect,
                      const ChartTextMeasure& measure);
    void DrawAxis(QPainter& painter, const ChartTextMeasure& measure);

protected:
    int SpanLength() const;
    void RedrawControl() const;
    // The extent of the registered series for the automatic range.
    std::optional<ChartRange> SeriesExtent(bool visibleOnly) const;

    CChartCtrl* m_control = nullptr;
    bool m_horizontal = true;
    bool m_inverted = false;
    int m_autoMode = kNotAutomatic;
    bool m_visible = true;
    bool m_secondary = false;
    double m_maximum = 0;
    double m_minimum = 0;
    double m_unzoomedMinimum = 0;
    double m_unzoomedMaximum = 0;
    bool m_automaticTicks = true;
    bool m_discrete = false;
    int m_start = 0;
    int m_end = 0;
    ChartRect m_band;
    ChartFont m_font;
    COLORREF m_textColor = 0;
    COLORREF m_axisColor = 0;
    CChartGrid m_grid;
    CChartAxisLabel m_label;
    std::vector<CChartSerie*> m_series;
    bool m_automaticMargin = true;
    int m_marginSize = 0;
    bool m_zoomAllowed = true;
    double m_zoomLimit = 0.001;
    std::unique_ptr<CChartScrollBar> m_scrollBar;

private:
    void UpdateScrollBar();

    mutable QFont m_qfont;
    mutable bool m_fontDirty = true;
};

} // namespace orvanta::chart
