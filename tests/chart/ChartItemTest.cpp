#include "chart/ChartItem.h"

#include <gtest/gtest.h>

namespace orvanta::chart {
namespace {

TEST(ChartItemTest, StripClicksAcceptedPerModel) {
    // Rows: VK100, VK200-210, VN300; columns: segments 0..5.
    const bool accepted[3][6] = {
        {true, true, true, true, true, true},
        {true, true, true, false, false, false},
        {true, true, true, false, true, true},
    };
    for (int model = 0; model < 3; ++model) {
        for (int index = 0; index < 6; ++index) {
            EXPECT_EQ(AcceptChartItem(model, index), accepted[model][index])
                << model << " " << index;
        }
        EXPECT_FALSE(AcceptChartItem(model, -1));
        EXPECT_FALSE(AcceptChartItem(model, 6));
    }
}

TEST(ChartItemTest, VK200KeepsOnlyItsOwnItems) {
    const int expected[6] = {0, 1, 2, 0, 0, 0};
    for (int item = 0; item < 6; ++item) {
        EXPECT_EQ(ChartItemForModel(1, item), expected[item]);
        EXPECT_EQ(ChartItemForModel(0, item), item);
        EXPECT_EQ(ChartItemForModel(2, item), item);
    }
}

} // namespace
} // namespace orvanta::chart
