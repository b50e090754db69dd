#include "FixedTextMeasure.h"
#include "chart/CChartLineSerie.h"
#include "chart/CChartStandardAxis.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <vector>

namespace orvanta::chart {
namespace {

// A free-standing axis over [minimum, maximum] spanning `length` pixels.
void Place(CChartStandardAxis& axis, int position, double minimum, double maximum, int length) {
    axis.SetPlacement(nullptr, position);
    axis.SetMinMax(minimum, maximum);
    if (axis.IsHorizontal()) {
        axis.SetSpan(10, 10 + length);
    } else {
        axis.SetSpan(10 + length, 10);
    }
    axis.RecomputeTickStep();
    axis.RecomputeFirstTick();
}

QStringList Labels(const CChartStandardAxis& axis) {
    QStringList labels;
    for (double tick : axis.TickValues()) {
        labels << axis.TickLabel(tick);
    }
    return labels;
}

TEST(CChartAxisTest, TicksOfTypicalAxes) {
    struct Case {
        const char* name;
        int position;
        double minimum, maximum;
        int length;
        double step;
        unsigned decimals;
        QStringList labels;
    };
    QStringList bottom;
    for (int v = 0; v <= 190; v += 10) {
        bottom << QString::number(v);
    }
    const Case cases[] = {
        {"0..199 on 700 px", CChartAxis::kBottom, 0, 199, 700, 10, 0, bottom},
        {"-1..1 on 300 px",
         CChartAxis::kLeft,
         -1,
         1,
         300,
         0.2,
         1,
         {"-1.0", "-0.8", "-0.6", "-0.4", "-0.2", "0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
        {"4..6 on 300 px",
         CChartAxis::kLeft,
         4,
         6,
         300,
         0.2,
         1,
         {"4.0", "4.2", "4.4", "4.6", "4.8", "5.0", "5.2", "5.4", "5.6", "5.8"}},
    };
    for (const Case& c : cases) {
        CChartStandardAxis axis;
        Place(axis, c.position, c.minimum, c.maximum, c.length);
        EXPECT_DOUBLE_EQ(axis.TickStep(), c.step) << c.name;
        EXPECT_EQ(axis.Decimals(), c.decimals) << c.name;
        EXPECT_EQ(Labels(axis), c.labels) << c.name;
    }
}

TEST(CChartAxisTest, AxisTooShortForOneTickDrawsAtMostOne) {
    for (int position : {CChartAxis::kBottom, CChartAxis::kLeft}) {
        for (int length : {0, 1, 19, 29}) {
            CChartStandardAxis axis;
            Place(axis, position, -3, 7, length);
            if (position == CChartAxis::kLeft && length == 29) {
                EXPECT_GT(axis.TickStep(), 0); // 20 pixels make room for one step
                continue;
            }
            EXPECT_EQ(axis.TickStep(), 0) << position << " " << length;
            EXPECT_EQ(axis.TickValues(), std::vector<double>{-3}) << position << " " << length;
        }
    }
}

TEST(CChartAxisTest, TickLoopIsBoundedWhenTheStepIsLostInRounding) {
    CChartStandardAxis axis;
    Place(axis, CChartAxis::kBottom, 1e17, 1e17 + 64, 700);
    axis.SetTickIncrement(false, 1e-3); // far below the values' resolution
    axis.RecomputeFirstTick();
    EXPECT_LE(axis.TickValues().size(), 1410u);
}

TEST(CChartAxisTest, ValueToPixelAndBack) {
    CChartStandardAxis bottom;
    Place(bottom, CChartAxis::kBottom, 0, 199, 700);
    EXPECT_EQ(bottom.ValueToPixel(0), 10);
    EXPECT_EQ(bottom.ValueToPixel(199), 710);
    EXPECT_EQ(bottom.ValueToPixel(100), 10 + 351); // floor(700 * 100 / 199)
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(710), 199);
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(10), 0);

    CChartStandardAxis left;
    Place(left, CChartAxis::kLeft, -1, 1, 300);
    EXPECT_EQ(left.ValueToPixel(-1), 310);
    EXPECT_EQ(left.ValueToPixel(0), 160);
    EXPECT_EQ(left.ValueToPixel(1), 10);
    EXPECT_DOUBLE_EQ(left.PixelToValue(160), 0);
    left.SetInverted(true);
    EXPECT_EQ(left.ValueToPixel(1), 310);
    EXPECT_DOUBLE_EQ(left.PixelToValue(310), 1);

    // An empty range maps to the middle of the span and back to its minimum.
    CChartStandardAxis empty;
    Place(empty, CChartAxis::kLeft, 5, 5, 300);
    EXPECT_EQ(empty.ValueToPixel(123), 160);
    EXPECT_EQ(empty.PixelToValue(17), 5);

    // Far out of range (a deep zoom) and not-a-number stay in int.
    left.SetInverted(false);
    Place(left, CChartAxis::kLeft, 0, 0.001, 300);
    EXPECT_LT(left.ValueToPixel(1e300), -100000);
    EXPECT_GT(left.ValueToPixel(-1e300), 100000);
    (void)left.ValueToPixel(std::numeric_limits<double>::quiet_NaN());
}

TEST(CChartAxisTest, ZoomRangeLimitAndShift) {
    CChartStandardAxis axis;
    Place(axis, CChartAxis::kBottom, 0, 199, 700);
    axis.SetZoomRange(50, 50.0004);
    EXPECT_DOUBLE_EQ(axis.Minimum(), 50);
    EXPECT_DOUBLE_EQ(axis.Maximum(), 50.001);
    EXPECT_EQ(axis.UnzoomedRange(), (ChartRange{0, 199}));
    axis.UndoZoom();
    EXPECT_EQ(axis.Range(), (ChartRange{0, 199}));

    // Dragging the content 70 of 700 pixels right moves the range 20 left.
    axis.SetMinMax(0, 200);
    axis.ShiftByPixels(100, 170);
    EXPECT_DOUBLE_EQ(axis.Minimum(), -20);
    EXPECT_DOUBLE_EQ(axis.Maximum(), 180);

    // Ignored on an empty range and when zoom is not allowed.
    axis.SetMinMax(3, 3);
    axis.SetZoomRange(1, 2);
    EXPECT_EQ(axis.Range(), (ChartRange{3, 3}));
    axis.SetMinMax(0, 10);
    axis.SetZoomAllowed(false);
    axis.SetZoomRange(1, 2);
    EXPECT_EQ(axis.Range(), (ChartRange{0, 10}));
}

TEST(CChartAxisTest, RefreshAutoRangeFollowsVisibleSeriesWithPoints) {
    CChartStandardAxis vertical;
    vertical.SetPlacement(nullptr, CChartAxis::kLeft);
    vertical.SetAutoRange(CChartAxis::kFullAutomatic);
    CChartStandardAxis horizontal;
    horizontal.SetPlacement(nullptr, CChartAxis::kBottom);
    horizontal.SetAutoRange(CChartAxis::kFullAutomatic);
    EXPECT_EQ(vertical.Range(), (ChartRange{-1, 1})) << "no series";
    EXPECT_EQ(horizontal.Range(), (ChartRange{0, 0}));

    CChartLineSerie empty(nullptr);
    CChartLineSerie hidden(nullptr);
    CChartLineSerie shown(nullptr);
    for (CChartLineSerie* series : {&empty, &hidden, &shown}) {
        series->SetPointOrder(CChartSerie::kNoOrdering);
        series->SetAxes(&vertical, &horizontal);
    }
    const std::vector<double> x = {100, 101, 102};
    hidden.LoadPoints(x, std::vector<double>{-50, 0, 50});
    hidden.SetVisible(false);
    EXPECT_EQ(vertical.Range(), (ChartRange{-1, 1})) << "hidden and empty series only";

    shown.LoadPoints(x, std::vector<double>{10, 20, 15});
    EXPECT_EQ(vertical.Range(), (ChartRange{9, 21}));
    EXPECT_EQ(horizontal.Range(), (ChartRange{100, 102}));
    EXPECT_EQ(vertical.UnzoomedRange(), (ChartRange{9, 21}));

    hidden.SetVisible(true);
    EXPECT_EQ(vertical.Range(), (ChartRange{-51, 51}));

    // Non-finite values are plotted as gaps and have no say in the range.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    empty.LoadPoints(std::vector<double>{103, 104}, std::vector<double>{nan, 1e3});
    EXPECT_EQ(vertical.Range(), (ChartRange{-51, 1001}));
    EXPECT_EQ(horizontal.Range(), (ChartRange{100, 104}));

    // An axis forgets a destroyed series.
    {
        CChartLineSerie wide(nullptr);
        wide.SetAxes(&vertical, &horizontal);
        EXPECT_EQ(vertical.RegisteredSeries().size(), 4u);
    }
    EXPECT_EQ(vertical.RegisteredSeries().size(), 3u);
}

TEST(CChartAxisTest, ReserveMarginTakesRoomForLabelsOnlyWhenVisible) {
    const FixedTextMeasure measure;
    const ChartRect rect{3, 3, 997, 327};

    CChartStandardAxis bottom;
    Place(bottom, CChartAxis::kBottom, 0, 199, 700);
    ChartRect plot = rect;
    // Labels "0".."190": widest 3 characters (18 px), 12 px high.
    EXPECT_EQ(bottom.ReserveMargin(rect, plot, measure), 12 + 6);
    EXPECT_EQ(plot, (ChartRect{3, 3, 997 - 9 - 3, 327 - 18}));

    CChartStandardAxis left;
    Place(left, CChartAxis::kLeft, -1, 1, 300);
    plot = rect;
    // Widest label "-1.0" / "-0.8": 24 px.
    EXPECT_EQ(left.ReserveMargin(rect, plot, measure), 24 + 10);
    EXPECT_EQ(plot, (ChartRect{3 + 34, 3 + 6 + 3, 997, 327}));

    left.SetVisible(false);
    plot = rect;
    EXPECT_EQ(left.ReserveMargin(rect, plot, measure), 0);
    EXPECT_EQ(plot, rect);

    left.SetVisible(true);
    left.SetAutomaticMargin(false, 50);
    plot = rect;
    EXPECT_EQ(left.ReserveMargin(rect, plot, measure), 50);
    EXPECT_EQ(plot.left, 53);
}

TEST(CChartAxisTest, PointStoreGrowsInBulkAndKeepsItsOrdering) {
    CChartLineSerie series(nullptr);
    EXPECT_EQ(series.Capacity(), 1000u);
    EXPECT_EQ(series.PointOrder(), CChartSerie::kXOrdering);
    series.LoadPoints(std::vector<double>{3, 1, 2}, std::vector<double>{30, 10, 20});
    EXPECT_EQ(series.Point(0).X, 1);
    EXPECT_EQ(series.Point(2).Y, 30);
    series.SetPointOrder(CChartSerie::kNoOrdering);
    series.LoadPoints(std::vector<double>(1200, 0.0), std::vector<double>(1200, 0.0));
    EXPECT_EQ(series.PointCount(), 1203u);
    EXPECT_EQ(series.Capacity(), 1203u);
    series.AddPoint(5, 5);
    EXPECT_EQ(series.Capacity(), 2203u);
    EXPECT_EQ(series.Point(1203).X, 5);
}

} // namespace
} // namespace orvanta::chart
