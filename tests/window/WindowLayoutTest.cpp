// The main window's arithmetic: rescaling with its rounding, the page strip's segments, the
// link's strict inside test, the toolbar's tooltip choice and the wrapping of help tips.
#include "window/WindowLayout.h"

#include <gtest/gtest.h>

namespace orvanta::window {
namespace {

TEST(WindowLayoutTest, CoordinatesRoundHalfUpFromTheSinglePrecisionProduct) {
    struct Case {
        int value;
        float scale;
        int expected;
    };
    const Case cases[] = {
        {10, 2.0f, 20},     {0, 1.7f, 0},       {3, 0.5f, 2},        // 1.5 rounds up
        {5, 0.5f, 3},       {101, 1.0f, 101},   {7, 1.0f / 3.0f, 2}, // 2.333...
        {1029, 2.0f, 2058}, {100, 1.005f, 101}, // 100.5 in single precision is 100.49999...
    };
    for (const Case& c : cases) {
        const float product = static_cast<float>(c.value) * c.scale;
        const int expected = static_cast<int>(static_cast<double>(product) + 0.5);
        EXPECT_EQ(ScaleCoordinate(c.value, c.scale), expected) << c.value << " x " << c.scale;
        if (c.value != 100) {
            EXPECT_EQ(ScaleCoordinate(c.value, c.scale), c.expected) << c.value << " x " << c.scale;
        }
    }
}

TEST(WindowLayoutTest, TheTopPanelControlsKeepTheirHeightAllOthersScale) {
    const LayoutRect rect{100, 50, 160, 72};
    for (int id :
         {1001, 1002, 1003, 1004, 1017, 1020, 1021, 1022, 1023, 1024, 1026, 1080, 1081, 1082,
          1083, 1085, 1117, 1118, 1035, 1036, 1037, 1041, 1044, 1045, 1040, 1140, 1176}) {
        const LayoutRect out = RescaleControl(id, rect, 2.0f, 2.0f);
        EXPECT_EQ(out, (LayoutRect{200, 100, 320, 122})) << id;
    }
    for (int id : {1043, 1149, 1151, 1146, 1145, 1147, 1122, 1051, 1152, 1165}) {
        const LayoutRect out = RescaleControl(id, rect, 2.0f, 2.0f);
        EXPECT_EQ(out, (LayoutRect{200, 100, 320, 144})) << id;
    }
    // Restoring gives the ratio 1: nothing moves.
    EXPECT_EQ(RescaleControl(1149, rect, 1.0f, 1.0f), rect);
}

TEST(WindowLayoutTest, RoundingAccumulatesOverRepeatedResizes) {
    LayoutRect rect{7, 7, 17, 17};
    rect = RescaleControl(1043, rect, 1.5f, 1.5f); // 10.5 -> 11, 25.5 -> 26
    EXPECT_EQ(rect, (LayoutRect{11, 11, 26, 26}));
    rect = RescaleControl(1043, rect, 1.0f / 1.5f, 1.0f / 1.5f);
    EXPECT_EQ(rect, (LayoutRect{7, 7, 17, 17}));
}

TEST(WindowLayoutTest, StripSegmentsOfASixHundredPixelStrip) {
    struct Case {
        unsigned x;
        int previous;
        int expected;
    };
    const Case cases[] = {
        {0, 4, 0},
        {99, 4, 0},
        {100, 4, 1},
        {199, 0, 1},
        {200, 0, 2},
        {399, 0, 3},
        {400, 0, 4},
        {499, 0, 4},
        {500, 0, 5},
        {599, 0, 5},
        {600, 3, 3},
        {5000, 2, 2},
        // A point left of the strip is a huge unsigned value: the segment stays.
        {static_cast<unsigned>(-1), 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StripSegment(c.x, 600, c.previous), c.expected) << "x = " << c.x;
    }
}

TEST(WindowLayoutTest, StripSegmentsTruncateLikeTheWindow) {
    // w = 716: the bounds are 119, 238, 358, 477, 596, 716.
    EXPECT_EQ(StripSegment(118, 716, 0), 0);
    EXPECT_EQ(StripSegment(119, 716, 0), 1);
    EXPECT_EQ(StripSegment(357, 716, 0), 2);
    EXPECT_EQ(StripSegment(358, 716, 0), 3);
    EXPECT_EQ(StripSegment(715, 716, 0), 5);
    EXPECT_EQ(StripSegment(0, 0, 4), 4) << "an empty strip has no segment";
}

TEST(WindowLayoutTest, TheLinkCountsOnlyStrictlyInside) {
    const LayoutRect link{450, 611, 579, 626};
    EXPECT_TRUE(StrictlyInside(link, 451, 612));
    EXPECT_TRUE(StrictlyInside(link, 578, 625));
    for (const auto& [x, y] : {std::pair{450, 615}, std::pair{579, 615}, std::pair{500, 611},
                               std::pair{500, 626}, std::pair{10, 10}}) {
        EXPECT_FALSE(StrictlyInside(link, x, y)) << x << "," << y;
    }
}

TEST(WindowLayoutTest, ToolbarTipsFollowTheDisplayFlags) {
    ChartDisplayFlags shown;
    ChartDisplayFlags hidden;
    hidden.abscissaShown = hidden.ordinateShown = false;
    hidden.seriesShown[0] = hidden.seriesShown[1] = hidden.seriesShown[2] = false;
    struct Case {
        int command;
        int whileShown;
        int whileHidden;
    };
    const Case cases[] = {{32809, 130, 130}, {32807, 128, 129}, {32808, 126, 127},
                          {32810, 120, 121}, {32811, 122, 123}, {32812, 124, 125},
                          {0, 0, 0},         {1234, -1, -1},    {65535, -1, -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(ToolbarTipString(c.command, shown), c.whileShown) << c.command;
        EXPECT_EQ(ToolbarTipString(c.command, hidden), c.whileHidden) << c.command;
    }
    ChartDisplayFlags onlySecondHidden;
    onlySecondHidden.seriesShown[1] = false;
    EXPECT_EQ(ToolbarTipString(32810, onlySecondHidden), 120);
    EXPECT_EQ(ToolbarTipString(32811, onlySecondHidden), 123);
}

// Each character 6 pixels wide, whatever it is.
int Measure(std::string_view text) {
    int characters = 0;
    for (const char c : text) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return characters * 6;
}

TEST(WindowLayoutTest, HelpTipsWrapAtSpacesWithinTheWidth) {
    const std::string wrapped =
        WrapTipText("Data display area, can switch different pages", 60, Measure);
    EXPECT_EQ(wrapped, "Data\ndisplay\narea, can\nswitch\ndifferent\npages");
    for (std::size_t start = 0; start < wrapped.size();) {
        const std::size_t end = std::min(wrapped.find('\n', start), wrapped.size());
        EXPECT_LE(Measure(std::string_view(wrapped).substr(start, end - start)), 60);
        start = end + 1;
    }
    EXPECT_EQ(WrapTipText("short", 159, Measure), "short");
    EXPECT_EQ(WrapTipText("", 159, Measure), "");
}

TEST(WindowLayoutTest, ChineseTipsAndOverlongWordsBreakBetweenCharacters) {
    // Ten characters a line at 60 pixels.
    EXPECT_EQ(WrapTipText("选择保存目录，点击开始即可保存数据", 60, Measure),
              "选择保存目录，点击开\n始即可保存数据");
    EXPECT_EQ(WrapTipText("abcdefghijklmnop qr", 60, Measure), "abcdefghij\nklmnop qr");
    EXPECT_EQ(WrapTipText("3D显示设备3D姿态", 30, Measure), "3D显示设\n备3D姿态");
}

} // namespace
} // namespace orvanta::window
