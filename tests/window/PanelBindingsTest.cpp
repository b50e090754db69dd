// The main window's status labels and monitor box helpers.
#include "window/PanelBindings.h"

#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace orvanta::window {
namespace {

// A window that remembers the regions it was asked to paint.
class PaintLog : public QWidget {
public:
    std::vector<QRect> painted;

protected:
    void paintEvent(QPaintEvent* event) override { painted.push_back(event->rect()); }
};

TEST(StatusText, OnlyAChangedLabelRepaintsThePictureUnderIt) {
    PaintLog window;
    window.resize(400, 200);
    QLabel label("0HZ", &window);
    label.setGeometry(100, 50, 60, 20);
    window.show();
    QApplication::processEvents();
    window.painted.clear();

    EXPECT_FALSE(SetStatusText(window, label, "0HZ"));
    EXPECT_TRUE(window.painted.empty());

    EXPECT_TRUE(SetStatusText(window, label, "15HZ"));
    EXPECT_EQ(label.text(), "15HZ");
    ASSERT_FALSE(window.painted.empty()); // painted at once, not later
    EXPECT_TRUE(window.painted.front().contains(QRect(100, 50, 60, 20)));
    EXPECT_FALSE(window.painted.front().contains(QRect(0, 0, 400, 200)));
}

TEST(MonitorBox, UpperCaseAppendUpToTheLimitThenReplace) {
    QPlainTextEdit box;
    AppendMonitorText(box, "Tx: ff 02 51 00 00 d9 3f 03 \r\n");
    EXPECT_EQ(box.toPlainText(), "TX: FF 02 51 00 00 D9 3F 03 \n");
    EXPECT_EQ(MonitorLength(box), 29);

    std::string block;
    for (int i = 0; i < 20; ++i) {
        block += std::string(49, 'a') + "\n";
    }
    for (int i = 0; i < 70; ++i) {
        AppendMonitorText(box, block);
    }
    EXPECT_EQ(MonitorLength(box), host::kMonitorLimit);
    EXPECT_TRUE(box.toPlainText().contains("AAAA"));

    ReplaceMonitorText(box, "rx: ff 00");
    EXPECT_EQ(box.toPlainText(), "RX: FF 00");
    EXPECT_EQ(box.textCursor().position(), 9);
    ReplaceMonitorText(box, std::string(70000, 'b'));
    EXPECT_EQ(MonitorLength(box), host::kMonitorLimit);
}

} // namespace
} // namespace orvanta::window
