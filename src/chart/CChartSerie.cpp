#include "chart/CChartSerie.h"

#include "chart/CChartCtrl.h"

namespace orvanta::chart {
namespace {

// Identifiers count up over the whole process, across all controls.
unsigned g_nextSerieId = 0;

} // namespace

CChartSerie::CChartSerie(CChartCtrl* control) : m_control(control), m_id(g_nextSerieId++) {}

CChartSerie::~CChartSerie() {
    SetAxes(nullptr, nullptr);
}

void CChartSerie::SetAxes(CChartAxis* vertical, CChartAxis* horizontal) {
    if (m_verticalAxis && m_verticalAxis != vertical) {
        m_verticalAxis->UnregisterSeries(this);
    }
    if (m_horizontalAxis && m_horizontalAxis != horizontal) {
        m_horizontalAxis->UnregisterSeries(this);
    }
    m_verticalAxis = vertical;
    m_horizontalAxis = horizontal;
    if (vertical) {
        vertical->RegisterSeries(this);
    }
    if (horizontal) {
        horizontal->RegisterSeries(this);
    }
}

void CChartSerie::RedrawControl() const {
    if (m_control) {
        m_control->Redraw();
    }
}

void CChartSerie::RefreshAxes() const {
    if (m_control) {
        m_control->LockRefresh();
    }
    if (m_horizontalAxis) {
        m_horizontalAxis->RefreshAutoRange();
    }
    if (m_verticalAxis) {
        m_verticalAxis->RefreshAutoRange();
    }
    if (m_control) {
        m_control->UnlockRefresh();
    }
}

void CChartSerie::SetName(const QString& name) {
    m_name = name;
    RedrawControl();
}

void CChartSerie::SetVisible(bool visible) {
    m_visible = visible;
    RefreshAxes();
    RedrawControl();
}

void CChartSerie::SetColor(COLORREF color) {
    m_color = color;
    RedrawControl();
}

void CChartSerie::SetShadow(bool shadow) {
    m_shadow = shadow;
    RedrawControl();
}

void CChartSerie::SetShadowColor(COLORREF color) {
    m_shadowColor = color;
    RedrawControl();
}

void CChartSerie::SetShadowDepth(int depth) {
    m_shadowDepth = depth;
    RedrawControl();
}

} // namespace orvanta::chart
