// The live data page as a widget: its controls and texts in both languages, the colours,
// the refresh from the record, the centring of its block and its buttons.
#include "window/DataPage.h"

#include "host/ControlIds.h"
#include "support/RunUntil.h"
#include "window/DataPageText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <gtest/gtest.h>

namespace orvanta::window {
namespace {

QString LabelOf(const DataPage& page, int id) {
    const auto* label = qobject_cast<const QLabel*>(page.Control(id));
    return label ? label->text() : QString("<missing %1>").arg(id);
}

TEST(DataPage, CaptionsAndPlaceholdersInBothLanguages) {
    protocol::MeasurementRecord record;
    struct Case {
        bool english;
        std::vector<std::pair<int, const char*>> texts;
    };
    const Case cases[] = {
        {true,
         {{1055, "xRoll:"},
          {1057, "yPitch:"},
          {1045, "zGyro:"},
          {1083, "zMag:"},
          {1068, "zVel:"},
          {1132, "Satellites     :"},
          {1130, "iTOW:"},
          {1106, "iTOW:"},
          {1111, "UTC   :"},
          {1056, "+0.000°"},
          {1016, "+0.000°/s"},
          {1063, "+0.000g"},
          {1069, "+0.000m/s"},
          {1129, "No fix"}}},
        {false,
         {{1055, "横滚:"},
          {1053, "方位:"},
          {1024, "X轴:"},
          {1108, "真航向    :"},
          {1106, "周时 :"},
          {1130, "周时 :"},
          {1111, "UTC :"},
          {1105, "扩展定位 :"}}},
    };
    for (const Case& c : cases) {
        DataPage page(record, c.english);
        for (const auto& [id, text] : c.texts) {
            EXPECT_EQ(LabelOf(page, id), QString::fromUtf8(text)) << id;
        }
        for (const ValueLabel& label : kDataPageLabels) {
            EXPECT_NE(page.Control(label.id), nullptr) << label.id;
        }
        for (const host::ItemBox& box : host::kPageItemBoxes) {
            EXPECT_NE(qobject_cast<QAbstractButton*>(page.Control(box.id)), nullptr) << box.id;
        }
        for (int id : host::kModelListD) {
            EXPECT_NE(page.Control(id), nullptr) << id;
        }
        const auto* calibration = qobject_cast<QComboBox*>(page.Control(1018));
        ASSERT_NE(calibration, nullptr);
        ASSERT_EQ(calibration->count(), 3);
        EXPECT_EQ(calibration->currentIndex(), 0);
        EXPECT_EQ(calibration->itemText(2), c.english ? QString("Give up") : QString("放弃校准"));
        EXPECT_TRUE(qobject_cast<QAbstractButton*>(page.Control(1104))->isChecked());
    }
}

TEST(DataPage, RefreshShowsSlotsWithUnitsInBlueOnWhite) {
    protocol::MeasurementRecord record;
    DataPage page(record, true);
    page.RefreshDataPage();
    EXPECT_EQ(LabelOf(page, 1056), "°");
    EXPECT_EQ(LabelOf(page, 1124), "s");
    EXPECT_EQ(LabelOf(page, 1138), "");

    record.ItemText[protocol::slot::kRoll] = "+12.345";
    record.ItemText[protocol::slot::kSatellites] = "9";
    record.AngleUnit = 1;
    page.RefreshDataPage();
    EXPECT_EQ(LabelOf(page, 1056), "+12.345rad");
    EXPECT_EQ(LabelOf(page, 1138), "9");

    EXPECT_EQ(page.Control(1056)->palette().color(QPalette::WindowText), DataPage::kValueColor);
    EXPECT_NE(page.Control(1055)->palette().color(QPalette::WindowText), DataPage::kValueColor);
    const QImage shot = page.grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2), DataPage::kPageColor);
    QWidget* box = page.Control(host::page_id::kDeclinationBox);
    const QImage boxShot = box->grab().toImage();
    EXPECT_EQ(boxShot.pixelColor(boxShot.width() / 2, boxShot.height() / 2),
              DataPage::kDeclinationBoxColor);
}

TEST(DataPage, BlockIsCentredAndStaysAtTheTop) {
    protocol::MeasurementRecord record;
    DataPage page(record, true);
    page.show(); // a hidden widget gets its resize events only when shown
    const QWidget* euler = page.Control(1055);
    const QWidget* ok = page.Control(host::page_id::kDeclinationOk);
    const QRect eulerAt = euler->geometry();
    const QRect okAt = ok->geometry();
    // The controls' extent is centred in the page as created.
    const int leftGap = page.findChild<QGroupBox*>()->geometry().left();
    EXPECT_GE(leftGap, 0);

    page.resize(page.width() + 100, page.height());
    EXPECT_EQ(euler->geometry(), eulerAt.translated(50, 0));
    EXPECT_EQ(ok->geometry(), okAt.translated(50, 0));
    page.resize(page.width(), page.height() + 80);
    EXPECT_EQ(euler->geometry(), eulerAt.translated(50, 0));
}

TEST(DataPage, ButtonsReachTheirActionsAndTheTimerRefreshes) {
    protocol::MeasurementRecord record;
    DataPage page(record, true);
    std::vector<std::string> calls;
    page.SetActions({[&] { calls.push_back("items"); }, [&] { calls.push_back("calibration"); },
                     [&] { calls.push_back("declination"); }, [&] { calls.push_back("radio"); }});
    for (int id : {1079, 1085, 1086, 1113, 1104}) {
        qobject_cast<QAbstractButton*>(page.Control(id))->click();
    }
    EXPECT_EQ(calls,
              (std::vector<std::string>{"items", "calibration", "declination", "radio", "radio"}));
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(page.Control(1104))->isChecked());
    EXPECT_FALSE(qobject_cast<QAbstractButton*>(page.Control(1113))->isChecked());

    record.ItemText[protocol::slot::kYaw] = "+1.000";
    page.StartPageTimer();
    EXPECT_TRUE(page.PageTimerRunning());
    orvanta::testing::PumpUntil([&] { return LabelOf(page, 1054) == "+1.000°"; },
                                std::chrono::milliseconds(3000),
                                [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); });
    EXPECT_EQ(LabelOf(page, 1054), "+1.000°");
    page.KillPageTimer();
    EXPECT_FALSE(page.PageTimerRunning());
}

} // namespace
} // namespace orvanta::window
