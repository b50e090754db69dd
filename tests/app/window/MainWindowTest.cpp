// The main window in a real X window, without a device: start-up language, the controls of
// the template at their scaled places, rescaling, size limits, the page strip, the toolbar's
// tooltips, the help tips, the link, the language switch and the refused chart items.
#include "app/CAboutDlg.h"
#include "app/CBmpButton.h"
#include "app/CDataShowDlg.h"
#include "app/CMyToolBar.h"
#include "app/COrvantaApp.h"
#include "app/COrvantaDlg.h"
#include "app/ControlIds.h"
#include "app/PortListDelegate.h"
#include "app/SkinFile.h"
#include "app/SkinLayer.h"
#include "app/WidgetHostUi.h"
#include "chart/CChartDlg.h"
#include "res/Artwork.h"
#include "res/StringTable.h"
#include "support/TempDir.h"
#include "view3d/C3DShowDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace orvanta::app {
namespace {

namespace fs = std::filesystem;

struct Shown {
    std::string caption;
    std::string text;
};

// A program folder (bin/, config/, data/), and the window made as the application makes it,
// with no serial port to find.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.path() / "bin");
        fs::create_directories(dir_.path() / "config");
    }
    void TearDown() override { window_.reset(); }

    fs::path ConfigPath() const { return dir_.path() / "config" / "Config.ini"; }
    void WriteConfig(const std::string& language) {
        testing::WriteFile(ConfigPath(), "[Config]\r\nLANGUAGE=" + language + "\r\n");
    }

    void Start(bool systemChinese = false, SkinLayer* skin = nullptr) {
        COrvantaDlg::Options options = StartupOptions(PortableLayout(dir_.path()), systemChinese);
        options.skin = skin;
        options.host.listPorts = [this](const std::string&) { return ports_; };
        options.describePort = [](const std::string& path) {
            return path == "/dev/ttyUSB0"   ? std::string("FTDI FT232R USB UART (A50285BI)")
                   : path == "/dev/ttyACM0" ? std::string("STMicroelectronics Virtual COM Port")
                                            : std::string();
        };
        options.openUrl = [this](const QUrl& url) { opened_.push_back(url.toString()); };
        window_ = std::make_unique<COrvantaDlg>(std::move(options));
        window_->ui().SetMessageSink(
            [this](std::string_view caption, std::string_view text, MessageIcon) {
                shown_.push_back({std::string(caption), std::string(text)});
            });
        ASSERT_TRUE(window_->Initialise());
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    QString Text(int id) const {
        const QWidget* widget = window_->Control(id);
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            return label->text();
        }
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            return button->text();
        }
        return {};
    }

    // A rectangle of the template in pixels, as the builder places it.
    QRect TemplateRect(const res::ControlTemplate& control) const {
        return window_->Controls().ToPixels(control.x, control.y, control.width, control.height);
    }

    static void SaveArtifact(QWidget& widget, const std::string& name) {
        SaveArtifact(widget.grab(), name);
    }
    static void SaveArtifact(const QPixmap& picture, const std::string& name) {
        const char* dir = std::getenv("ORVANTA_ARTIFACTS");
        if (dir == nullptr) {
            return;
        }
        fs::create_directories(dir);
        EXPECT_TRUE(picture.save(QString::fromStdString((fs::path(dir) / name).string())));
    }

    testing::TempDir dir_;
    std::unique_ptr<COrvantaDlg> window_;
    std::vector<Shown> shown_;
    std::vector<QString> opened_;
    std::vector<std::string> ports_;
};

TEST_F(MainWindowTest, TheLanguageComesFromTheFileOrTheSystem) {
    struct Case {
        const char* language; // nullptr: no configuration file
        bool systemChinese;
        int expectedFlag;
    };
    const Case cases[] = {
        {"EN", true, 1}, {"CH", false, 0},   {"CHX", false, 0},   {"ch", true, 1},
        {"", true, 1},   {nullptr, true, 0}, {nullptr, false, 1},
    };
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove(ConfigPath(), ec);
        if (c.language) {
            WriteConfig(c.language);
        }
        Start(c.systemChinese);
        const bool chinese = c.expectedFlag == 0;
        EXPECT_EQ(window_->host().State().LanguageFlag, c.expectedFlag) << c.language;
        EXPECT_EQ(window_->BackgroundBitmap(), chinese ? 140 : 139);
        EXPECT_EQ(Text(1001), chinese ? QString::fromUtf8("打开") : QString("Open"));
        EXPECT_EQ(Text(1035), chinese ? QString::fromUtf8("端口号:") : QString("Com:"));
        EXPECT_EQ(window_->windowTitle(), "Orvanta V1.5");
        const auto* english = qobject_cast<QAbstractButton*>(window_->Control(1166));
        ASSERT_NE(english, nullptr);
        EXPECT_EQ(english->isChecked(), !chinese);
        window_.reset();
    }
    // The file made during a first run holds LANGUAGE=CH whatever language was chosen.
    EXPECT_NE(testing::ReadFile(ConfigPath()).find("LANGUAGE=CH"), std::string::npos);
}

TEST_F(MainWindowTest, EveryControlSitsAtItsTemplatePlace) {
    for (const char* language : {"EN", "CH"}) {
        WriteConfig(language);
        Start();
        const res::DialogTemplate& dialog = window_->Controls().Template();
        EXPECT_EQ(dialog.controls.size(), 90u);
        EXPECT_EQ(window_->size(), window_->Controls().TemplateSize());
        EXPECT_EQ(window_->pos(), QPoint(0, 0));
        for (const res::ControlTemplate& control : dialog.controls) {
            const QWidget* widget = window_->Control(control.id);
            ASSERT_NE(widget, nullptr) << control.id;
            const QRect expected = TemplateRect(control);
            EXPECT_EQ(widget->x(), expected.x()) << control.id;
            EXPECT_EQ(widget->y(), expected.y()) << control.id;
            EXPECT_EQ(widget->width(), expected.width()) << control.id;
        }
        // The pages fill their frames.
        EXPECT_EQ(window_->chart().geometry(), window_->Control(1146)->geometry());
        EXPECT_EQ(window_->page().geometry(), window_->Control(1146)->geometry());
        EXPECT_EQ(window_->toolbar().geometry(), window_->Control(1147)->geometry());
        EXPECT_EQ(window_->view().geometry(), window_->Control(1145)->geometry());
        EXPECT_TRUE(window_->chart().isVisible());
        EXPECT_FALSE(window_->page().isVisible());
        EXPECT_EQ(window_->focusWidget(), window_->Control(1001));
        EXPECT_TRUE(window_->Control(1038)->isHidden());
        EXPECT_TRUE(window_->Control(1019)->isHidden());
        window_.reset();
    }
}

TEST_F(MainWindowTest, DoublingTheClientAreaDoublesEveryControl) {
    WriteConfig("EN");
    Start();
    std::map<int, QRect> before;
    for (QWidget* widget : window_->Controls().Widgets()) {
        before[window_->Controls().IdOf(widget)] = widget->geometry();
    }
    const QSize size = window_->size();
    window_->resize(size * 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == size * 2; }));
    for (const auto& [id, old] : before) {
        const QRect now = window_->Control(id)->geometry();
        EXPECT_NEAR(now.x(), 2 * old.x(), 1) << id;
        EXPECT_NEAR(now.y(), 2 * old.y(), 1) << id;
        EXPECT_NEAR(now.width(), 2 * old.width(), 1) << id;
        if (KeepsHeightOnRescale(id)) {
            EXPECT_EQ(now.height(), old.height()) << id;
        } else {
            EXPECT_NEAR(now.height(), 2 * old.height(), 1) << id;
        }
    }
    EXPECT_EQ(window_->chart().geometry(), window_->Control(1146)->geometry());
    EXPECT_EQ(window_->strip().Slot(0).size(), window_->strip().size());
    const QRect link = window_->Control(1051)->geometry();
    EXPECT_EQ(window_->LinkRect(),
              (LayoutRect{link.x(), link.y(), link.x() + link.width(), link.y() + link.height()}));

    // Minimising leaves the layout alone; restoring gives the ratio 1.
    window_->showMinimized();
    QTest::qWait(50);
    window_->showNormal();
    QTest::qWait(50);
    EXPECT_EQ(window_->Control(1149)->geometry().x(), 2 * before[1149].x());
}

TEST_F(MainWindowTest, TheWindowKeepsWithinItsStartSizeAndTheScreen) {
    WriteConfig("EN");
    Start();
    const QSize start = window_->Controls().TemplateSize();
    EXPECT_EQ(window_->SmallestSize(), start);
    EXPECT_EQ(window_->minimumSize(), start);
    EXPECT_EQ(window_->maximumSize(), window_->screen()->size());
    window_->resize(start / 2);
    QTest::qWait(20);
    EXPECT_GE(window_->width(), start.width());
    EXPECT_GE(window_->height(), start.height());
}

TEST_F(MainWindowTest, ThePageStripFindsTheSegmentUnderTheMouse) {
    WriteConfig("EN");
    Start();
    CBmpButton& strip = window_->strip();
    strip.resize(600, strip.height());
    strip.LoadStripPictures();
    const int y = strip.height() / 2;
    for (const auto& [x, segment] :
         {std::pair{99, 0}, std::pair{100, 1}, std::pair{599, 5}, std::pair{250, 2}}) {
        QTest::mouseMove(&strip, QPoint(x, y));
        const int expected = segment;
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->HoverSegment() == expected; }, 500))
            << "x = " << x;
    }
    EXPECT_TRUE(strip.Hovering());
    // Outside the strip the segment stays.
    QMouseEvent outside(QEvent::MouseMove, QPointF(650, y), strip.mapToGlobal(QPointF(650, y)),
                        Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&strip, &outside);
    EXPECT_EQ(window_->HoverSegment(), 2);

    // A click takes the segment last hovered.
    QTest::mouseMove(&strip, QPoint(450, y));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->HoverSegment() == 4; }, 500));
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(450, y));
    EXPECT_EQ(window_->host().State().ChartItem, 4);
    EXPECT_TRUE(window_->chart().isVisible());
    QTest::mouseMove(&strip, QPoint(550, y));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->HoverSegment() == 5; }, 500));
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(550, y));
    EXPECT_EQ(window_->host().State().ChartItem, 5);
    EXPECT_TRUE(window_->page().isVisible());
    EXPECT_FALSE(window_->chart().isVisible());
}

TEST_F(MainWindowTest, TheStripShowsTheCurrentItemAndShadesTheHoveredSegment) {
    WriteConfig("EN");
    Start();
    CBmpButton& strip = window_->strip();
    window_->host().OnChartItemChosen(5);
    const int w = strip.width();
    const int y = strip.height() / 2;
    const auto brightness = [&](const QImage& image, int segment) {
        return qGray(image.pixel(segment * w / 6 + 3, y));
    };
    QTest::mouseMove(&strip, QPoint(2 * w / 6 + w / 12, y));
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.Hovering(); }, 500));
    const QImage hovered = strip.Composed();
    ASSERT_FALSE(hovered.isNull());
    EXPECT_LT(brightness(hovered, 2), brightness(hovered, 0)) << "the hovered segment is shaded";
    EXPECT_LT(brightness(hovered, 5), brightness(hovered, 0)) << "the current item is dark";

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&strip, &leave);
    const QImage left = strip.Composed();
    EXPECT_EQ(brightness(left, 2), brightness(left, 0)) << "only the current item is marked";
    EXPECT_LT(brightness(left, 5), brightness(left, 0));
}

TEST_F(MainWindowTest, ChartItemsAModelCannotShowAreRefused) {
    struct Case {
        int model;
        std::vector<int> refused;
    };
    const Case cases[] = {{0, {}}, {1, {3, 4, 5}}, {2, {3}}};
    WriteConfig("EN");
    Start();
    auto* models = qobject_cast<QComboBox*>(window_->Control(1023));
    ASSERT_NE(models, nullptr);
    for (const Case& c : cases) {
        models->setCurrentIndex(c.model);
        Q_EMIT models->activated(c.model);
        for (int segment = 0; segment < 6; ++segment) {
            shown_.clear();
            window_->host().OnChartItemChosen(0);
            window_->host().OnChartItemChosen(segment);
            const bool refused =
                std::find(c.refused.begin(), c.refused.end(), segment) != c.refused.end();
            if (refused) {
                ASSERT_EQ(shown_.size(), 1u) << c.model << "/" << segment;
                EXPECT_EQ(shown_[0].text, "Equipment not supported!!");
                EXPECT_EQ(shown_[0].caption, "Message");
                EXPECT_EQ(window_->host().State().ChartItem, 0);
            } else {
                EXPECT_TRUE(shown_.empty()) << c.model << "/" << segment;
                EXPECT_EQ(window_->host().State().ChartItem, segment);
            }
        }
    }
}

TEST_F(MainWindowTest, ToolbarTipsFollowTheChartsDisplayFlags) {
    WriteConfig("EN");
    Start();
    CMyToolBar& toolbar = window_->toolbar();
    QString text;
    ASSERT_TRUE(toolbar.TooltipText(32809, text));
    EXPECT_EQ(text, "Generate picture");
    ASSERT_TRUE(toolbar.TooltipText(32807, text));
    EXPECT_EQ(text, "Disable abscissa axis");
    window_->OnChartCommand(32807);
    ASSERT_TRUE(toolbar.TooltipText(32807, text));
    EXPECT_EQ(text, "Enable abscissa axis");
    window_->OnChartCommand(32811);
    ASSERT_TRUE(toolbar.TooltipText(32811, text));
    EXPECT_EQ(text, "Show Y data");
    EXPECT_FALSE(toolbar.TooltipText(0, text));
    ASSERT_TRUE(toolbar.TooltipText(4242, text));
    EXPECT_EQ(text, "Show Y data") << "an unknown identifier keeps the text last loaded";

    // The six buttons, in order, send their commands to the chart page.
    EXPECT_TRUE(window_->chart().State().seriesShown[2]);
    QWidget* third = toolbar.Button(32812);
    ASSERT_NE(third, nullptr);
    QTest::mouseClick(third, Qt::LeftButton);
    EXPECT_FALSE(window_->chart().State().seriesShown[2]);
}

TEST_F(MainWindowTest, HelpTipsCarryTheStringsWrappedToTheirWidth) {
    for (const auto& [language, flag] : {std::pair{"EN", 1}, std::pair{"CH", 0}}) {
        WriteConfig(language);
        Start();
        const QFontMetrics metrics(QToolTip::font());
        for (const auto& [anchor, string] :
             {std::pair{1152, 107}, std::pair{1154, 108}, std::pair{1153, 109},
              std::pair{1155, 110}, std::pair{1156, 111}, std::pair{1157, 112},
              std::pair{1158, 113}}) {
            const QString tip = window_->Control(anchor)->toolTip();
            for (const QString& line : tip.split('\n')) {
                EXPECT_LE(metrics.horizontalAdvance(line), 159) << anchor;
            }
            const std::string_view expected = res::LoadString(string, res::LanguageFromFlag(flag));
            QString joined = tip;
            joined.replace('\n', flag == 1 ? " " : "");
            EXPECT_EQ(joined.toStdString(), std::string(expected)) << anchor;
        }
        window_.reset();
    }
}

TEST_F(MainWindowTest, TheLanguageSwitchWritesTheFileAndChangesOnlyTheStrip) {
    WriteConfig("CH");
    Start();
    ASSERT_EQ(window_->host().State().LanguageFlag, 0);
    const QImage chineseStrip = window_->strip().Slot(0);
    QTest::mouseClick(window_->Control(1166), Qt::LeftButton);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "Restart to take effect!!");
    EXPECT_EQ(shown_[0].caption, "Message");
    EXPECT_NE(testing::ReadFile(ConfigPath()).find("LANGUAGE=EN"), std::string::npos);
    EXPECT_EQ(Text(1001), QString::fromUtf8("打开")) << "the window keeps its language";

    // The strip shows the new language after the next resize.
    EXPECT_EQ(window_->strip().Slot(0), chineseStrip);
    window_->resize(window_->size() + QSize(40, 20));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->strip().Slot(0) != chineseStrip; }, 2000));
    const QImage english =
        res::LoadBitmap(res::kStripItemEnglish[0])
            .scaled(window_->strip().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(window_->strip().Slot(0), english);

    shown_.clear();
    QTest::mouseClick(window_->Control(1165), Qt::LeftButton);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "重启软件生效!!");
    EXPECT_EQ(shown_[0].caption, "提示");
}

TEST_F(MainWindowTest, TheLinkOpensOnlyStrictlyInside) {
    WriteConfig("EN");
    Start();
    const LayoutRect link = window_->LinkRect();
    ASSERT_GT(link.Width(), 2);
    const QPoint inside((link.left + link.right) / 2, (link.top + link.bottom) / 2);
    QTest::mouseMove(window_.get(), inside);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window_->cursor().shape() == Qt::PointingHandCursor; }, 500));
    QTest::mouseClick(window_.get(), Qt::LeftButton, {}, QPoint(link.left, inside.y()));
    EXPECT_TRUE(opened_.empty()) << "a click on the border opens nothing";
    QTest::mouseMove(window_.get(), QPoint(link.left, inside.y()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window_->cursor().shape() != Qt::PointingHandCursor; }, 500));
    QTest::mouseClick(window_.get(), Qt::LeftButton, {}, inside);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], QString(kWebAddress));
}

TEST_F(MainWindowTest, EscapeAndEnterDoNotEndTheProgram) {
    WriteConfig("EN");
    Start();
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QWidget* ports = window_->Control(1003);
    ports->setFocus();
    QTest::keyClick(ports, Qt::Key_Return);
    QTest::keyClick(window_.get(), Qt::Key_Enter);
    QTest::qWait(50);
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(MainWindowTest, TheModelTurnsOnlyWhileTheWindowIsActive) {
    WriteConfig("EN");
    Start();
    window_->activateWindow();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->view().TimerActive(); }, 2000));
    QWidget other;
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->view().TimerActive(); }, 2000));
    QApplication::setActiveWindow(window_.get());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->view().TimerActive(); }, 2000));
}

TEST_F(MainWindowTest, TheSkinDressesTheWindowAndFourControls) {
    WriteConfig("EN");
    SkinLayer skin;
    skin.Start(nullptr, "SCRIBBLE", 0, 0);
    skin.LoadSkinFile(ORVANTA_SKIN_FILE);
    ASSERT_TRUE(skin.HasSkin());
    Start(false, &skin);
    const std::optional<SkinFile> file = SkinFile::Load(ORVANTA_SKIN_FILE);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(window_->styleSheet().toStdString(), file->Section("ACC_68_DL"));
    EXPECT_EQ(window_->property("skinValue").toInt(), 3);
    EXPECT_EQ(window_->Control(1080)->styleSheet().toStdString(), file->Section("Button_Save"));
    EXPECT_EQ(window_->Control(1149)->styleSheet().toStdString(), file->Section("Edit_Rec"));
    EXPECT_EQ(window_->Control(1165)->styleSheet().toStdString(), file->Section("Radio_Get"));
    EXPECT_EQ(window_->Control(1166)->styleSheet().toStdString(), file->Section("Radio_Get"));
    EXPECT_TRUE(window_->Control(1001)->styleSheet().isEmpty());
    window_.reset();

    // Without a skin file the window keeps the plain look.
    SkinLayer plain;
    plain.Start(nullptr, "SCRIBBLE", 0, 0);
    plain.LoadSkinFile((dir_.path() / "config" / "missing.smf").c_str());
    EXPECT_FALSE(plain.HasSkin());
    Start(false, &plain);
    EXPECT_TRUE(window_->styleSheet().isEmpty());
    EXPECT_TRUE(window_->Control(1080)->styleSheet().isEmpty());
}

TEST_F(MainWindowTest, TheAboutBoxNamesTheProgram) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于 Orvanta"));
    bool found = false;
    for (const QWidget* widget : about.Controls().Widgets()) {
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            found = found || label->text() == QString::fromUtf8("Orvanta，V1.00 版");
        }
    }
    EXPECT_TRUE(found);
    auto* ok = about.Controls().As<QPushButton>(1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QString::fromUtf8("确定"));
    about.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(MainWindowTest, PortListDropDownSaysWhatEachPortIs) {
    SkinLayer skin;
    skin.Start(nullptr, "SCRIBBLE", 0, 0);
    skin.LoadSkinFile(ORVANTA_SKIN_FILE);
    ports_ = {"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00-port0"};
    for (const auto& [language, file] :
         {std::pair{"EN", "port-list-en.png"}, std::pair{"CH", "port-list-zh.png"}}) {
        WriteConfig(language);
        Start(false, &skin);
        auto* list = qobject_cast<QComboBox*>(window_->Control(main_id::kPortList));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 3);
        // The closed list and the host keep the paths; only the drop-down adds descriptions.
        EXPECT_EQ(list->currentText(), QStringLiteral("/dev/ttyACM0"));
        EXPECT_EQ(window_->ui().ListItemText(Dialog::Main, main_id::kPortList, 1), "/dev/ttyUSB0");
        const QStringList shown = {
            QStringLiteral("/dev/ttyACM0  STMicroelectronics Virtual COM Port"),
            QStringLiteral("/dev/ttyUSB0  FTDI FT232R USB UART (A50285BI)"),
            QStringLiteral("/dev/serial/by-id/usb-FTDI-if00-port0")};
        list->showPopup();
        QAbstractItemView* view = list->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        for (int row = 0; row < 3; ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            EXPECT_EQ(PortListDelegate::EntryText(index), shown[row]);
            // Whole entries, not cut short: the text and its margins fit.
            const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
            EXPECT_GE(view->visualRect(index).width(),
                      view->fontMetrics().horizontalAdvance(shown[row]) + 2 * margin);
        }
        QTest::qWait(200);
        // The closed list with its drop-down below it, as the screen shows them.
        const QRect area = QRect(list->mapToGlobal(QPoint(-40, -40)), list->size() + QSize(80, 40))
                               .united(view->window()->geometry().adjusted(-40, 0, 40, 40));
        SaveArtifact(list->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
                     file);
        list->hidePopup();
        window_.reset();
    }
}

TEST_F(MainWindowTest, ScreenshotsInBothLanguages) {
    for (const auto& [language, file] :
         {std::pair{"EN", "main-en.png"}, std::pair{"CH", "main-zh.png"}}) {
        WriteConfig(language);
        Start();
        QTest::qWait(400);
        SaveArtifact(*window_, file);
        window_.reset();
    }
}

} // namespace
} // namespace orvanta::app
