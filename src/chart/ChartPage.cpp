#include "chart/ChartPage.h"

#include "chart/CChartLineSerie.h"
#include "chart/CChartStandardAxis.h"
#include "chart/ChartEdge.h"
#include "chart/ChartNumberText.h"
#include "chart/ChartPageHost.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTimerEvent>

namespace orvanta::chart {
namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kGridColor = 0xBDBDBD;
constexpr int kFontTenths = 125;

} // namespace

ChartPage::ChartPage(const protocol::WaveformHistory& history, ChartPageHost& host, QWidget* parent)
    : QWidget(parent), m_history(history), m_host(host), m_chart(new CChartCtrl(this)) {
    for (std::size_t k = 0; k < m_abscissa.size(); ++k) {
        m_abscissa[k] = static_cast<double>(k);
    }
    SetUpChart();
}

ChartPage::~ChartPage() {
    KillChartTimer();
}

void ChartPage::SetUpChart() {
    CChartCtrl& chart = *m_chart;
    // One render for the whole set-up.
    chart.LockRefresh();
    CChartStandardAxis* bottom =
        chart.PlaceAxis(std::make_unique<CChartStandardAxis>(0, 1, 0), CChartAxis::kBottom);
    bottom->SetAutoRange(CChartAxis::kFullAutomatic);
    CChartStandardAxis* left =
        chart.PlaceAxis(std::make_unique<CChartStandardAxis>(0, 1, 0), CChartAxis::kLeft);
    left->SetAutoRange(CChartAxis::kFullAutomatic);

    chart.SetBorderColor(kBlack);
    chart.SetBackColor(kWhite);
    chart.SetBackGradient(false);
    for (CChartAxis* axis : {static_cast<CChartAxis*>(bottom), static_cast<CChartAxis*>(left)}) {
        axis->SetTextColor(kBlack);
        axis->SetAxisColor(kBlack);
        axis->Grid().SetColor(kGridColor);
    }

    chart.Title().AddString(QString::fromLatin1(kChartItemTitles[kChartEuler].data(),
                                                kChartItemTitles[kChartEuler].size()));
    chart.Title().SetColor(kBlack);
    chart.Title().SetFont(kFontTenths, QStringLiteral("Times New Roman"), false, false, false);

    chart.SetEdgeType(kEdgeRaisedOuter);

    CChartLegend& legend = chart.Legend();
    legend.SetHorizontalMode(true);
    legend.SetVisible(true);
    legend.SetShadow(false);
    legend.UndockLegend(602, 5);
    legend.SetTransparent(true);
    legend.SetFont(kFontTenths, QStringLiteral("Times New Roman"));
    chart.UnlockRefresh();
}

void ChartPage::SelectChartItem() {
    const int item = m_state.chartItem;
    if (item >= kChartEuler && item <= kChartVelocity) {
        m_host.ShowDataPage(false);
        show();
        SetChartTitle(QString::fromLatin1(kChartItemTitles[static_cast<std::size_t>(item)].data(),
                                          kChartItemTitles[static_cast<std::size_t>(item)].size()));
        StartChartTimer();
        m_host.KillDataPageTimer();
    } else if (item == kChartOutputData) {
        hide();
        m_host.ShowDataPage(true);
        SetChartTitle(QStringLiteral("Output data"));
        KillChartTimer();
        m_host.StartDataPageTimer();
    }
}

void ChartPage::SetChartTitle(const QString& text) {
    m_chart->Title().RemoveAll();
    m_chart->Title().AddString(text);
}

void ChartPage::RebuildSeries() {
    const int item = m_state.chartItem;
    if (item < kChartEuler || item > kChartVelocity) {
        return;
    }
    const auto group = static_cast<protocol::HistoryGroup>(item);
    const auto prefixes = SeriesPrefixes(item);
    m_chart->LockRefresh();
    m_chart->ClearSeries();
    for (int axis = 0; axis < 3; ++axis) {
        const auto index = static_cast<std::size_t>(axis);
        if (!m_state.seriesShown[index]) {
            continue;
        }
        const QString name = QString::fromLatin1(prefixes[index].data(), prefixes[index].size()) +
                             FixedText(m_history.Newest(group, axis), 3);
        CChartLineSerie* series = m_chart->AddSeries(std::make_unique<CChartLineSerie>(m_chart));
        m_state.seriesHandles[index] = series->Id();
        series->SetPointOrder(CChartSerie::kNoOrdering);
        series->LoadPoints(m_abscissa, m_history.Window(group, axis));
        series->SetColor(kSeriesColors[index]);
        series->SetName(name);
        series->SetWidth(2);
    }
    m_chart->UnlockRefresh();
}

bool ChartPage::OnChartCommand(int commandId) {
    switch (commandId) {
    case kCommandSavePicture:
        SaveChartPicture();
        return true;
    case kCommandToggleAbscissa:
        ToggleAbscissa();
        return true;
    case kCommandToggleOrdinate:
        ToggleOrdinate();
        return true;
    case kCommandToggleFirst:
    case kCommandToggleSecond:
    case kCommandToggleThird:
        ToggleSeries(commandId - kCommandToggleFirst);
        return true;
    default:
        return false;
    }
}

void ChartPage::ToggleSeries(int axis) {
    if (axis < 0 || axis > 2) {
        return;
    }
    const auto index = static_cast<std::size_t>(axis);
    m_chart->LockRefresh();
    if (m_state.seriesShown[index]) {
        m_state.seriesShown[index] = false;
        // A series that is gone already (no rebuild yet) leaves only the flag changed.
        if (const std::optional<unsigned> handle = m_state.seriesHandles[index]) {
            m_chart->DeleteSeries(*handle);
        }
    } else {
        m_state.seriesShown[index] = true;
        RebuildSeries();
    }
    m_chart->UnlockRefresh();
}

void ChartPage::ToggleAbscissa() {
    m_state.abscissaShown = !m_state.abscissaShown;
    if (CChartAxis* axis = m_chart->Axis(CChartAxis::kBottom)) {
        axis->SetVisible(m_state.abscissaShown);
    }
    m_chart->Redraw();
}

void ChartPage::ToggleOrdinate() {
    m_state.ordinateShown = !m_state.ordinateShown;
    if (CChartAxis* axis = m_chart->Axis(CChartAxis::kLeft)) {
        axis->SetVisible(m_state.ordinateShown);
    }
    m_chart->Redraw();
}

QString ChartPage::PictureFileName(const QString& folder, const QDateTime& localTime) {
    return QDir(folder).filePath(QStringLiteral("VW400_Wave_shape_") +
                                 localTime.toString(QStringLiteral("yyyyMMddHHmmss")) +
                                 QStringLiteral(".png"));
}

bool ChartPage::SaveChartPicture() {
    const QString path = PictureFileName(m_host.PictureFolder(), QDateTime::currentDateTime());
    // A missing picture folder is made rather than losing the picture.
    const bool saved =
        QDir().mkpath(QFileInfo(path).path()) && m_chart->ExportImage(path, kPictureRect);
    if (!saved) {
        const QString text = m_host.LanguageFlag() == 1
                                 ? QStringLiteral("Unable to save the picture: ") + path
                                 : QStringLiteral("无法保存图片: ") + path;
        m_host.ShowMessage(text, QStringLiteral("Message"));
    }
    return saved;
}

void ChartPage::StartChartTimer() {
    // Starting it again restarts the period, like a window timer set twice.
    KillChartTimer();
    m_timerId = startTimer(kChartTimerPeriodMs);
}

void ChartPage::KillChartTimer() {
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

void ChartPage::timerEvent(QTimerEvent*) {
    // Every timer message rebuilds, whatever its identifier.
    RebuildSeries();
}

void ChartPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_host.MainWindowReady()) {
        return;
    }
    // The page's window rectangle in its own client coordinates.
    const int left = 0;
    const int top = 0;
    const int right = width();
    const int bottom = height();
    m_chart->LockRefresh();
    m_chart->setGeometry(left, top, right + 1, bottom + 1);
    m_chart->Legend().UndockLegend(right - 300, top + 5);
    m_chart->Redraw();
    m_chart->UnlockRefresh();
}

void ChartPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

} // namespace orvanta::chart
