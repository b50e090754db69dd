// The main window in a real X window, without a device: start-up language, the controls of
// the template at their scaled places, rescaling, size limits, the page strip, the toolbar's
// tooltips, the help tips, the link, the language switch and the refused chart items.
#include "window/MainWindow.h"

#include "app/Application.h"
#include "chart/ChartPage.h"
#include "config/SkinFile.h"
#include "host/ControlIds.h"
#include "res/Artwork.h"
#include "res/StringTable.h"
#include "support/ProgramFolder.h"
#include "view3d/AttitudeView.h"
#include "window/AboutDialog.h"
#include "window/ChartToolBar.h"
#include "window/DataPage.h"
#include "window/PageStrip.h"
#include "window/PortListDelegate.h"
#include "window/SkinLayer.h"
#include "window/WidgetHostUi.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace orvanta::window {
namespace {

namespace fs = std::filesystem;

using testing::Shown;

// A program folder (bin/, config/ with the shipped skin and model, data/), and the window
// made as the application makes it, with no serial port to find.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(ORVANTA_SKIN_FILE, folder_.root() / "config" / "Int.smf");
        fs::copy_file(ORVANTA_MODEL_FILE, folder_.root() / "config" / "Mod.3DS");
        skin_.Start(nullptr, "SCRIBBLE", 0, 0);
        skin_.LoadSkinFile(config::PortableLayout(folder_.root()).skinFile.c_str());
    }
    void TearDown() override { window_.reset(); }

    fs::path ConfigPath() const { return folder_.config(); }
    void WriteConfig(const std::string& language) {
        testing::WriteFile(ConfigPath(), "[Config]\r\nLANGUAGE=" + language + "\r\n");
    }

    // With the shipped skin unless another is given.
    void Start(bool systemChinese = false, SkinLayer* skin = nullptr) {
        MainWindow::Options options =
            app::StartupOptions(config::PortableLayout(folder_.root()), systemChinese);
        options.skin = skin ? skin : &skin_;
        options.host.listPorts = [this](const std::string&) { return ports_; };
        options.describePort = [](const std::string& path) {
            return path == "/dev/ttyUSB0"   ? std::string("FTDI FT232R USB UART (A50285BI)")
                   : path == "/dev/ttyACM0" ? std::string("STMicroelectronics Virtual COM Port")
                                            : std::string();
        };
        options.openUrl = [this](const QUrl& url) { opened_.push_back(url.toString()); };
        window_ = std::make_unique<MainWindow>(std::move(options));
        window_->ui().SetMessageSink(
            [this](std::string_view caption, std::string_view text, host::MessageIcon) {
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

    testing::ProgramFolder folder_;
    SkinLayer skin_;
    std::unique_ptr<MainWindow> window_;
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
    // The file made during the last, English first run holds the language it showed.
    EXPECT_NE(testing::ReadFile(ConfigPath()).find("LANGUAGE=EN"), std::string::npos);
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

// Texts the program writes into controls besides their template texts: for each kind of
// value the widest it shows.
struct ProgramTexts {
    host::Dialog dialog;
    std::vector<int> ids;
    std::vector<std::string> texts;
};

std::vector<ProgramTexts> TextsTheProgramShows(res::Language language) {
    const auto string = [language](int id) { return std::string(res::LoadString(id, language)); };
    namespace sid = res::string_id;
    std::vector<ProgramTexts> texts = {
        {host::Dialog::Main, {1001}, {string(sid::kOpen), string(sid::kClose)}},
        {host::Dialog::Main, {1117}, {string(sid::kStart), string(sid::kStop)}},
        {host::Dialog::Main,
         {1046},
         {string(sid::kModeDefaultAnswer) + ":", string(sid::kModeSpecifiedAnswer) + ":",
          string(sid::kModeDefaultAuto) + ":"}},
        {host::Dialog::Main, {1003}, {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS14"}},
        {host::Dialog::Main, {1043}, {"UTC: 2026-12-09 / 18:10:31"}},
        {host::Dialog::Main, {1102, 1103}, {"-40.00℃", "125.00℃"}},
        {host::Dialog::Main, {1098}, {"999999.9s"}},
        {host::Dialog::Main, {1113}, {"10.000g"}},
        {host::Dialog::Main, {1104}, {"359.999°"}},
        {host::Dialog::Main, {1095, 1094}, {"-179.9999999°"}},
        {host::Dialog::Main, {1096}, {"-9999.999m"}},
        {host::Dialog::Main, {1108}, {"65535cm"}},
        {host::Dialog::Main, {1110}, {"65535Pa"}},
        {host::Dialog::Main, {1107}, {"200HZ"}},
        {host::Dialog::Main, {1106}, {"99999"}},
        {host::Dialog::DataPage, {1056, 1052, 1054}, {"-179.999°", "-3.142rad"}},
        {host::Dialog::DataPage, {1016, 1015, 1012}, {"-999.999°/s", "-17.453rad/s"}},
        {host::Dialog::DataPage, {1059, 1061, 1063}, {"-16.000g", "-156.906m/s2"}},
        {host::Dialog::DataPage, {1071, 1080, 1082}, {"-999.999μT"}},
        {host::Dialog::DataPage, {1065, 1067, 1069}, {"-999.999m/s"}},
        {host::Dialog::DataPage, {1138}, {"99"}},
        {host::Dialog::DataPage, {1124}, {"604799.9s"}},
        {host::Dialog::DataPage, {1125, 1126, 1127, 1128, 1131}, {"Invalid", "FRTK"}},
        {host::Dialog::DataPage,
         {1129},
         {"Single point", "Differential", "Manual input", "RTK floating", "WAAS (SBAS)"}},
    };
    // The GPS captions each model sets.
    if (language == res::Language::English) {
        texts.push_back({host::Dialog::DataPage, {1110}, {"WKN :", "VEL.:"}});
        texts.push_back({host::Dialog::DataPage, {1105}, {"Ext fix info   :", "Position      :"}});
        texts.push_back({host::Dialog::DataPage, {1109}, {"Gps fix info   :", "RTK           :"}});
    } else {
        texts.push_back({host::Dialog::DataPage, {1110}, {"周数 :", "速度 :"}});
        texts.push_back({host::Dialog::DataPage, {1105}, {"扩展定位      :", "位置       :"}});
        texts.push_back({host::Dialog::DataPage, {1109}, {"Gps定位       :", "RTK        :"}});
    }
    return texts;
}

// Where a control draws a text, as its style lays it out.
QRect TextRoom(QWidget& widget, const QString& text) {
    QStyle* style = widget.style();
    if (auto* list = qobject_cast<QComboBox*>(&widget)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        option.frame = list->hasFrame();
        option.currentText = text;
        option.subControls = QStyle::SC_All;
        // The label is drawn one pixel in from both sides of the edit field.
        return style
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
            .adjusted(1, 0, -1, 0);
    }
    if (auto* group = qobject_cast<QGroupBox*>(&widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = text;
        option.textAlignment = group->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.lineWidth = 1;
        return style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                     group) &
               group->rect();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QCheckBox*>(button)) {
            contents = QStyle::SE_CheckBoxContents;
        } else if (qobject_cast<QRadioButton*>(button)) {
            contents = QStyle::SE_RadioButtonContents;
        } else if (const auto* push = qobject_cast<QPushButton*>(button); push->autoDefault()) {
            option.features |= QStyleOptionButton::AutoDefaultButton;
        }
        return style->subElementRect(contents, &option, button);
    }
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        return label->contentsRect();
    }
    return {};
}

// Every text a control of dialogs 101 and 133 shows, in its own font, fits the room its style
// gives it: with the shipped skin and without a skin, at the start size and at twice that
// size, in both languages.
TEST_F(MainWindowTest, EveryTextFitsItsControl) {
    SkinLayer plain;
    plain.Start(nullptr, "SCRIBBLE", 0, 0);
    for (const auto& run : {std::pair{"EN", &skin_}, std::pair{"CH", &skin_},
                            std::pair{"EN", &plain}, std::pair{"CH", &plain}}) {
        // Plain names: the checks below capture them, which clang 14 refuses for bindings.
        const char* const language = run.first;
        SkinLayer* const skin = run.second;
        SCOPED_TRACE(skin == &plain ? "without a skin" : "with the shipped skin");
        WriteConfig(language);
        Start(false, skin);
        const res::Language lang =
            std::string(language) == "EN" ? res::Language::English : res::Language::Chinese;
        std::map<std::pair<host::Dialog, int>, std::vector<QString>> extra;
        for (const ProgramTexts& shown : TextsTheProgramShows(lang)) {
            for (int id : shown.ids) {
                for (const std::string& text : shown.texts) {
                    extra[{shown.dialog, id}].push_back(QString::fromStdString(text));
                }
            }
        }
        const auto check = [&](host::Dialog dialog, const res::DialogTemplate& tmpl,
                               const std::function<QWidget*(int)>& find, const char* size) {
            for (const res::ControlTemplate& control : tmpl.controls) {
                if (control.style & res::control_style::kHidden) {
                    continue;
                }
                QWidget* widget = control.id > 0 ? find(control.id) : nullptr;
                if (control.id < 0) {
                    // Unnamed group boxes: found by their caption.
                    for (QGroupBox* box : window_->page().findChildren<QGroupBox*>()) {
                        if (box->title() ==
                            QString::fromUtf8(control.text.data(), control.text.size())) {
                            widget = box;
                        }
                    }
                }
                ASSERT_NE(widget, nullptr) << control.id;
                widget->ensurePolished();
                std::vector<QString> texts = extra[{dialog, control.id}];
                texts.push_back(QString::fromUtf8(control.text.data(), control.text.size()));
                if (auto* list = qobject_cast<QComboBox*>(widget); list && !list->isEditable()) {
                    for (int i = 0; i < list->count(); ++i) {
                        texts.push_back(list->itemText(i));
                    }
                }
                const QFontMetrics metrics(widget->font());
                const auto* label = qobject_cast<QLabel*>(widget);
                const bool rightAligned = label && (label->alignment() & Qt::AlignRight);
                for (QString text : texts) {
                    // Trailing spaces of a text drawn from the left need no room.
                    while (!rightAligned && text.endsWith(' ')) {
                        text.chop(1);
                    }
                    if (text.isEmpty()) {
                        continue;
                    }
                    const QSize need = metrics.size(Qt::TextSingleLine, text);
                    const QRect room = TextRoom(*widget, text);
                    EXPECT_TRUE(need.width() <= room.width() && need.height() <= room.height())
                        << "control " << control.id << " of dialog " << static_cast<int>(dialog)
                        << " (" << language << ", " << size << "): \"" << text.toStdString()
                        << "\" needs " << need.width() << "x" << need.height() << ", room "
                        << room.width() << "x" << room.height();
                }
            }
        };
        const auto checkBoth = [&](const char* size) {
            check(
                host::Dialog::Main, window_->Controls().Template(),
                [this](int id) { return window_->Control(id); }, size);
            check(
                host::Dialog::DataPage, *res::FindDialog(res::dialog_id::kDataPage, lang),
                [this](int id) { return window_->page().Control(id); }, size);
        };
        checkBoth("start size");
        const QSize start = window_->size();
        window_->resize(start * 2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == start * 2; }));
        checkBoth("twice the size");
        window_.reset();
    }
}

// Each caption stays level with the control it names, at the start size and when the window
// grows.
TEST_F(MainWindowTest, CaptionsStayLevelWithTheirControls) {
    const std::pair<int, int> named[] = {
        {1035, 1003}, {1036, 1004}, {1037, 1017}, {1041, 1023}, {1044, 1024}, {1045, 1020},
        {1040, 1022}, {1140, 1021}, {1176, 1026}, {1050, 1133}, {1046, 1107}, {1042, 1106},
        {1099, 1102}, {1101, 1103}, {1097, 1098}, {1160, 1113}, {1100, 1104}, {1092, 1095},
        {1091, 1094}, {1093, 1096}, {1105, 1108}, {1109, 1110}, {1159, 1122},
    };
    for (const char* language : {"EN", "CH"}) {
        WriteConfig(language);
        Start();
        const QSize start = window_->size();
        for (const QSize size : {start, start * 2, start * 3 / 2}) {
            window_->resize(size);
            ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == size; }));
            for (const auto& [caption, control] : named) {
                const QRect a = window_->Control(caption)->geometry();
                const QRect b = window_->Control(control)->geometry();
                EXPECT_LE(std::abs((a.top() + a.bottom()) - (b.top() + b.bottom())), 2)
                    << caption << " and " << control << " (" << language << ") at " << size.width()
                    << "x" << size.height();
            }
        }
        window_.reset();
    }
}

// Every drop-down list of the window and the data page: a wheel notch changes nothing while
// the list has no keyboard focus, and turns the list as usual once it has.
TEST_F(MainWindowTest, DropDownListsTurnWithTheWheelOnlyWhenFocused) {
    WriteConfig("EN");
    Start();
    window_->host().OnChartItemChosen(5);
    QApplication::setActiveWindow(window_.get());
    const QList<QComboBox*> lists = window_->findChildren<QComboBox*>();
    ASSERT_GE(lists.size(), 9u);
    for (QComboBox* list : lists) {
        if (!list->isVisible() || list->count() < 2) {
            continue;
        }
        const int id = list->property("controlId").toInt();
        EXPECT_FALSE((list->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus) << id;
        list->setCurrentIndex(0);
        QSignalSpy chosen(list, &QComboBox::activated);
        const auto notch = [list] {
            const QPointF centre = QRectF(list->rect()).center();
            QWheelEvent wheel(centre, list->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(list, &wheel);
        };
        window_->Control(1001)->setFocus();
        notch();
        EXPECT_EQ(list->currentIndex(), 0) << id;
        EXPECT_EQ(chosen.count(), 0) << id;
        list->setFocus();
        ASSERT_TRUE(list->hasFocus()) << id;
        notch();
        EXPECT_EQ(list->currentIndex(), 1) << id;
        EXPECT_EQ(chosen.count(), 1) << id;
    }
}

// An open drop-down list is at least as wide as its longest entry.
TEST_F(MainWindowTest, DropDownListsOpenAsWideAsTheirLongestEntry) {
    for (const char* language : {"EN", "CH"}) {
        WriteConfig(language);
        Start();
        window_->ui().InsertListItem(
            host::Dialog::Main, host::main_id::kPortList, 0,
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        for (QComboBox* list : window_->findChildren<QComboBox*>()) {
            if (!list->isVisible() || list->count() == 0) {
                continue;
            }
            list->showPopup();
            QAbstractItemView* view = list->view();
            ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }));
            EXPECT_EQ(view->font(), list->font());
            const QFontMetrics metrics(view->font());
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_GE(view->viewport()->width(),
                          metrics.horizontalAdvance(list->itemText(i)) + 8)
                    << list->property("controlId").toInt() << " " << language << " "
                    << list->itemText(i).toStdString();
            }
            list->hidePopup();
        }
        window_.reset();
    }
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
    // Without a window manager nothing holds the native window to the limits: the window
    // returns to them and its controls never see a smaller or larger layout.
    struct ResizeLog : QObject {
        std::vector<QSize> sizes;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Resize) {
                sizes.push_back(static_cast<QResizeEvent*>(event)->size());
            }
            return false;
        }
    } log;
    window_->installEventFilter(&log);
    const QRect open = window_->Control(1001)->geometry();
    for (const QSize beyond : {start / 2, window_->maximumSize() + QSize(200, 200)}) {
        const QSize allowed = beyond.expandedTo(start).boundedTo(window_->maximumSize());
        window_->windowHandle()->resize(beyond);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return std::count(log.sizes.begin(), log.sizes.end(), beyond) > 0 &&
                   window_->size() == allowed && window_->windowHandle()->size() == allowed;
        }));
        window_->resize(start);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == start; }));
        EXPECT_EQ(window_->Control(1001)->geometry(), open);
    }
}

TEST_F(MainWindowTest, ThePageStripFindsTheSegmentUnderTheMouse) {
    WriteConfig("EN");
    Start();
    PageStrip& strip = window_->strip();
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
    PageStrip& strip = window_->strip();
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

// A model change that switches the display to the Euler chart repaints the strip at once.
TEST_F(MainWindowTest, TheStripRepaintsWhenTheChartItemChanges) {
    WriteConfig("EN");
    Start();
    PageStrip& strip = window_->strip();
    window_->host().OnChartItemChosen(5);
    QTest::qWait(50);
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    strip.installEventFilter(&counter);
    auto* models = qobject_cast<QComboBox*>(window_->Control(1023));
    models->setCurrentIndex(1);
    Q_EMIT models->activated(1);
    ASSERT_EQ(window_->host().State().ChartItem, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 1000));
    const QImage shown = strip.Composed();
    const int y = strip.height() / 2;
    EXPECT_LT(qGray(shown.pixel(3, y)), qGray(shown.pixel(5 * strip.width() / 6 + 3, y)));
}

// The strip's pictures are drawn at the strip's size, with captions tall enough to read: at
// least 8 pixels of ink at the start size, in both languages.
TEST_F(MainWindowTest, TheStripCaptionsAreDrawnAtTheShownSize) {
    for (const auto& [language, ids] :
         {std::pair{"EN", &res::kStripItemEnglish}, std::pair{"CH", &res::kStripItemChinese}}) {
        WriteConfig(language);
        Start();
        PageStrip& strip = window_->strip();
        const QImage picture = strip.Slot(5);
        EXPECT_EQ(picture, res::LoadStripPicture((*ids)[5], strip.size()));
        // The ink of the first segment's caption, inside the rim.
        const res::Columns columns = res::StripSegmentColumns(0, picture.width());
        int top = picture.height();
        int bottom = -1;
        for (int row = 1; row < picture.height() - 1; ++row) {
            for (int x = columns.first + 3; x < columns.end - 3; ++x) {
                if (qGray(picture.pixel(x, row)) < 128) {
                    top = std::min(top, row);
                    bottom = std::max(bottom, row);
                }
            }
        }
        EXPECT_GE(bottom - top + 1, 8) << language;
        window_.reset();
    }
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
    ChartToolBar& toolbar = window_->toolbar();
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
    EXPECT_EQ(window_->strip().Slot(0),
              res::LoadStripPicture(res::kStripItemEnglish[0], window_->strip().size()));

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

// Redrawing the 3D view or the chart repaints that control alone: the window under it and
// the other controls are not painted again.
TEST_F(MainWindowTest, RedrawsOfTheViewAndTheChartRepaintOnlyThemselves) {
    WriteConfig("EN");
    Start();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->view().TimerActive(); }, 2000));
    QTest::qWait(300); // the repaint of the activation
    struct PaintLog : QObject {
        std::map<QObject*, int> paints;
        bool eventFilter(QObject* object, QEvent* event) override {
            paints[object] += event->type() == QEvent::Paint;
            return false;
        }
    } log;
    QWidget& chart = window_->chart().Chart();
    const QList<QWidget*> all = window_->findChildren<QWidget*>() << window_.get();
    for (QWidget* widget : all) {
        widget->installEventFilter(&log);
    }
    window_->chart().Chart().Redraw();
    QTest::qWait(4 * view3d::AttitudeView::kRedrawPeriodMs);
    for (QWidget* widget : all) {
        widget->removeEventFilter(&log);
    }
    EXPECT_GE(log.paints[&window_->view()], 2);
    EXPECT_GE(log.paints[&chart], 1);
    for (const auto& [object, count] : log.paints) {
        if (object != &window_->view() && object != &chart && object != window_->Control(1145)) {
            EXPECT_EQ(count, 0) << object->objectName().toStdString() << " "
                                << object->metaObject()->className();
        }
    }
}

TEST_F(MainWindowTest, TheSkinDressesTheWindowAndFourControls) {
    WriteConfig("EN");
    ASSERT_TRUE(skin_.HasSkin());
    Start();
    const std::optional<config::SkinFile> file = config::SkinFile::Load(ORVANTA_SKIN_FILE);
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
    plain.LoadSkinFile((folder_.root() / "config" / "missing.smf").c_str());
    EXPECT_FALSE(plain.HasSkin());
    Start(false, &plain);
    EXPECT_TRUE(window_->styleSheet().isEmpty());
    EXPECT_TRUE(window_->Control(1080)->styleSheet().isEmpty());
}

// The skin colours and frames; faces and sizes stay those of the templates, and the window
// opens at 686 x 345 dialog units of its template font, with and without the skin.
TEST_F(MainWindowTest, EveryControlKeepsItsTemplateFont) {
    SkinLayer plain;
    plain.Start(nullptr, "SCRIBBLE", 0, 0);
    for (const auto& [language, family] :
         {std::pair{"EN", "Liberation Serif"}, std::pair{"CH", "Liberation Sans"}}) {
        for (SkinLayer* skin : {&skin_, &plain}) {
            WriteConfig(language);
            Start(false, skin);
            const res::DialogTemplate& dialog = window_->Controls().Template();
            const QFont font = DialogFont(dialog.font);
            EXPECT_EQ(QFontInfo(font).family(), family);
            EXPECT_EQ(window_->size(), DialogControls::TemplateSizeFor(dialog, font)) << language;
            for (const QWidget* widget : window_->Controls().Widgets()) {
                EXPECT_EQ(widget->font(), font) << window_->Controls().IdOf(widget) << language;
            }
            const QFont pageFont = window_->page().font();
            EXPECT_EQ(pageFont.families(), font.families());
            for (const QWidget* widget : window_->page().findChildren<QWidget*>()) {
                if (widget->parentWidget() == &window_->page()) {
                    EXPECT_EQ(widget->font(), pageFont) << window_->page().ControlIdOf(widget);
                }
            }
            window_.reset();
        }
    }
}

// A device that acknowledges a repeated command twice gets one status box: a box with the
// same caption and text is not opened again while it is open. Boxes do not hold up the
// handler that shows them.
TEST_F(MainWindowTest, AStatusBoxStillOpenIsNotOpenedAgain) {
    WriteConfig("EN");
    Start();
    window_->ui().SetMessageSink({});
    const auto open = [this](const QString& text) {
        QList<QMessageBox*> found;
        for (QMessageBox* box : window_->findChildren<QMessageBox*>()) {
            if (box->isVisible() && box->text() == text) {
                found.push_back(box);
            }
        }
        return found;
    };
    const QString success = "Successful Operation!!";
    window_->host().Commands().ShowDeviceStatus(0);
    window_->host().Commands().ShowDeviceStatus(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !open(success).isEmpty(); }));
    QTest::qWait(50);
    EXPECT_EQ(open(success).size(), 1);
    EXPECT_EQ(open(success).front()->windowTitle(), "Message");
    window_->host().Commands().ShowDeviceStatus(9);
    EXPECT_EQ(open("Param error!!").size(), 1) << "another text has a box of its own";

    open(success).front()->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return open(success).isEmpty(); }));
    window_->host().Commands().ShowDeviceStatus(0);
    EXPECT_EQ(open(success).size(), 1) << "once closed, the box opens again";
}

TEST_F(MainWindowTest, TheAboutBoxNamesTheProgramAndTheVersionItReports) {
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于 Orvanta"));
    bool found = false;
    for (const QWidget* widget : about.Controls().Widgets()) {
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            found = found || label->text() == QString::fromUtf8("Orvanta，V" ORVANTA_VERSION " 版");
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
    ports_ = {"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00-port0"};
    for (const auto& [language, file] :
         {std::pair{"EN", "port-list-en.png"}, std::pair{"CH", "port-list-zh.png"}}) {
        WriteConfig(language);
        Start();
        auto* list = qobject_cast<QComboBox*>(window_->Control(host::main_id::kPortList));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 3);
        // The closed list and the host keep the paths; only the drop-down adds descriptions.
        EXPECT_EQ(list->currentText(), QStringLiteral("/dev/ttyACM0"));
        EXPECT_EQ(window_->ui().ListItemText(host::Dialog::Main, host::main_id::kPortList, 1),
                  "/dev/ttyUSB0");
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

// The idle window as shipped, in both languages, at the start size and at twice that size.
TEST_F(MainWindowTest, ScreenshotsInBothLanguages) {
    for (const auto& [language, name] : {std::pair{"EN", "en"}, std::pair{"CH", "zh"}}) {
        WriteConfig(language);
        Start();
        QTest::qWait(400);
        SaveArtifact(*window_, std::string("idle-") + name + ".png");
        const QSize start = window_->size();
        window_->resize(start * 2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == start * 2; }));
        QTest::qWait(400);
        SaveArtifact(*window_, std::string("idle-") + name + "-2x.png");
        window_.reset();
    }
}

} // namespace
} // namespace orvanta::window
