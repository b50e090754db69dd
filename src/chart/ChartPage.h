#pragma once

#include "chart/CChartCtrl.h"
#include "chart/ChartColor.h"
#include "chart/ChartItem.h"
#include "protocol/WaveformHistory.h"

#include <QDateTime>
#include <QWidget>
#include <array>
#include <optional>

namespace orvanta::chart {

class ChartPageHost;

// The display choices of the chart page; they live for the whole run.
struct ChartPageState {
    int chartItem = kChartEuler;
    // First, second and third axis' series shown.
    std::array<bool, 3> seriesShown = {true, true, true};
    bool abscissaShown = true;
    bool ordinateShown = true;
    // Identifier of the series most recently created for each axis.
    std::array<std::optional<unsigned>, 3> seriesHandles;
};

// The waveform chart page: three line series of the latest 200 samples of one
// history group, rebuilt every 300 ms, with the chart commands of the toolbar.
// Main (GUI) thread only.
// Formerly `CChartDlg`.
class ChartPage : public QWidget {
public:
    static constexpr int kChartTimerPeriodMs = 300;
    static constexpr std::array<COLORREF, 3> kSeriesColors = {0x0000FF, 0x008B00, 0x000000};
    static constexpr ChartRect kPictureRect{0, 0, 800, 360};

    enum Command : int {
        kCommandToggleAbscissa = 32807,
        kCommandToggleOrdinate = 32808,
        kCommandSavePicture = 32809,
        kCommandToggleFirst = 32810,
        kCommandToggleSecond = 32811,
        kCommandToggleThird = 32812,
    };

    ChartPage(const protocol::WaveformHistory& history, ChartPageHost& host,
              QWidget* parent = nullptr);
    ~ChartPage() override;

    int CurrentChartItem() const { return m_state.chartItem; }
    void SetChartItem(int chartItem) { m_state.chartItem = chartItem; }
    // Shows the chart or the live data page for the current item and runs their timers.
    void SelectChartItem();
    void SetChartTitle(const QString& text);
    void RebuildSeries();

    // The toolbar's commands; false for any other identifier.
    bool OnChartCommand(int commandId);
    void ToggleSeries(int axis);
    void ToggleAbscissa();
    void ToggleOrdinate();
    // Writes VW400_Wave_shape_<local time>.png (800 x 360) into the host's picture
    // folder; tells the user when it cannot.
    bool SaveChartPicture();
    static QString PictureFileName(const QString& folder, const QDateTime& localTime);

    void KillChartTimer();
    bool ChartTimerRunning() const { return m_timerId != 0; }

    const ChartPageState& State() const { return m_state; }
    CChartCtrl& Chart() { return *m_chart; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void SetUpChart();
    void StartChartTimer();

    const protocol::WaveformHistory& m_history;
    ChartPageHost& m_host;
    CChartCtrl* m_chart;
    ChartPageState m_state;
    std::array<double, protocol::WaveformHistory::kWindow> m_abscissa;
    int m_timerId = 0;
};

} // namespace orvanta::chart
