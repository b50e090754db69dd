#include "chart/CChartAxis.h"

#include "chart/CChartCtrl.h"
#include "chart/CChartScrollBar.h"
#include "chart/CChartSerie.h"
#include "chart/ChartTextMeasure.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvanta::chart {
namespace {

// Pixel offsets are held far inside int, yet far beyond any screen, so a
// value zoomed far out of view still maps to a usable coordinate.
constexpr double kPixelLimit = 1.0e6;

// No axis draws more ticks than this, whatever its step.
constexpr std::size_t kTickLimit = 10000;

} // namespace

CChartAxis::CChartAxis() : m_font{QStringLiteral("Microsoft Sans Serif"), 80} {}

CChartAxis::~CChartAxis() = default;

void CChartAxis::SetPlacement(CChartCtrl* control, int position) {
    m_control = control;
    m_horizontal = position == kBottom || position == kTop;
    m_secondary = position == kRight || position == kTop;
    m_grid.SetControl(control);
    m_grid.SetHorizontal(m_horizontal);
    m_label.SetControl(control);
    m_label.SetHorizontal(m_horizontal);
    m_scrollBar.reset();
    if (control) {
        m_scrollBar = std::make_unique<CChartScrollBar>(*this, control);
    }
}

void CChartAxis::RedrawControl() const {
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartAxis::UpdateScrollBar() {
    if (m_scrollBar) {
        m_scrollBar->Refresh();
    }
}

int CChartAxis::SpanLength() const {
    return std::abs(m_end - m_start);
}

void CChartAxis::SetDiscreteMode(bool discrete) {
    m_discrete = discrete;
    RedrawControl();
}

void CChartAxis::SetInverted(bool inverted) {
    m_inverted = inverted;
    UpdateScrollBar();
    RedrawControl();
}

void CChartAxis::SetVisible(bool visible) {
    m_visible = visible;
    RedrawControl();
}

int CChartAxis::ValueToPixel(double value) const {
    const int length = SpanLength();
    if (m_maximum == m_minimum) {
        return m_horizontal ? m_start + length / 2 : m_start - length / 2;
    }
    double offset = std::floor(length * (value - m_minimum) / (m_maximum - m_minimum));
    if (std::isnan(offset)) {
        offset = 0;
    }
    const int pixels = static_cast<int>(std::clamp(offset, -kPixelLimit, kPixelLimit));
    if (m_horizontal) {
        return m_inverted ? m_end - pixels : m_start + pixels;
    }
    return m_inverted ? m_end + pixels : m_start - pixels;
}

double CChartAxis::PixelToValue(int pixel) const {
    const int length = SpanLength();
    if (m_maximum == m_minimum || length == 0) {
        return m_minimum;
    }
    int distance = 0;
    if (m_horizontal) {
        distance = m_inverted ? m_end - pixel : pixel - m_start;
    } else {
        distance = m_inverted ? pixel - m_end : m_start - pixel;
    }
    return static_cast<double>(distance) / length * (m_maximum - m_minimum) + m_minimum;
}

void CChartAxis::SetAutoRange(int mode) {
    m_autoMode = mode;
    m_maximum = 0;
    m_minimum = 0;
    RefreshAutoRange();
}

std::optional<ChartRange> CChartAxis::SeriesExtent(bool visibleOnly) const {
    std::optional<ChartRange> total;
    for (const CChartSerie* series : m_series) {
        std::optional<ChartRange> extent;
        if (m_horizontal) {
            extent = visibleOnly ? series->VisibleXExtent() : series->XExtent();
        } else {
            extent = visibleOnly ? series->VisibleYExtent() : series->YExtent();
        }
        // A hidden or empty series has no say in the range.
        if (!extent) {
            continue;
        }
        if (!total) {
            total = extent;
        } else {
            total->low = std::min(total->low, extent->low);
            total->high = std::max(total->high, extent->high);
        }
    }
    return total;
}

void CChartAxis::RefreshAutoRange() {
    if (m_autoMode == kNotAutomatic) {
        return;
    }
    ChartRange range = SeriesExtent(m_autoMode == kVisibleAutomatic).value_or(ChartRange{});
    if (!m_horizontal) {
        range.low -= 1;
        range.high += 1;
    }
    // Compared after the widening, so an unchanged range never redraws and an
    // all-zero start gets the same -1..1 as any later all-zero window.
    if (range.high == m_maximum && range.low == m_minimum) {
        return;
    }
    m_maximum = m_unzoomedMaximum = range.high;
    m_minimum = m_unzoomedMinimum = range.low;
    UpdateScrollBar();
    RedrawControl();
}

void CChartAxis::SetMinMax(double minimum, double maximum) {
    if (!std::isfinite(minimum) || !std::isfinite(maximum)) {
        return;
    }
    if (minimum > maximum) {
        std::swap(minimum, maximum);
    }
    m_minimum = m_unzoomedMinimum = minimum;
    m_maximum = m_unzoomedMaximum = maximum;
    UpdateScrollBar();
    RedrawControl();
}

void CChartAxis::UndoZoom() {
    m_minimum = m_unzoomedMinimum;
    m_maximum = m_unzoomedMaximum;
    UpdateScrollBar();
}

void CChartAxis::SetZoomRange(double minimum, double maximum) {
    if (!m_zoomAllowed || m_maximum == m_minimum) {
        return;
    }
    if (!std::isfinite(minimum) || !std::isfinite(maximum)) {
        return;
    }
    m_minimum = minimum;
    m_maximum = maximum - minimum < m_zoomLimit ? minimum + m_zoomLimit : maximum;
    UpdateScrollBar();
}

void CChartAxis::ShiftByPixels(int from, int to) {
    const double shift = PixelToValue(from) - PixelToValue(to);
    SetZoomRange(m_minimum + shift, m_maximum + shift);
}

ChartScrollSteps CChartAxis::ScrollSteps() const {
    const std::optional<ChartRange> data = SeriesExtent(false);
    const double range = m_maximum - m_minimum;
    if (!data || !(range > 0) || !(data->high > data->low)) {
        return {};
    }
    const double extent = data->high - data->low;
    const double count = std::clamp(std::ceil(extent / (range / 10)), 1.0, 1.0e6);
    const double position = std::clamp((m_minimum - data->low) / extent * count, -1.0e6, 1.0e6);
    return {static_cast<int>(count), static_cast<int>(position)};
}

void CChartAxis::ScrollBy(int oldPosition, int newPosition) {
    double shift = (newPosition - oldPosition) * (m_maximum - m_minimum) / 10;
    // The bar counts from the other end for these two.
    if (m_horizontal == m_inverted) {
        shift = -shift;
    }
    m_minimum += shift;
    m_maximum += shift;
}

void CChartAxis::SetSpan(int start, int end) {
    m_start = start;
    m_end = end;
}

void CChartAxis::SetAxisSize(const ChartRect& controlRect, const ChartRect& plot) {
    m_band = controlRect;
    if (m_horizontal) {
        SetSpan(plot.left, plot.right);
        if (m_secondary) {
            m_band.bottom = plot.top;
        } else {
            m_band.top = plot.bottom;
        }
    } else {
        SetSpan(plot.bottom, plot.top);
        if (m_secondary) {
            m_band.left = plot.right;
        } else {
            m_band.right = plot.left;
        }
    }
}

void CChartAxis::SetFont(int pointTenths, const QString& face) {
    m_font.pointTenths = pointTenths;
    m_font.face = face;
    m_fontDirty = true;
    RedrawControl();
}

const QFont& CChartAxis::Font() const {
    if (m_fontDirty) {
        m_qfont = MakeFont(m_font);
        m_fontDirty = false;
    }
    return m_qfont;
}

void CChartAxis::SetTextColor(COLORREF color) {
    m_textColor = color;
    m_label.SetColor(color);
    RedrawControl();
}

void CChartAxis::SetAxisColor(COLORREF color) {
    m_axisColor = color;
    RedrawControl();
}

void CChartAxis::SetAutomaticMargin(bool automatic, int size) {
    m_automaticMargin = automatic;
    if (!automatic) {
        m_marginSize = size;
    }
    RedrawControl();
}

void CChartAxis::RegisterSeries(CChartSerie* series) {
    if (std::find(m_series.begin(), m_series.end(), series) == m_series.end()) {
        m_series.push_back(series);
    }
}

void CChartAxis::UnregisterSeries(CChartSerie* series) {
    m_series.erase(std::remove(m_series.begin(), m_series.end(), series), m_series.end());
}

std::vector<double> CChartAxis::TickValues() const {
    std::vector<double> ticks;
    if (m_maximum == m_minimum) {
        ticks.push_back(m_minimum);
        return ticks;
    }
    // Two ticks per pixel is already more than anyone can read.
    const std::size_t limit = std::min<std::size_t>(kTickLimit, 2 * SpanLength() + 10);
    double tick = FirstTick();
    ticks.push_back(tick);
    while (ticks.size() < limit) {
        double next = tick;
        if (!NextTick(next) || !(next > tick)) {
            break;
        }
        ticks.push_back(next);
        tick = next;
    }
    return ticks;
}

int CChartAxis::ReserveMargin(const ChartRect& rect, ChartRect& plot,
                              const ChartTextMeasure& measure) {
    if (!m_visible) {
        return 0;
    }
    int labelWidth = 0;
    int labelHeight = 0;
    for (double tick : TickValues()) {
        const QSize extent = measure.Extent(Font(), TickLabel(tick));
        labelWidth = std::max(labelWidth, extent.width());
        labelHeight = std::max(labelHeight, extent.height());
    }
    const QSize caption = m_label.Size(measure);
    int size = 0;
    if (m_horizontal) {
        size = m_automaticMargin ? labelHeight + caption.height() + 6 : m_marginSize;
        if (m_secondary) {
            plot.top = std::max(plot.top, rect.top + size);
        } else {
            plot.bottom = std::min(plot.bottom, rect.bottom - size);
        }
        plot.right = std::min(plot.right, rect.right - labelWidth / 2 - 3);
    } else {
        size = m_automaticMargin ? labelWidth + caption.width() + 10 : m_marginSize;
        plot.top = std::max(plot.top, rect.top + labelHeight / 2 + 3);
        if (m_secondary) {
            plot.right = std::min(plot.right, rect.right - size);
        } else {
            plot.left = std::max(plot.left, rect.left + size);
        }
    }
    if (m_automaticMargin) {
        m_marginSize = size;
    }
    return size;
}

void CChartAxis::DrawAxis(QPainter& painter, const ChartTextMeasure& measure) {
    if (!m_visible) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPen axisPen(ToQColor(m_axisColor), 1);
    painter.setPen(axisPen);
    painter.setFont(Font());
    const int ascent = QFontMetrics(Font()).ascent();

    // The axis line, its far end excluded.
    const int low = std::min(m_start, m_end);
    const int high = std::max(m_start, m_end);
    if (m_horizontal) {
        const int y = m_secondary ? m_band.bottom - 1 : m_band.top + 1;
        if (high > low) {
            painter.drawLine(m_start < m_end ? m_start : m_start - 1, y,
                             m_start < m_end ? m_end - 1 : m_end, y);
        }
    } else {
        const int x = m_secondary ? m_band.left + 1 : m_band.right - 1;
        if (high > low) {
            painter.drawLine(x, m_start > m_end ? m_start : m_start + 1, x,
                             m_start > m_end ? m_end + 1 : m_end);
        }
    }

    const std::vector<double> ticks = TickValues();
    std::vector<QString> labels;
    std::vector<QSize> sizes;
    labels.reserve(ticks.size());
    sizes.reserve(ticks.size());
    int labelWidth = 0;
    int labelHeight = 0;
    for (double tick : ticks) {
        labels.push_back(TickLabel(tick));
        sizes.push_back(measure.Extent(Font(), labels.back()));
        labelWidth = std::max(labelWidth, sizes.back().width());
        labelHeight = std::max(labelHeight, sizes.back().height());
    }

    // The caption sits outside the tick labels, centred along the axis.
    const QSize caption = m_label.Size(measure);
    const int centre = (m_start + m_end) / 2;
    if (m_horizontal) {
        const int y = m_secondary ? m_band.bottom - labelHeight - 5 - caption.height()
                                  : m_band.top + labelHeight + 5;
        m_label.Draw(painter, measure, centre, y, centre);
    } else {
        const int x = m_secondary ? m_band.left + 6 + labelWidth + 2 : m_band.left + 2;
        m_label.Draw(painter, measure, x, centre, centre);
    }

    m_grid.ClearTicks();
    painter.setPen(axisPen);
    const QColor textColor = ToQColor(m_textColor);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const int pixel = TickPixel(ticks[i]);
        const bool inSpan = pixel >= low && pixel <= high;
        const QSize size = sizes[i];
        if (inSpan) {
            painter.setPen(axisPen);
            if (m_horizontal) {
                const int y = m_secondary ? m_band.bottom - 1 : m_band.top + 1;
                const int dir = m_secondary ? -1 : 1;
                painter.drawLine(pixel, y, pixel, y + 2 * dir);
            } else {
                const int x = m_secondary ? m_band.left + 1 : m_band.right - 1;
                const int dir = m_secondary ? 1 : -1;
                painter.drawLine(x, pixel, x + 2 * dir, pixel);
            }
            painter.setPen(textColor);
            if (m_horizontal) {
                const int y = m_secondary ? m_band.bottom - size.height() - 5 : m_band.top + 5;
                painter.drawText(pixel - size.width() / 2, y + ascent, labels[i]);
            } else {
                const int x = m_secondary ? m_band.left + 6 : m_band.left + caption.width() + 4;
                painter.drawText(x, pixel - size.height() / 2 + ascent, labels[i]);
            }
        }
        m_grid.AddTick(pixel);
    }
    painter.restore();

    if (m_control) {
        m_grid.Draw(painter, m_control->PlottingRect());
    }
}

} // namespace orvanta::chart
