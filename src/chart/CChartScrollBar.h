#pragma once

#include <QPointer>
#include <QScrollBar>

namespace orvanta::chart {

class CChartAxis;
struct ChartRect;

// The scroll bar of one axis: a child of the chart control, created hidden.
// It is shown only when enabled and auto-hiding, while the pointer is over it.
// Main thread only.
class CChartScrollBar {
public:
    CChartScrollBar(CChartAxis& axis, QWidget* control);
    ~CChartScrollBar();
    CChartScrollBar(const CChartScrollBar&) = delete;
    CChartScrollBar& operator=(const CChartScrollBar&) = delete;

    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    bool IsAutoHide() const { return m_autoHide; }
    void SetAutoHide(bool autoHide);

    // Range and position from the axis' range against its data.
    void Refresh();
    // Lays the bar along the axis, inside the axis' band.
    void Reposition();
    bool Contains(QPoint point) const;
    void Show(bool show);

    int Position() const { return m_position; }
    // A scroll action of the bar (line, page, thumb, top, bottom).
    void OnScroll(int action);

private:
    CChartAxis& m_axis;
    QPointer<QScrollBar> m_bar;
    bool m_enabled = false;
    bool m_autoHide = true;
    int m_position = 0;
    int m_maximum = 0;
};

} // namespace orvanta::chart
