#include "chart/CChartCtrl.h"

#include "chart/CChartScrollBar.h"
#include "chart/ChartEdge.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>

namespace orvanta::chart {

CChartCtrl::CChartCtrl(QWidget* parent)
    : QWidget(parent), m_legend(std::make_unique<CChartLegend>(this)),
      m_title(std::make_unique<CChartTitle>(this)) {
    // Everything is painted from the kept image; there is no background to erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

CChartCtrl::~CChartCtrl() {
    // Series unregister from their axes, so they go first.
    m_series.clear();
    for (auto& axis : m_axes) {
        axis.reset();
    }
}

void CChartCtrl::LockRefresh() {
    --m_refreshCounter;
    if (m_refreshCounter > 0 && m_redrawPending) {
        m_redrawPending = false;
        Redraw();
    }
}

void CChartCtrl::UnlockRefresh() {
    ++m_refreshCounter;
    if (m_refreshCounter > 0 && m_redrawPending) {
        m_redrawPending = false;
        Redraw();
    }
}

void CChartCtrl::Redraw() {
    if (m_refreshCounter <= 0) {
        m_redrawPending = true;
        return;
    }
    Render();
    update();
}

void CChartCtrl::Render() {
    const QSize client = size();
    if (client.isEmpty()) {
        return;
    }
    if (m_offscreen.size() != client) {
        m_offscreen = QImage(client, QImage::Format_RGB32);
    }
    QPainter painter(&m_offscreen);
    const ChartRect rect{0, 0, client.width(), client.height()};
    PaintBackground(painter, rect);
    PaintChart(painter, rect.Deflated(3));
    painter.end();
    ++m_renderCount;
    for (const auto& axis : m_axes) {
        if (axis && axis->ScrollBar()) {
            axis->ScrollBar()->Reposition();
        }
    }
}

void CChartCtrl::PaintBackground(QPainter& painter, const ChartRect& rect) {
    const QRect area = rect.ToQRect();
    if (m_backGradient) {
        const QColor first = ToQColor(m_gradientColor1);
        const QColor second = ToQColor(m_gradientColor2);
        const bool horizontal = m_gradientType == 0 || m_gradientType == 2;
        QLinearGradient gradient(area.topLeft(), horizontal ? area.topRight() : area.bottomLeft());
        gradient.setColorAt(0, first);
        if (m_gradientType == 2 || m_gradientType == 3) {
            gradient.setColorAt(0.5, second);
            gradient.setColorAt(1, first);
        } else {
            gradient.setColorAt(1, second);
        }
        painter.fillRect(area, gradient);
    } else {
        painter.fillRect(area, ToQColor(m_backColor));
    }
    DrawChartEdge(painter, rect, m_edgeType);
}

std::vector<LegendEntry> CChartCtrl::LegendEntries() const {
    std::vector<LegendEntry> entries;
    for (const auto& [id, series] : m_series) {
        if (series->IsVisible() && !series->Name().isEmpty()) {
            entries.push_back({series.get(), m_measure.Extent(m_legend->Font(), series->Name())});
        }
    }
    return entries;
}

void CChartCtrl::PaintChart(QPainter& painter, const ChartRect& rect) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    m_plottingRect = rect;

    const QSize title = m_title->Measure(m_measure);
    m_title->SetRect(ChartRect{m_plottingRect.left, m_plottingRect.top, m_plottingRect.right,
                               m_plottingRect.top + title.height()});
    m_plottingRect.top += title.height();
    m_title->Paint(painter, m_measure);

    const std::vector<LegendEntry> entries = LegendEntries();
    m_legend->LayoutLegend(m_plottingRect, entries, rect);

    // Each axis first takes its room, then draws against the final rectangle.
    for (const auto& axis : m_axes) {
        if (axis) {
            axis->SetAxisSize(rect, m_plottingRect);
            axis->RecomputeTickStep();
            axis->RecomputeFirstTick();
            axis->ReserveMargin(rect, m_plottingRect, m_measure);
        }
    }
    for (const auto& axis : m_axes) {
        if (axis) {
            axis->SetAxisSize(rect, m_plottingRect);
            axis->RecomputeTickStep();
            axis->RecomputeFirstTick();
            axis->DrawAxis(painter, m_measure);
        }
    }

    const ChartRect& plot = m_plottingRect;
    painter.setPen(QPen(ToQColor(m_borderColor), 1));
    painter.setBrush(Qt::NoBrush);
    const QPoint frame[] = {{plot.left, plot.top},
                            {plot.right, plot.top},
                            {plot.right, plot.bottom},
                            {plot.left, plot.bottom},
                            {plot.left, plot.top}};
    painter.drawPolyline(frame, 5);

    for (const auto& [id, series] : m_series) {
        series->SetClippingRect(ChartRect{plot.left, plot.top, plot.right + 1, plot.bottom + 1});
        series->DrawAllPoints(painter);
    }
    painter.save();
    painter.setClipRect(plot.ToQRect());
    for (const auto& [id, series] : m_series) {
        series->DrawPointLabels(painter);
    }
    painter.restore();

    m_legend->PaintLegend(painter, entries);
}

bool CChartCtrl::PlaceAxisImpl(std::unique_ptr<CChartAxis> axis, int position) {
    if (!axis || position < 0 || position > 3) {
        return false;
    }
    CChartAxis* placed = axis.get();
    placed->SetPlacement(this, position);
    std::unique_ptr<CChartAxis> old = std::move(m_axes[static_cast<std::size_t>(position)]);
    m_axes[static_cast<std::size_t>(position)] = std::move(axis);
    if (old) {
        // Series plotted against the slot keep a valid axis.
        for (const auto& [id, series] : m_series) {
            CChartAxis* vertical = series->VerticalAxis();
            CChartAxis* horizontal = series->HorizontalAxis();
            if (vertical == old.get() || horizontal == old.get()) {
                series->SetAxes(vertical == old.get() ? placed : vertical,
                                horizontal == old.get() ? placed : horizontal);
            }
        }
    }
    old.reset();
    Redraw();
    return true;
}

CChartAxis* CChartCtrl::Axis(int position) const {
    if (position < 0 || position > 3) {
        return nullptr;
    }
    return m_axes[static_cast<std::size_t>(position)].get();
}

void CChartCtrl::AddSeriesImpl(std::unique_ptr<CChartSerie> series) {
    if (!series) {
        return;
    }
    CChartSerie* added = series.get();
    LockRefresh();
    added->SetColor(kDefaultPalette[m_series.size() % kDefaultPalette.size()]);
    added->SetClippingRect(m_plottingRect);
    m_series[added->Id()] = std::move(series);
    added->SetAxes(Axis(CChartAxis::kLeft), Axis(CChartAxis::kBottom));
    if (CChartAxis* vertical = added->VerticalAxis()) {
        vertical->RefreshAutoRange();
    }
    if (CChartAxis* horizontal = added->HorizontalAxis()) {
        horizontal->RefreshAutoRange();
    }
    Redraw();
    UnlockRefresh();
}

void CChartCtrl::DeleteSeries(unsigned id) {
    const auto found = m_series.find(id);
    if (found == m_series.end()) {
        return;
    }
    std::unique_ptr<CChartSerie> series = std::move(found->second);
    m_series.erase(found);
    LockRefresh();
    CChartAxis* vertical = series->VerticalAxis();
    CChartAxis* horizontal = series->HorizontalAxis();
    series->SetAxes(nullptr, nullptr);
    if (vertical) {
        vertical->RefreshAutoRange();
    }
    if (horizontal) {
        horizontal->RefreshAutoRange();
    }
    series.reset();
    Redraw();
    UnlockRefresh();
}

void CChartCtrl::ClearSeries() {
    m_series.clear();
    Redraw();
}

CChartSerie* CChartCtrl::Series(unsigned id) const {
    const auto found = m_series.find(id);
    return found == m_series.end() ? nullptr : found->second.get();
}

std::vector<unsigned> CChartCtrl::SeriesIds() const {
    std::vector<unsigned> ids;
    ids.reserve(m_series.size());
    for (const auto& entry : m_series) {
        ids.push_back(entry.first);
    }
    return ids;
}

void CChartCtrl::SetBackColor(COLORREF color) {
    m_backColor = color;
    Redraw();
}

void CChartCtrl::SetBorderColor(COLORREF color) {
    m_borderColor = color;
    Redraw();
}

void CChartCtrl::SetBackGradient(bool gradient) {
    m_backGradient = gradient;
    Redraw();
}

void CChartCtrl::SetGradientColors(COLORREF first, COLORREF second, int type) {
    m_gradientColor1 = first;
    m_gradientColor2 = second;
    m_gradientType = type;
    Redraw();
}

void CChartCtrl::SetEdgeType(unsigned edge) {
    m_edgeType = edge;
    Redraw();
}

void CChartCtrl::UndoZoom() {
    LockRefresh();
    for (int position :
         {CChartAxis::kBottom, CChartAxis::kLeft, CChartAxis::kTop, CChartAxis::kRight}) {
        if (CChartAxis* axis = Axis(position)) {
            axis->UndoZoom();
        }
    }
    Redraw();
    UnlockRefresh();
}

bool CChartCtrl::ExportImage(const QString& fileName, const ChartRect& requested, int bitsPerPixel,
                             const char* format) {
    const ChartRect rect = requested.IsEmpty() ? ChartRect{0, 0, width(), height()} : requested;
    if (rect.IsEmpty()) {
        return false;
    }
    QImage::Format imageFormat = QImage::Format_RGB32;
    if (bitsPerPixel == 24) {
        imageFormat = QImage::Format_RGB888;
    } else if (bitsPerPixel == 16) {
        imageFormat = QImage::Format_RGB16;
    }
    QImage image(rect.Width(), rect.Height(), imageFormat);
    {
        QPainter painter(&image);
        painter.translate(-rect.left, -rect.top);
        PaintBackground(painter, rect);
        PaintChart(painter, rect.Deflated(3));
    }
    // The export laid the chart out for the image; the screen gets its own layout back.
    if (!m_offscreen.isNull()) {
        Redraw();
    }

    const QByteArray encoder =
        format ? QByteArray(format) : QFileInfo(fileName).suffix().toLower().toLatin1();
    if (encoder.isEmpty() || !QImageWriter::supportedImageFormats().contains(encoder)) {
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (!image.save(&file, encoder.constData())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void CChartCtrl::DrawNewPointsOf(CChartSerie& series) {
    if (m_offscreen.isNull() || m_redrawPending) {
        return;
    }
    QPainter painter(&m_offscreen);
    series.DrawNewPoints(painter);
    painter.end();
    update();
}

void CChartCtrl::paintEvent(QPaintEvent*) {
    if (!m_paintedOnce) {
        m_paintedOnce = true;
        if (m_refreshCounter > 0) {
            Render();
        } else {
            m_redrawPending = true;
        }
    }
    QPainter painter(this);
    if (m_offscreen.isNull()) {
        painter.fillRect(rect(), ToQColor(m_backColor));
    } else {
        painter.drawImage(0, 0, m_offscreen);
    }
    if (m_zoomEnabled && m_leftButtonDown) {
        const QRect zoom = QRect(QPoint(m_zoomRect.left, m_zoomRect.top),
                                 QPoint(m_zoomRect.right, m_zoomRect.bottom))
                               .normalized();
        painter.setPen(QPen(ToQColor(m_zoomRectColor), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(zoom.adjusted(0, 0, -1, -1));
    }
}

void CChartCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_offscreen = QImage();
    Redraw();
}

void CChartCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        OnLeftButtonDown(point);
    } else if (event->button() == Qt::RightButton) {
        m_rightButtonDown = true;
        if (m_panEnabled) {
            m_panAnchor = point;
        }
    }
}

void CChartCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OnLeftButtonUp();
    } else if (event->button() == Qt::RightButton) {
        m_rightButtonDown = false;
    }
}

void CChartCtrl::mouseDoubleClickEvent(QMouseEvent*) {
    // The second click of a double click is not a button press: it neither
    // starts a zoom nor a pan.
}

void CChartCtrl::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
}

void CChartCtrl::OnLeftButtonDown(QPoint point) {
    if (m_zoomEnabled) {
        m_leftButtonDown = true;
        m_zoomRect = ChartRect{point.x(), point.y(), point.x(), point.y()};
    }
}

void CChartCtrl::OnLeftButtonUp() {
    m_leftButtonDown = false;
    if (!m_zoomEnabled) {
        return;
    }
    const ChartRect zoom = m_zoomRect;
    if (zoom.right < zoom.left || zoom.bottom < zoom.top) {
        UndoZoom();
    } else if (zoom.right != zoom.left && zoom.bottom != zoom.top) {
        for (int position : {CChartAxis::kBottom, CChartAxis::kTop}) {
            if (CChartAxis* axis = Axis(position)) {
                const double a = axis->PixelToValue(zoom.left);
                const double b = axis->PixelToValue(zoom.right);
                axis->SetZoomRange(std::min(a, b), std::max(a, b));
            }
        }
        for (int position : {CChartAxis::kLeft, CChartAxis::kRight}) {
            if (CChartAxis* axis = Axis(position)) {
                const double a = axis->PixelToValue(zoom.bottom);
                const double b = axis->PixelToValue(zoom.top);
                axis->SetZoomRange(std::min(a, b), std::max(a, b));
            }
        }
        Redraw();
    } else {
        // A click without a drag leaves the ranges; only the rectangle goes.
        update();
    }
}

void CChartCtrl::OnMouseMove(QPoint point) {
    if (m_panEnabled && m_rightButtonDown && point != m_panAnchor) {
        LockRefresh();
        for (int position : {CChartAxis::kLeft, CChartAxis::kRight}) {
            if (CChartAxis* axis = Axis(position)) {
                axis->ShiftByPixels(m_panAnchor.y(), point.y());
            }
        }
        for (int position : {CChartAxis::kBottom, CChartAxis::kTop}) {
            if (CChartAxis* axis = Axis(position)) {
                axis->ShiftByPixels(m_panAnchor.x(), point.x());
            }
        }
        Redraw();
        UnlockRefresh();
        repaint();
        m_panAnchor = point;
    }
    if (m_zoomEnabled && m_leftButtonDown) {
        m_zoomRect.right = point.x();
        m_zoomRect.bottom = point.y();
        update();
    }
    CChartScrollBar* under = nullptr;
    for (const auto& axis : m_axes) {
        CChartScrollBar* bar = axis ? axis->ScrollBar() : nullptr;
        if (bar && bar->IsEnabled() && bar->IsAutoHide()) {
            bar->Show(false);
            if (!under && bar->Contains(point)) {
                under = bar;
            }
        }
    }
    if (under) {
        under->Show(true);
    }
    const Qt::CursorShape shape =
        m_arrowCursor || !m_plottingRect.Contains(point) ? Qt::ArrowCursor : Qt::BlankCursor;
    if (cursor().shape() != shape) {
        setCursor(shape);
    }
}

} // namespace orvanta::chart
