#include "chart/CChartCtrl.h"

#include "ChartTestSupport.h"
#include "chart/CChartLineSerie.h"
#include "chart/CChartScrollBar.h"
#include "chart/CChartStandardAxis.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace orvanta::chart {
namespace {

// A control with automatic bottom and left axes, like the waveform page's.
class CChartCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        chart.resize(700, 300);
        chart.SetBackColor(0xFFFFFF);
        bottom = chart.PlaceAxis(std::make_unique<CChartStandardAxis>(), CChartAxis::kBottom);
        bottom->SetAutoRange(CChartAxis::kFullAutomatic);
        left = chart.PlaceAxis(std::make_unique<CChartStandardAxis>(), CChartAxis::kLeft);
        left->SetAutoRange(CChartAxis::kFullAutomatic);
    }

    CChartLineSerie* AddConstant(double value, COLORREF color) {
        std::vector<double> x(200);
        for (int k = 0; k < 200; ++k) {
            x[k] = k;
        }
        CChartLineSerie* series = chart.AddSeries(std::make_unique<CChartLineSerie>(&chart));
        series->SetPointOrder(CChartSerie::kNoOrdering);
        series->LoadPoints(x, std::vector<double>(200, value));
        series->SetColor(color);
        series->SetWidth(2);
        return series;
    }

    CChartCtrl chart;
    CChartStandardAxis* bottom = nullptr;
    CChartStandardAxis* left = nullptr;
};

TEST_F(CChartCtrlTest, OneRenderPerOutermostUnlock) {
    chart.Redraw();
    const int before = chart.RenderCount();
    chart.LockRefresh();
    chart.LockRefresh();
    chart.SetBorderColor(0x123456);
    chart.Title().AddString("Title");
    chart.Legend().SetVisible(true);
    AddConstant(1, 0xFF);
    AddConstant(2, 0xFF00);
    left->SetVisible(false);
    chart.ClearSeries();
    EXPECT_EQ(chart.RenderCount(), before);
    chart.UnlockRefresh();
    EXPECT_EQ(chart.RenderCount(), before) << "inner unlock";
    chart.UnlockRefresh();
    EXPECT_EQ(chart.RenderCount(), before + 1);
    chart.LockRefresh();
    chart.UnlockRefresh();
    EXPECT_EQ(chart.RenderCount(), before + 1) << "nothing asked for";
}

TEST_F(CChartCtrlTest, ZoomDragAndReverseDragUndo) {
    std::vector<double> x(200);
    std::vector<double> y(200);
    for (int k = 0; k < 200; ++k) {
        x[k] = k;
        y[k] = k % 50;
    }
    auto* series = chart.AddSeries(std::make_unique<CChartLineSerie>(&chart));
    series->SetPointOrder(CChartSerie::kNoOrdering);
    series->LoadPoints(x, y);
    chart.Redraw();
    const ChartRange bottomRange = bottom->Range();
    const ChartRange leftRange = left->Range();
    EXPECT_EQ(bottomRange, (ChartRange{0, 199}));
    EXPECT_EQ(leftRange, (ChartRange{-1, 50}));

    const ChartRect plot = chart.PlottingRect();
    const QPoint from(plot.left + 100, plot.top + 40);
    const QPoint to(plot.left + 300, plot.top + 140);
    const double x0 = bottom->PixelToValue(from.x());
    const double x1 = bottom->PixelToValue(to.x());
    const double y0 = left->PixelToValue(to.y());
    const double y1 = left->PixelToValue(from.y());
    Drag(chart, from, to, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(bottom->Minimum(), x0);
    EXPECT_DOUBLE_EQ(bottom->Maximum(), x1);
    EXPECT_DOUBLE_EQ(left->Minimum(), y0);
    EXPECT_DOUBLE_EQ(left->Maximum(), y1);
    EXPECT_LT(x0, x1);
    EXPECT_LT(y0, y1);

    // A click without a drag changes nothing.
    Drag(chart, from, from, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(bottom->Minimum(), x0);

    // Bottom-right to top-left undoes the zoom.
    Drag(chart, to, from, Qt::LeftButton);
    EXPECT_EQ(bottom->Range(), bottomRange);
    EXPECT_EQ(left->Range(), leftRange);

    // A right drag pans; the next automatic refresh puts the range back.
    Drag(chart, QPoint(plot.left + 300, plot.top + 50), QPoint(plot.left + 370, plot.top + 50),
         Qt::RightButton);
    EXPECT_LT(bottom->Minimum(), 0);
    EXPECT_EQ(left->Range(), leftRange);
    series->AddPoint(200, 10);
    EXPECT_EQ(bottom->Range(), (ChartRange{0, 200}));
}

TEST_F(CChartCtrlTest, ExportHasTheRequestedSizeWhateverTheControlsSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    AddConstant(3, 0xFF);
    for (QSize control : {QSize(300, 200), QSize(1200, 500)}) {
        chart.resize(control);
        chart.Redraw();
        const QImage before = chart.OffscreenImage();
        const ChartRect plot = chart.PlottingRect();
        const QString file = dir.filePath(QStringLiteral("export.png"));
        ASSERT_TRUE(chart.ExportImage(file, ChartRect{0, 0, 800, 360}));
        const QImage saved(file);
        EXPECT_EQ(saved.size(), QSize(800, 360));
        EXPECT_EQ(chart.OffscreenImage(), before) << "the screen image is untouched";
        EXPECT_EQ(chart.PlottingRect(), plot) << "the screen's layout is back";

        ASSERT_TRUE(chart.ExportImage(file, ChartRect{}));
        EXPECT_EQ(QImage(file).size(), control) << "an empty rectangle takes the client area";
    }
    EXPECT_FALSE(chart.ExportImage(dir.filePath("missing/x.png"), ChartRect{0, 0, 80, 36}));
    EXPECT_FALSE(chart.ExportImage(dir.filePath("x.unknown"), ChartRect{0, 0, 80, 36}));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.unknown")));
}

TEST_F(CChartCtrlTest, RenderedPixels) {
    chart.SetBorderColor(0x00FF00); // green frame
    chart.SetEdgeType(1);
    CChartLineSerie* series = AddConstant(5, 0xFF0000); // blue
    chart.Redraw();
    const QImage image = chart.OffscreenImage();
    ASSERT_EQ(image.size(), QSize(700, 300));
    const ChartRect plot = chart.PlottingRect();
    EXPECT_EQ(left->Range(), (ChartRange{4, 6}));

    // Frame: all four sides in the border colour.
    EXPECT_EQ(Pixel(image, plot.left + 7, plot.top), 0x00FF00u);
    EXPECT_EQ(Pixel(image, plot.right, plot.top + 7), 0x00FF00u);
    EXPECT_EQ(Pixel(image, plot.left + 7, plot.bottom), 0x00FF00u);
    EXPECT_EQ(Pixel(image, plot.left, plot.top + 7), 0x00FF00u);

    // The constant series lies on the row of 5, in its colour.
    const int row = left->ValueToPixel(5);
    EXPECT_EQ(row, plot.bottom - (plot.bottom - plot.top) / 2);
    for (int x : {plot.left + 10, (plot.left + plot.right) / 2, plot.right - 10}) {
        EXPECT_EQ(Pixel(image, x, row), 0x0000FFu) << x;
        EXPECT_NE(Pixel(image, x, row - 5), 0x0000FFu) << x;
    }

    // The raised outer edge: light at the top left, dark at the bottom right.
    EXPECT_EQ(Pixel(image, 0, 0), 0xE3E3E3u);
    EXPECT_EQ(Pixel(image, 699, 299), 0x696969u);

    // A hidden axis reserves no room and draws nothing left of the plot.
    EXPECT_GT(plot.left, 3 + 10);
    left->SetVisible(false);
    const QImage hidden = chart.OffscreenImage();
    const ChartRect hiddenPlot = chart.PlottingRect();
    EXPECT_EQ(hiddenPlot.left, 3);
    EXPECT_EQ(Pixel(hidden, 3, hiddenPlot.top + 7), 0x00FF00u);
    EXPECT_EQ(left->Range(), (ChartRange{4, 6})) << "its range still follows the data";

    // A hidden series draws nothing.
    series->SetVisible(false);
    const QImage empty = chart.OffscreenImage();
    for (int x = hiddenPlot.left + 1; x < hiddenPlot.right; ++x) {
        ASSERT_NE(Pixel(empty, x, row), 0x0000FFu) << x;
    }

    // After a size change, the next render is at the new size.
    chart.resize(500, 200);
    chart.Redraw();
    EXPECT_EQ(chart.OffscreenImage().size(), QSize(500, 200));
}

TEST_F(CChartCtrlTest, SeriesRemovalAndAxisReplacement) {
    CChartLineSerie* first = AddConstant(1, 0xFF);
    CChartLineSerie* second = AddConstant(9, 0xFF00);
    EXPECT_EQ(first->Color(), 0xFFu);
    EXPECT_EQ(left->Range(), (ChartRange{0, 10}));
    chart.DeleteSeries(12345678);
    EXPECT_EQ(chart.SeriesCount(), 2u);
    chart.DeleteSeries(second->Id());
    EXPECT_EQ(chart.SeriesCount(), 1u);
    EXPECT_EQ(left->Range(), (ChartRange{0, 2}));

    // The series on a replaced axis is plotted against the new one.
    auto* replacement = chart.PlaceAxis(std::make_unique<CChartStandardAxis>(), CChartAxis::kLeft);
    replacement->SetAutoRange(CChartAxis::kFullAutomatic);
    EXPECT_EQ(first->VerticalAxis(), replacement);
    EXPECT_EQ(replacement->Range(), (ChartRange{0, 2}));
    chart.Redraw();

    // Palette colours follow the number of series on the control.
    chart.ClearSeries();
    EXPECT_EQ(replacement->Range(), (ChartRange{0, 2})) << "cleared: the range stays";
    for (std::size_t i = 0; i < 11; ++i) {
        auto* series = chart.AddSeries(std::make_unique<CChartLineSerie>(&chart));
        EXPECT_EQ(series->Color(), CChartCtrl::kDefaultPalette[i % 10]);
    }
}

TEST_F(CChartCtrlTest, NewPointsGoStraightOntoTheKeptImage) {
    bottom->SetAutoRange(CChartAxis::kNotAutomatic);
    bottom->SetMinMax(0, 10);
    left->SetAutoRange(CChartAxis::kNotAutomatic);
    left->SetMinMax(0, 10);
    auto* series = chart.AddSeries(std::make_unique<CChartLineSerie>(&chart));
    series->SetColor(0x0000FF);
    series->AddPoint(0, 5);
    series->AddPoint(2, 5);
    chart.Redraw();
    const int renders = chart.RenderCount();
    const int row = left->ValueToPixel(5);
    const int x = (bottom->ValueToPixel(4) + bottom->ValueToPixel(6)) / 2;
    EXPECT_NE(Pixel(chart.OffscreenImage(), x, row), 0xFF0000u);
    series->AddPoint(8, 5);
    EXPECT_EQ(chart.RenderCount(), renders) << "no full render for points in range";
    EXPECT_EQ(Pixel(chart.OffscreenImage(), x, row), 0xFF0000u);
    EXPECT_EQ(series->LastDrawnIndex(), 2u);
}

TEST_F(CChartCtrlTest, ScrollBarStepsAndShifts) {
    AddConstant(0, 0xFF); // X over 0..199
    ASSERT_NE(bottom->ScrollBar(), nullptr);
    EXPECT_FALSE(bottom->ScrollBar()->IsEnabled());
    bottom->SetZoomRange(99.5, 119.4);
    const ChartScrollSteps steps = bottom->ScrollSteps();
    EXPECT_EQ(steps.count, 100); // ceil(199 / 1.99)
    EXPECT_EQ(steps.position, 50);
    bottom->ScrollBy(50, 53); // three steps of a tenth of the range to the right
    EXPECT_NEAR(bottom->Minimum(), 99.5 + 5.97, 1e-9);
    EXPECT_NEAR(bottom->Maximum(), 119.4 + 5.97, 1e-9);
    left->SetZoomRange(-1, 0); // a vertical axis scrolls downwards
    left->ScrollBy(0, 10);
    EXPECT_NEAR(left->Minimum(), -2, 1e-9);
    bottom->SetMinMax(4, 4);
    EXPECT_EQ(bottom->ScrollSteps().count, 1);
    EXPECT_EQ(bottom->ScrollSteps().position, 1);
}

} // namespace
} // namespace orvanta::chart
