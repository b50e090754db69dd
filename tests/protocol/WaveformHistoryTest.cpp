#include "protocol/WaveformHistory.h"

#include <gtest/gtest.h>

namespace orvanta::protocol {
namespace {

TEST(WaveformHistoryTest, StartsWithTwoHundredZeros) {
    WaveformHistory history;
    for (int g = 0; g < WaveformHistory::kGroupCount; ++g) {
        for (int c = 0; c < WaveformHistory::kChannelCount; ++c) {
            for (double v : history.Window(static_cast<HistoryGroup>(g), c)) {
                ASSERT_EQ(v, 0.0);
            }
            EXPECT_EQ(history.Newest(static_cast<HistoryGroup>(g), c), 0.0);
        }
    }
}

TEST(WaveformHistoryTest, WindowHoldsTheLatestSamplesInArrivalOrder) {
    struct Case {
        int appends;
        std::size_t cursor;
    };
    for (const Case& test :
         {Case{1, 1}, Case{199, 199}, Case{200, 0}, Case{201, 1}, Case{1000, 0}}) {
        WaveformHistory history;
        for (int i = 1; i <= test.appends; ++i) {
            history.AppendTriple(HistoryGroup::Acceleration, i, -i, i * 0.5);
        }
        EXPECT_EQ(history.Cursor(HistoryGroup::Acceleration), test.cursor) << test.appends;
        const auto first = history.Window(HistoryGroup::Acceleration, 0);
        const auto second = history.Window(HistoryGroup::Acceleration, 1);
        const auto third = history.Window(HistoryGroup::Acceleration, 2);
        for (std::size_t k = 0; k < WaveformHistory::kWindow; ++k) {
            // Sample k of the window is append number appends - 199 + k (zero before the first).
            const int n = test.appends - 199 + static_cast<int>(k);
            const double expected = n >= 1 ? n : 0.0;
            ASSERT_EQ(first[k], expected) << test.appends << " @" << k;
            ASSERT_EQ(second[k], -expected);
            ASSERT_EQ(third[k], expected * 0.5);
        }
        EXPECT_EQ(history.Newest(HistoryGroup::Acceleration, 0), test.appends);
    }
}

TEST(WaveformHistoryTest, GroupsAreIndependent) {
    WaveformHistory history;
    history.AppendTriple(HistoryGroup::Velocity, 1, 2, 3);
    EXPECT_EQ(history.Newest(HistoryGroup::Velocity, 2), 3.0);
    for (HistoryGroup other : {HistoryGroup::Euler, HistoryGroup::AngularRate,
                               HistoryGroup::Acceleration, HistoryGroup::MagneticField}) {
        EXPECT_EQ(history.Cursor(other), 0u);
        EXPECT_EQ(history.Newest(other, 0), 0.0);
    }
}

} // namespace
} // namespace orvanta::protocol
