#include "chart/ChartPage.h"

#include "ChartTestSupport.h"
#include "chart/CChartLineSerie.h"
#include "chart/ChartPageHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace orvanta::chart {
namespace {

class FakeHost : public ChartPageHost {
public:
    void ShowDataPage(bool show) override { dataPageShown = show; }
    void StartDataPageTimer() override { dataPageTimer = true; }
    void KillDataPageTimer() override { dataPageTimer = false; }
    bool MainWindowReady() const override { return ready; }
    int LanguageFlag() const override { return language; }
    void ShowMessage(const QString& text, const QString& caption) override {
        messages.emplace_back(text, caption);
    }
    QString PictureFolder() const override { return pictureFolder; }

    bool dataPageShown = true;
    bool dataPageTimer = true;
    bool ready = true;
    int language = 1;
    QString pictureFolder;
    std::vector<std::pair<QString, QString>> messages;
};

class CChartDlgTest : public ::testing::Test {
protected:
    // Shown, so the page gets its size events at once: 1000 x 330 like the display area.
    CChartDlgTest() : page(history, host) {
        page.resize(1000, 330);
        page.show();
    }

    std::vector<CChartLineSerie*> Series() {
        std::vector<CChartLineSerie*> series;
        for (unsigned id : page.Chart().SeriesIds()) {
            series.push_back(static_cast<CChartLineSerie*>(page.Chart().Series(id)));
        }
        return series;
    }

    protocol::WaveformHistory history;
    FakeHost host;
    ChartPage page;
};

TEST_F(CChartDlgTest, TwoHundredZerosGiveThreeFlatNamedLines) {
    EXPECT_EQ(page.Chart().SeriesCount(), 0u) << "no series before the first rebuild";
    EXPECT_EQ(page.Chart().Title().Lines(), QStringList{"Euler"});
    page.RebuildSeries();
    const auto series = Series();
    ASSERT_EQ(series.size(), 3u);
    const char* names[] = {"R: 0.000", "P: 0.000", "Y: 0.000"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(series[i]->Name(), QString::fromLatin1(names[i]));
        EXPECT_EQ(series[i]->Color(), ChartPage::kSeriesColors[i]);
        EXPECT_EQ(series[i]->Width(), 2);
        EXPECT_EQ(series[i]->PointCount(), 200u);
    }
    CChartCtrl& chart = page.Chart();
    EXPECT_EQ(chart.Axis(CChartAxis::kBottom)->Range(), (ChartRange{0, 199}));
    EXPECT_EQ(chart.Axis(CChartAxis::kLeft)->Range(), (ChartRange{-1, 1}));

    // The black third line is drawn last, on the row of 0.
    const QImage image = chart.OffscreenImage();
    const int row = chart.Axis(CChartAxis::kLeft)->ValueToPixel(0);
    const ChartRect plot = chart.PlottingRect();
    EXPECT_EQ(Pixel(image, (plot.left + plot.right) / 2, row), 0x000000u);
    EXPECT_EQ(Pixel(image, (plot.left + plot.right) / 2, row - 20), 0xFFFFFFu);

    // Grid lines at the ticks: 3 pixels on, 3 off, upwards from the plot's bottom.
    const int x = chart.Axis(CChartAxis::kBottom)->ValueToPixel(100);
    const std::pair<int, QRgb> dashes[] = {{1, 0xBDBDBD}, {2, 0xBDBDBD}, {3, 0xFFFFFF},
                                           {5, 0xFFFFFF}, {6, 0xBDBDBD}, {8, 0xBDBDBD},
                                           {9, 0xFFFFFF}};
    for (const auto& [above, colour] : dashes) {
        EXPECT_EQ(Pixel(image, x, plot.bottom - above), colour) << above;
    }
    // A tick mark under the axis line, in black.
    EXPECT_EQ(Pixel(image, x, plot.bottom + 1), 0x000000u);
    EXPECT_EQ(Pixel(image, x, plot.bottom + 3), 0x000000u);

    // Other items name their axes X, Y, Z and show the newest value.
    history.AppendTriple(protocol::HistoryGroup::AngularRate, -12.25, 0.0005, 1e6);
    page.SetChartItem(kChartGyroscopes);
    page.RebuildSeries();
    const auto gyro = Series();
    ASSERT_EQ(gyro.size(), 3u);
    EXPECT_EQ(gyro[0]->Name(), QStringLiteral("X: -12.250"));
    EXPECT_EQ(gyro[1]->Name(), QStringLiteral("Y: 0.001"));
    EXPECT_EQ(gyro[2]->Name(), QStringLiteral("Z: 1000000.000"));
    EXPECT_EQ(gyro[0]->Point(199).Y, -12.25);

    // Output data and anything out of range rebuild nothing.
    for (int item : {int{kChartOutputData}, -1, 6}) {
        page.SetChartItem(item);
        page.RebuildSeries();
        EXPECT_EQ(page.Chart().SeriesIds(), chart.SeriesIds());
    }
}

TEST_F(CChartDlgTest, SeriesTogglesAndTheirReturn) {
    // Before any rebuild only the flag changes.
    page.ToggleSeries(1);
    EXPECT_FALSE(page.State().seriesShown[1]);
    page.ToggleSeries(1);
    EXPECT_EQ(page.Chart().SeriesCount(), 3u) << "switching on rebuilds at once";

    history.AppendTriple(protocol::HistoryGroup::Euler, 1, 2, 3);
    page.RebuildSeries();
    EXPECT_TRUE(page.OnChartCommand(ChartPage::kCommandToggleSecond));
    EXPECT_TRUE(page.OnChartCommand(ChartPage::kCommandToggleFirst));
    auto series = Series();
    ASSERT_EQ(series.size(), 1u);
    EXPECT_EQ(series[0]->Name(), QStringLiteral("Y: 3.000"));
    EXPECT_EQ(series[0]->Color(), 0x000000u);

    // A rebuild keeps the switched-off series away.
    page.RebuildSeries();
    EXPECT_EQ(Series().size(), 1u);

    const int renders = page.Chart().RenderCount();
    page.ToggleSeries(0);
    EXPECT_EQ(page.Chart().RenderCount(), renders + 1) << "one redraw for the toggle";
    series = Series();
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[0]->Name(), QStringLiteral("R: 1.000"));
    EXPECT_EQ(series[0]->Color(), 0x0000FFu);

    // All three off: the left axis spans -1..1, the bottom axis collapses.
    page.ToggleSeries(0);
    page.ToggleSeries(2);
    EXPECT_EQ(page.Chart().SeriesCount(), 0u);
    EXPECT_EQ(page.Chart().Axis(CChartAxis::kLeft)->Range(), (ChartRange{-1, 1}));
    EXPECT_EQ(page.Chart().Axis(CChartAxis::kBottom)->Range(), (ChartRange{0, 0}));
    EXPECT_FALSE(page.OnChartCommand(32806));
}

TEST_F(CChartDlgTest, AxisTogglesHideTheAxesAndTheirRoom) {
    page.RebuildSeries();
    CChartCtrl& chart = page.Chart();
    const ChartRect shown = chart.PlottingRect();
    EXPECT_TRUE(page.OnChartCommand(ChartPage::kCommandToggleOrdinate));
    EXPECT_FALSE(page.State().ordinateShown);
    EXPECT_FALSE(chart.Axis(CChartAxis::kLeft)->IsVisible());
    EXPECT_EQ(chart.PlottingRect().left, 3);
    EXPECT_TRUE(page.OnChartCommand(ChartPage::kCommandToggleAbscissa));
    EXPECT_FALSE(chart.Axis(CChartAxis::kBottom)->IsVisible());
    EXPECT_GT(chart.PlottingRect().bottom, shown.bottom);
    page.ToggleOrdinate();
    page.ToggleAbscissa();
    EXPECT_EQ(chart.PlottingRect(), shown);
}

TEST_F(CChartDlgTest, SelectChartItemSwapsPagesAndTimers) {
    page.SetChartItem(kChartMagnetometers);
    page.SelectChartItem();
    EXPECT_FALSE(host.dataPageShown);
    EXPECT_FALSE(host.dataPageTimer);
    EXPECT_TRUE(page.isVisible());
    EXPECT_TRUE(page.ChartTimerRunning());
    EXPECT_EQ(page.Chart().Title().Lines(), QStringList{"Magnetometers"});

    page.SetChartItem(kChartOutputData);
    page.SelectChartItem();
    EXPECT_TRUE(host.dataPageShown);
    EXPECT_TRUE(host.dataPageTimer);
    EXPECT_FALSE(page.isVisible());
    EXPECT_FALSE(page.ChartTimerRunning());
    EXPECT_EQ(page.Chart().Title().Lines(), QStringList{"Output data"});

    page.SetChartItem(9);
    page.SelectChartItem();
    EXPECT_TRUE(host.dataPageShown);
    EXPECT_EQ(page.Chart().Title().Lines(), QStringList{"Output data"});

    const QStringList titles = {"Euler", "Gyroscopes", "Accelerometes", "Magnetometers",
                                "Velocity"};
    for (int item = 0; item < 5; ++item) {
        page.SetChartItem(item);
        page.SelectChartItem();
        EXPECT_EQ(page.Chart().Title().Lines(), QStringList{titles[item]});
    }
    page.KillChartTimer();
    EXPECT_FALSE(page.ChartTimerRunning());
}

TEST_F(CChartDlgTest, EveryTimerMessageRebuilds) {
    QTimerEvent tick(4711);
    QCoreApplication::sendEvent(&page, &tick);
    EXPECT_EQ(page.Chart().SeriesCount(), 3u);
}

TEST_F(CChartDlgTest, SizeRuleOnceTheMainWindowIsReady) {
    EXPECT_EQ(page.Chart().geometry(), QRect(0, 0, 1001, 331));
    host.ready = false;
    const QRect before = page.Chart().geometry();
    page.resize(640, 200);
    EXPECT_EQ(page.Chart().geometry(), before);

    host.ready = true;
    page.resize(900, 250);
    EXPECT_EQ(page.Chart().geometry(), QRect(0, 0, 901, 251));
    EXPECT_FALSE(page.Chart().Legend().IsDocked());
    EXPECT_EQ(page.Chart().Legend().UserPosition(), QPoint(600, 5));
    EXPECT_EQ(page.Chart().OffscreenImage().size(), QSize(901, 251));
}

TEST_F(CChartDlgTest, PictureFileNames) {
    const QDateTime time(QDate(2020, 5, 29), QTime(14, 30, 5));
    EXPECT_EQ(ChartPage::PictureFileName(QStringLiteral("/home/u/Pictures/Orvanta"), time),
              QStringLiteral("/home/u/Pictures/Orvanta/VW400_Wave_shape_20200529143005.png"));
}

TEST_F(CChartDlgTest, SavedPictureMakesItsFolderAndReportsFailure) {
    const QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Pictures/Orvanta"));
    host.pictureFolder = folder;
    page.RebuildSeries();
    ASSERT_TRUE(page.OnChartCommand(ChartPage::kCommandSavePicture));
    const QStringList saved = QDir(folder).entryList({QStringLiteral("VW400_Wave_shape_*.png")});
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].size(), QStringLiteral("VW400_Wave_shape_20200529143005.png").size());
    EXPECT_EQ(QImage(QDir(folder).filePath(saved[0])).size(), QSize(800, 360));
    EXPECT_TRUE(host.messages.empty());

    // A file where the folder should be: nothing can be written, and the user hears of it.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (int language : {1, 0}) {
        host.language = language;
        host.messages.clear();
        EXPECT_FALSE(page.SaveChartPicture());
        ASSERT_EQ(host.messages.size(), 1u);
        const QString& text = host.messages[0].first;
        const QString prefix = language == 1 ? QStringLiteral("Unable to save the picture: ")
                                             : QStringLiteral("无法保存图片: ");
        EXPECT_TRUE(text.startsWith(prefix + folder + "/VW400_Wave_shape_")) << text.toStdString();
        EXPECT_TRUE(text.endsWith(".png"));
        EXPECT_EQ(host.messages[0].second, QStringLiteral("Message"));
    }
}

#ifndef ORVANTA_ARTIFACTS_DIR
#define ORVANTA_ARTIFACTS_DIR "."
#endif

TEST_F(CChartDlgTest, ExampleChartWithThreeMovingSeries) {
    for (int i = 0; i < 260; ++i) {
        history.AppendTriple(protocol::HistoryGroup::Euler, 30 * std::sin(i / 18.0),
                             20 * std::cos(i / 11.0) - 10, 12 * std::sin(i / 6.0) + 15);
    }
    page.resize(1000, 330);
    page.RebuildSeries();
    QString folder = qEnvironmentVariable("ORVANTA_ARTIFACTS");
    if (folder.isEmpty()) {
        folder = QStringLiteral(ORVANTA_ARTIFACTS_DIR);
    }
    QDir().mkpath(folder);
    const QString file = QDir(folder).filePath(QStringLiteral("chart-example.png"));
    ASSERT_TRUE(page.Chart().ExportImage(file, ChartPage::kPictureRect));
    const QImage image(file);
    ASSERT_EQ(image.size(), QSize(800, 360));

    // Each series colour shows up in the picture.
    int red = 0;
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = Pixel(image, x, y);
            red += pixel == 0xFF0000u;
            green += pixel == 0x008B00u;
        }
    }
    EXPECT_GT(red, 400);
    EXPECT_GT(green, 400);
}

} // namespace
} // namespace orvanta::chart
