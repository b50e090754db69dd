#include "chart/CChartScrollBar.h"

#include "chart/CChartAxis.h"
#include "chart/CChartCtrl.h"

#include <QStyle>
#include <algorithm>

namespace orvanta::chart {

CChartScrollBar::CChartScrollBar(CChartAxis& axis, QWidget* control) : m_axis(axis) {
    m_bar = new QScrollBar(axis.IsHorizontal() ? Qt::Horizontal : Qt::Vertical, control);
    m_bar->setObjectName(QStringLiteral("100")); // its child identifier
    m_bar->hide();
    m_bar->setPageStep(10);
    m_bar->setSingleStep(1);
    QObject::connect(m_bar, &QAbstractSlider::actionTriggered, m_bar,
                     [this](int action) { OnScroll(action); });
}

CChartScrollBar::~CChartScrollBar() {
    delete m_bar;
}

void CChartScrollBar::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) {
        Show(false);
    }
    Refresh();
}

void CChartScrollBar::SetAutoHide(bool autoHide) {
    m_autoHide = autoHide;
    if (!autoHide) {
        Show(false);
    }
}

void CChartScrollBar::Refresh() {
    if (!m_enabled || !m_bar) {
        return;
    }
    const ChartScrollSteps steps = m_axis.ScrollSteps();
    m_maximum = std::max(0, steps.count - 10);
    m_position = steps.position;
    const bool fromOtherEnd = m_axis.IsHorizontal() == m_axis.IsInverted();
    if (fromOtherEnd) {
        m_position = steps.count - steps.position - 9;
    }
    m_position = std::clamp(m_position, 0, m_maximum);
    const QSignalBlocker block(m_bar);
    m_bar->setRange(0, m_maximum);
    m_bar->setValue(m_position);
}

void CChartScrollBar::Reposition() {
    if (!m_bar) {
        return;
    }
    const int thickness = m_bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const ChartRect& band = m_axis.Band();
    const int low = std::min(m_axis.Start(), m_axis.End());
    const int length = std::abs(m_axis.End() - m_axis.Start());
    if (m_axis.IsHorizontal()) {
        const int y = m_axis.IsSecondary() ? band.top : band.bottom - thickness;
        m_bar->setGeometry(low, y, length, thickness);
    } else {
        const int x = m_axis.IsSecondary() ? band.right - thickness : band.left;
        m_bar->setGeometry(x, low, thickness, length);
    }
}

bool CChartScrollBar::Contains(QPoint point) const {
    return m_bar && m_bar->geometry().contains(point);
}

void CChartScrollBar::Show(bool show) {
    if (m_bar) {
        m_bar->setVisible(show && m_enabled && m_autoHide);
    }
}

void CChartScrollBar::OnScroll(int action) {
    if (!m_bar) {
        return;
    }
    const int old = m_position;
    int next = old;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        next = old + 1;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        next = old - 1;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        next = old + 10;
        break;
    case QAbstractSlider::SliderPageStepSub:
        next = old - 10;
        break;
    case QAbstractSlider::SliderMove:
        next = m_bar->sliderPosition();
        break;
    case QAbstractSlider::SliderToMinimum:
        next = 0;
        break;
    case QAbstractSlider::SliderToMaximum:
        next = m_maximum;
        break;
    default:
        return;
    }
    next = std::clamp(next, 0, m_maximum);
    m_bar->setSliderPosition(next);
    if (next == old) {
        return;
    }
    m_position = next;
    m_axis.ScrollBy(old, next);
    if (CChartCtrl* control = m_axis.Control()) {
        control->Redraw();
    }
}

} // namespace orvanta::chart
