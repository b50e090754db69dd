#include "chart/CChartLegend.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvanta::chart {
namespace {

const std::vector<LegendEntry> kEntries = {
    {nullptr, QSize(30, 12)}, {nullptr, QSize(40, 14)}, {nullptr, QSize(20, 12)}};
const ChartRect kPlot{3, 20, 997, 300};
const ChartRect kBounds{3, 3, 997, 300};

TEST(CChartLegendTest, LayoutSizesAndPlaces) {
    struct Case {
        const char* name;
        bool horizontal;
        int dockSide; // -1: at the user position (602, 5)
        ChartRect legend;
        ChartRect plot;
    };
    const Case cases[] = {
        // Horizontal: width 3 * (16 + 14) + 90 - 6, height max(14, 16) + 8.
        {"horizontal, user position", true, -1, {602, 5, 776, 31}, kPlot},
        {"horizontal, docked right",
         true,
         CChartLegend::kDockRight,
         {817, 127, 991, 151},
         {3, 20, 819, 300}},
        // Vertical: width 40 + 16 + 12, height 3 * (16 + 2) + 6.
        {"vertical, user position", false, -1, {602, 5, 670, 67}, kPlot},
        {"vertical, docked left",
         false,
         CChartLegend::kDockLeft,
         {6, 109, 74, 169},
         {72, 20, 997, 300}},
        {"vertical, docked top",
         false,
         CChartLegend::kDockTop,
         {463, 23, 531, 83},
         {3, 85, 997, 300}},
        {"vertical, docked bottom",
         false,
         CChartLegend::kDockBottom,
         {463, 238, 531, 298},
         {3, 20, 997, 236}},
    };
    for (const Case& c : cases) {
        CChartLegend legend(nullptr);
        legend.SetVisible(true);
        legend.SetHorizontalMode(c.horizontal);
        if (c.dockSide < 0) {
            legend.UndockLegend(602, 5);
        } else {
            legend.DockLegend(c.dockSide);
        }
        ChartRect plot = kPlot;
        legend.LayoutLegend(plot, kEntries, kBounds);
        EXPECT_EQ(legend.Rect(), c.legend) << c.name;
        EXPECT_EQ(plot, c.plot) << c.name;
    }
}

TEST(CChartLegendTest, NoEntriesGiveAnEmptyLegendAndAHiddenOneIsLeftAlone) {
    CChartLegend legend(nullptr);
    EXPECT_FALSE(legend.IsVisible());
    EXPECT_TRUE(legend.IsDocked());
    ChartRect plot = kPlot;
    legend.LayoutLegend(plot, kEntries, kBounds);
    EXPECT_TRUE(legend.Rect().IsEmpty());
    EXPECT_EQ(plot, kPlot);

    legend.SetVisible(true);
    legend.LayoutLegend(plot, {}, kBounds);
    EXPECT_TRUE(legend.Rect().IsEmpty());
    EXPECT_EQ(plot, kPlot);
}

TEST(CChartLegendTest, UserPositionStaysInsideTheChart) {
    struct Case {
        QPoint user;
        ChartRect legend;
    };
    // The horizontal legend is 174 x 26 (24 + 2).
    const Case cases[] = {
        {{823, 274}, {823, 274, 997, 300}}, // just fits
        {{900, 5}, {823, 5, 997, 31}},      // past the right edge
        {{602, 290}, {602, 274, 776, 300}}, // past the bottom
        {{-50, -9}, {3, 3, 177, 29}},       // before the top left
    };
    for (const Case& c : cases) {
        CChartLegend legend(nullptr);
        legend.SetVisible(true);
        legend.SetHorizontalMode(true);
        legend.UndockLegend(c.user.x(), c.user.y());
        ChartRect plot = kPlot;
        legend.LayoutLegend(plot, kEntries, kBounds);
        EXPECT_EQ(legend.Rect(), c.legend) << c.user.x() << "," << c.user.y();
        EXPECT_EQ(plot, kPlot);
    }
    // Wider than the chart: it starts at the left edge.
    CChartLegend legend(nullptr);
    legend.SetVisible(true);
    legend.SetHorizontalMode(true);
    legend.UndockLegend(50, 5);
    ChartRect plot = kPlot;
    legend.LayoutLegend(plot, kEntries, ChartRect{3, 3, 100, 300});
    EXPECT_EQ(legend.Rect().left, 3);
}

} // namespace
} // namespace orvanta::chart
