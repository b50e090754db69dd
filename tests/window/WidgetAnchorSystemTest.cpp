// The anchor layout on real widgets: direct children only, moved together by half the
// change in width, whatever the page's position on the screen.
#include "window/WidgetAnchorSystem.h"

#include "window/AnchorLayout.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace orvanta::window {
namespace {

TEST(WidgetAnchorSystem, CentresDirectChildrenOfAPage) {
    QWidget window;
    window.resize(900, 400);
    QWidget page(&window);
    page.setGeometry(37, 21, 441, 141);
    QLabel first("a", &page);
    first.setGeometry(0, 10, 81, 50);
    first.setProperty("controlId", 1055);
    QWidget group(&page);
    group.setGeometry(360, 0, 81, 120);
    QLabel inner("b", &group);
    inner.setGeometry(5, 5, 20, 10);

    WidgetAnchorSystem system([](const QWidget* w) { return w->property("controlId").toInt(); });
    AnchorLayout layout(system);
    layout.SetEnumerateChildren(true);
    layout.SetDefaultFlags(AnchorLayout::kTopAnchored);
    layout.Attach(WidgetAnchorSystem::Handle(&page));
    ASSERT_EQ(layout.EntryCount(), 2u);
    EXPECT_EQ(layout.EntryAt(0).id, 1055);
    EXPECT_EQ(layout.EntryAt(0).rect.top, 10.0);
    EXPECT_EQ(layout.LastRect().Width(), 441);

    page.resize(541, 300);
    layout.Resize({0, 0, page.width(), page.height()});
    EXPECT_EQ(first.geometry(), QRect(50, 10, 81, 50));
    EXPECT_EQ(group.geometry(), QRect(410, 0, 81, 120));
    EXPECT_EQ(inner.geometry(), QRect(5, 5, 20, 10));
    EXPECT_TRUE(page.updatesEnabled());
}

} // namespace
} // namespace orvanta::window

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
