// The anchor layout against an in-memory window tree: the flag rules, the half-change
// arithmetic, the extent taken at Attach, the entry limit and the batched moves.
#include "window/AnchorLayout.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace orvanta::window {
namespace {

// Windows with a parent, an identifier and a screen rectangle; the dialog's client area
// starts at its screen origin plus clientOffset.
class FakeWindows : public AnchorWindowSystem {
public:
    struct Window {
        int id = 0;
        AnchorWindow parent = nullptr;
        AnchorRect screen;
    };

    AnchorWindow Add(int id, AnchorWindow parent, AnchorRect screen) {
        auto window = std::make_unique<Window>(Window{id, parent, screen});
        AnchorWindow handle = window.get();
        order_.push_back(handle);
        windows_.push_back(std::move(window));
        return handle;
    }
    void SetScreen(AnchorWindow window, AnchorRect screen) {
        const_cast<Window&>(Get(window)).screen = screen;
    }
    // A descendant listed twice, as a careless walk may do.
    void RepeatInWalk(AnchorWindow window) { order_.push_back(window); }

    std::vector<AnchorWindow> Descendants(AnchorWindow dialog) const override {
        std::vector<AnchorWindow> out;
        for (AnchorWindow w : order_) {
            if (w != dialog && IsBelow(w, dialog)) {
                out.push_back(w);
            }
        }
        return out;
    }
    AnchorWindow Parent(AnchorWindow window) const override { return Get(window).parent; }
    int ControlId(AnchorWindow window) const override { return Get(window).id; }
    AnchorRect WindowRect(AnchorWindow window) const override { return Get(window).screen; }
    bool ScreenToClient(AnchorWindow dialog, AnchorRect& rect) const override {
        if (!clientConversion) {
            return false;
        }
        const AnchorRect origin = Get(dialog).screen;
        rect.left -= origin.left;
        rect.right -= origin.left;
        rect.top -= origin.top;
        rect.bottom -= origin.top;
        return true;
    }
    AnchorRect NonClientFrame(AnchorWindow) const override { return frame; }
    void MoveWindows(std::span<const AnchorMove> moves) override {
        batches.emplace_back(moves.begin(), moves.end());
    }

    std::vector<std::vector<AnchorMove>> batches;
    bool clientConversion = true;
    AnchorRect frame;

private:
    const Window& Get(AnchorWindow w) const { return *static_cast<const Window*>(w); }
    bool IsBelow(AnchorWindow w, AnchorWindow dialog) const {
        for (AnchorWindow p = Get(w).parent; p != nullptr; p = Get(p).parent) {
            if (p == dialog) {
                return true;
            }
        }
        return false;
    }
    std::vector<std::unique_ptr<Window>> windows_;
    std::vector<AnchorWindow> order_;
};

class AnchorLayoutTest : public ::testing::Test {
protected:
    // A 441 x 141 dialog at screen (1000, 500) whose controls reach x = 441.
    void SetUp() override {
        dialog_ = windows_.Add(133, nullptr, {1000, 500, 1441, 641});
        first_ = windows_.Add(1001, dialog_, {1000, 510, 1081, 560});
        last_ = windows_.Add(1002, dialog_, {1360, 510, 1441, 620});
        layout_.SetEnumerateChildren(true);
        layout_.SetDefaultFlags(AnchorLayout::kTopAnchored);
    }
    const std::vector<AnchorMove>& LastBatch() const { return windows_.batches.back(); }

    FakeWindows windows_;
    AnchorLayout layout_{windows_};
    AnchorWindow dialog_ = nullptr;
    AnchorWindow first_ = nullptr;
    AnchorWindow last_ = nullptr;
};

TEST_F(AnchorLayoutTest, SameSizeMovesNothingWiderCentresTallerKeepsTop) {
    layout_.Attach(dialog_);
    ASSERT_EQ(layout_.EntryCount(), 2u);
    EXPECT_EQ(layout_.EntryAt(0).id, 1001);
    EXPECT_EQ(layout_.EntryAt(1).rect.left, 360.0);
    EXPECT_EQ(layout_.EntryAt(1).rect.top, 10.0);

    layout_.Resize({0, 0, 441, 141});
    EXPECT_TRUE(windows_.batches.empty());

    layout_.Resize({0, 0, 541, 141});
    ASSERT_EQ(windows_.batches.size(), 1u);
    ASSERT_EQ(LastBatch().size(), 2u);
    EXPECT_EQ(LastBatch()[0].window, first_);
    EXPECT_EQ(LastBatch()[0].x, 50);
    EXPECT_EQ(LastBatch()[0].y, 10);
    EXPECT_EQ(LastBatch()[0].width, 81);
    EXPECT_EQ(LastBatch()[0].height, 50);
    EXPECT_EQ(LastBatch()[1].x, 410);

    layout_.Resize({0, 0, 541, 400});
    EXPECT_EQ(windows_.batches.size(), 1u);
    EXPECT_EQ(layout_.LastDy(), 259);
}

TEST_F(AnchorLayoutTest, ExtentOfControlsCountsAsTheDialogSize) {
    // The dialog is 600 wide but its controls reach 441: the first resize centres them.
    windows_.SetScreen(dialog_, {1000, 500, 1600, 641});
    layout_.Attach(dialog_);
    EXPECT_EQ(layout_.LastRect().Width(), 441);
    EXPECT_EQ(layout_.LastRect().Height(), 120);
    layout_.Resize({0, 0, 600, 141});
    ASSERT_EQ(windows_.batches.size(), 1u);
    EXPECT_EQ(LastBatch()[0].x, 79); // 159 / 2 truncated
}

TEST_F(AnchorLayoutTest, HalfPixelStepsAccumulateWithoutDrift) {
    layout_.Attach(dialog_);
    std::vector<int> shown;
    for (int width = 442; width <= 444; ++width) {
        layout_.Resize({0, 0, width, 141});
        shown.push_back(LastBatch()[0].x);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 1}));
    EXPECT_DOUBLE_EQ(layout_.EntryAt(0).rect.left, 1.5);
    EXPECT_DOUBLE_EQ(layout_.EntryAt(0).rect.right, 82.5);
}

TEST_F(AnchorLayoutTest, NarrowingMovesCentredControlsPastTheLeftEdge) {
    layout_.Attach(dialog_);
    layout_.Resize({0, 0, 241, 141});
    EXPECT_EQ(LastBatch()[0].x, -100);
    EXPECT_EQ(LastBatch()[1].x, 260);
    layout_.Resize({0, 0, 240, 141});
    EXPECT_DOUBLE_EQ(layout_.EntryAt(0).rect.left, -100.5);
    EXPECT_EQ(LastBatch()[0].x, -100); // truncated toward zero
}

TEST_F(AnchorLayoutTest, OnlyDirectChildrenOnceEachUpToTheLimit) {
    AnchorWindow group = windows_.Add(2000, dialog_, {1000, 500, 1100, 600});
    windows_.Add(2001, group, {1010, 510, 1020, 520}); // a grandchild
    windows_.RepeatInWalk(first_);
    for (int i = 0; i < 300; ++i) {
        windows_.Add(3000 + i, dialog_, {1000, 500, 1010, 510});
    }
    layout_.Attach(dialog_);
    ASSERT_EQ(layout_.EntryCount(), AnchorLayout::kMaxEntries);
    for (std::size_t i = 0; i < layout_.EntryCount(); ++i) {
        EXPECT_NE(layout_.EntryAt(i).id, 2001);
    }
    EXPECT_EQ(layout_.EntryAt(3).id, 3000);
    EXPECT_EQ(layout_.EntryAt(255).id, 3000 + 252);
    layout_.Resize({0, 0, 641, 141});
    EXPECT_EQ(LastBatch().size(), AnchorLayout::kMaxEntries);
}

TEST_F(AnchorLayoutTest, AttachEdgeCases) {
    // Resize before Attach has nothing to move.
    layout_.Resize({0, 0, 900, 900});
    EXPECT_TRUE(windows_.batches.empty());

    // A null dialog leaves the layout empty.
    layout_.Attach(nullptr);
    EXPECT_EQ(layout_.EntryCount(), 0u);

    // Without the switch no child is recorded.
    AnchorLayout quiet(windows_);
    quiet.Attach(dialog_);
    EXPECT_EQ(quiet.EntryCount(), 0u);

    // A failed conversion keeps screen coordinates; the frame enlarges the extent.
    windows_.clientConversion = false;
    windows_.frame = {3, 20, 3, 3};
    AnchorLayout screen(windows_);
    screen.SetEnumerateChildren(true);
    screen.SetDefaultFlags(0x55);
    screen.Attach(dialog_);
    ASSERT_EQ(screen.EntryCount(), 2u);
    EXPECT_EQ(screen.EntryAt(0).rect.left, 1000.0);
    EXPECT_EQ(screen.EntryAt(0).flags, 0x55);
    EXPECT_EQ(screen.LastRect().left, 997);
    EXPECT_EQ(screen.LastRect().top, 480);
    EXPECT_EQ(screen.LastRect().right, 1000 + 1441 + 3);
}

struct FlagCase {
    int flags;
    int dx;
    int dy;
    AnchorLayout::Rect expected;
    bool changed;
};

TEST(AnchorLayoutFlags, EachHorizontalAndVerticalRule) {
    const AnchorLayout::Rect start{10, 20, 50, 40};
    const FlagCase cases[] = {
        {0x40 | 0x10, 100, 60, {10, 20, 50, 40}, false}, // both anchored
        {0x80 | 0x10, 100, 60, {110, 20, 150, 40}, true},
        {0xC0 | 0x10, 100, 60, {10, 20, 150, 40}, true},
        {0x00 | 0x10, 100, 60, {60, 20, 100, 40}, true},
        {0x40 | 0x20, 100, 60, {10, 80, 50, 100}, true},
        {0x40 | 0x30, 100, 60, {10, 20, 50, 100}, true},
        {0x40 | 0x00, 100, 60, {10, 50, 50, 70}, true},
        {0x00, -7, -3, {6.5, 18.5, 46.5, 38.5}, true},
        {0xC0 | 0x30, -20, -10, {10, 20, 30, 30}, true},
        {0x00, 0, 0, {10, 20, 50, 40}, false}, // no change at all
        {0xFF, 5, 5, {10, 20, 55, 45}, true},  // other bits ignored
        {0x00 | 0x10, 0, 60, {10, 20, 50, 40}, false},
    };
    for (const FlagCase& c : cases) {
        AnchorLayout::Rect rect = start;
        EXPECT_EQ(AnchorLayout::ShiftRect(rect, c.flags, c.dx, c.dy), c.changed)
            << "flags " << c.flags;
        EXPECT_DOUBLE_EQ(rect.left, c.expected.left) << "flags " << c.flags;
        EXPECT_DOUBLE_EQ(rect.top, c.expected.top) << "flags " << c.flags;
        EXPECT_DOUBLE_EQ(rect.right, c.expected.right) << "flags " << c.flags;
        EXPECT_DOUBLE_EQ(rect.bottom, c.expected.bottom) << "flags " << c.flags;
    }
}

TEST(AnchorLayoutFlags, MovesTruncateEachCoordinate) {
    const AnchorMove move = AnchorLayout::MoveFor(nullptr, {1.9, -2.7, 12.2, 8.1});
    EXPECT_EQ(move.x, 1);
    EXPECT_EQ(move.y, -2);
    EXPECT_EQ(move.width, 10);  // 10.3
    EXPECT_EQ(move.height, 10); // 10.8
}

} // namespace
} // namespace orvanta::window
