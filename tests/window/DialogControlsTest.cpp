// The widget builder: widget kinds and rectangles from a template, radio groups, look-up
// by identifier, and the main window's templates built in both languages.
#include "window/DialogControls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace orvanta::window {
namespace {

using res::ControlKind;
using namespace res::control_style;

constexpr res::ControlTemplate kControls[] = {
    {-1, ControlKind::GroupBox, 0, 0, 100, 50, kNone, "Box"},
    {10, ControlKind::Label, 4, 10, 40, 9, kRightAlign, "Right:"},
    {11, ControlKind::Label, 50, 10, 8, 8, kNotify, ""},
    {12, ControlKind::RadioButton, 4, 20, 30, 10, kGroupStart, "a1"},
    {13, ControlKind::RadioButton, 40, 20, 30, 10, kNone, "a2"},
    {14, ControlKind::RadioButton, 4, 32, 30, 10, kGroupStart, "b1"},
    {15, ControlKind::RadioButton, 40, 32, 30, 10, kNone, "b2"},
    {16, ControlKind::CheckBox, 110, 0, 40, 13, kNone, "Check"},
    {17, ControlKind::PushButton, 110, 20, 30, 11, kNone, "Push"},
    {18, ControlKind::PushButton, 150, 20, 30, 11, kDefault, "OK"},
    {19, ControlKind::DropList, 110, 40, 40, 100, kNone, ""},
    {20, ControlKind::DropDown, 160, 40, 40, 100, kNone, ""},
    {21, ControlKind::Edit, 110, 60, 60, 13, kNone, "path"},
    {22, ControlKind::MultiLineEdit, 110, 80, 60, 40, kVScroll | kAutoVScroll | kUpperCase, ""},
    {23, ControlKind::Frame, 0, 60, 100, 40, kNone, ""},
    {24, ControlKind::BlackFrame, 0, 105, 50, 20, kNone, ""},
    {25, ControlKind::OwnerDrawButton, 60, 105, 40, 8, kNone, ""},
    {26, ControlKind::Label, 60, 120, 40, 9, kHidden, "Hidden"},
};
constexpr res::DialogTemplate kDialog{
    500, res::DialogKind::Child, 220, 130, {"Times New Roman", 10}, "", kControls};

TEST(DialogControls, MakesEachKindAtItsPixelRectangle) {
    QWidget parent;
    DialogControls controls(parent, kDialog);
    const res::DialogBaseUnits base = controls.BaseUnits();
    EXPECT_EQ(base.x, MeasureBaseUnits(DialogFont(kDialog.font)).x);
    EXPECT_GT(base.x, 0);
    EXPECT_GT(base.y, 0);
    EXPECT_EQ(parent.size(), controls.TemplateSize());
    EXPECT_EQ(controls.TemplateSize(), QSize((220 * base.x + 2) / 4, (130 * base.y + 4) / 8));

    struct Case {
        int id;
        const char* className;
    };
    for (const Case c : {Case{10, "QLabel"}, Case{12, "QRadioButton"}, Case{16, "QCheckBox"},
                         Case{17, "QPushButton"}, Case{19, "QComboBox"}, Case{21, "QLineEdit"},
                         Case{22, "QPlainTextEdit"}, Case{23, "QWidget"}, Case{24, "QFrame"},
                         Case{25, "QPushButton"}}) {
        QWidget* widget = controls.Control(c.id);
        ASSERT_NE(widget, nullptr) << c.id;
        EXPECT_TRUE(widget->inherits(c.className))
            << c.id << " is " << widget->metaObject()->className();
        EXPECT_EQ(widget->parentWidget(), &parent);
        EXPECT_EQ(widget->objectName(), QString("c%1").arg(c.id));
        EXPECT_EQ(widget->property("controlId").toInt(), c.id);
    }
    EXPECT_EQ(controls.Widgets().size(), std::size(kControls));
    EXPECT_NE(qobject_cast<QGroupBox*>(controls.Widgets().front()), nullptr);

    for (const res::ControlTemplate& c : kControls) {
        if (c.id < 0) {
            continue;
        }
        const bool dropDown = c.kind == ControlKind::DropList || c.kind == ControlKind::DropDown;
        const QRect expected(DialogXToPixels(c.x, base), DialogYToPixels(c.y, base),
                             DialogXToPixels(c.width, base),
                             DialogYToPixels(dropDown ? 12 : c.height, base));
        EXPECT_EQ(controls.Control(c.id)->geometry(), expected) << c.id;
        EXPECT_EQ(controls.ToPixels(c.x, c.y, c.width, dropDown ? 12 : c.height), expected);
    }
}

TEST(DialogControls, StylesBecomeWidgetSettings) {
    QWidget parent;
    DialogControls controls(parent, kDialog);
    EXPECT_TRUE(controls.As<QLabel>(10)->alignment() & Qt::AlignRight);
    EXPECT_EQ(controls.As<QLabel>(10)->textFormat(), Qt::PlainText);
    // Plain statics let the mouse through; a notifying one takes it.
    EXPECT_TRUE(controls.Control(10)->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(controls.Control(11)->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(controls.Control(23)->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(controls.Widgets().front()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_FALSE(controls.Control(17)->testAttribute(Qt::WA_TransparentForMouseEvents));

    EXPECT_FALSE(controls.As<QPushButton>(17)->autoDefault());
    EXPECT_FALSE(controls.As<QPushButton>(17)->isDefault());
    EXPECT_TRUE(controls.As<QPushButton>(18)->isDefault());
    EXPECT_FALSE(controls.As<QComboBox>(19)->isEditable());
    EXPECT_TRUE(controls.As<QComboBox>(20)->isEditable());
    EXPECT_EQ(controls.As<QLineEdit>(21)->text(), "path");
    EXPECT_EQ(controls.As<QPlainTextEdit>(22)->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    parent.show();
    EXPECT_FALSE(controls.Control(26)->isVisible());
    EXPECT_TRUE(controls.Control(10)->isVisible());
}

TEST(DialogControls, RadioGroupsAreExclusiveWithinAndIndependentAcross) {
    QWidget parent;
    DialogControls controls(parent, kDialog);
    auto* a1 = controls.As<QRadioButton>(12);
    auto* a2 = controls.As<QRadioButton>(13);
    auto* b1 = controls.As<QRadioButton>(14);
    auto* b2 = controls.As<QRadioButton>(15);
    ASSERT_TRUE(a1 && a2 && b1 && b2);
    ASSERT_NE(a1->group(), nullptr);
    EXPECT_EQ(a1->group(), a2->group());
    EXPECT_EQ(b1->group(), b2->group());
    EXPECT_NE(a1->group(), b1->group());

    a1->click();
    b2->click();
    a2->click();
    EXPECT_FALSE(a1->isChecked());
    EXPECT_TRUE(a2->isChecked());
    EXPECT_TRUE(b2->isChecked());
    EXPECT_FALSE(b1->isChecked());
    a2->click(); // clicking the checked one keeps it
    EXPECT_TRUE(a2->isChecked());
}

TEST(DialogControls, FindsWidgetsByIdentifierOnly) {
    QWidget parent;
    DialogControls controls(parent, kDialog);
    EXPECT_EQ(controls.Control(-1), nullptr);
    EXPECT_EQ(controls.Control(0), nullptr);
    EXPECT_EQ(controls.Control(999), nullptr);
    EXPECT_EQ(controls.As<QCheckBox>(17), nullptr); // a push button is no check box
    EXPECT_EQ(controls.IdOf(controls.Control(21)), 21);
    EXPECT_EQ(controls.IdOf(controls.Widgets().front()), 0);
    EXPECT_EQ(controls.IdOf(nullptr), 0);
    EXPECT_EQ(controls.IdOf(&parent), 0);
    // A widget of another dialog that carries the same identifier is not ours.
    QWidget other;
    DialogControls otherControls(other, kDialog);
    EXPECT_EQ(controls.IdOf(otherControls.Control(21)), 0);
}

TEST(DialogControls, FactoryMakesItsControlsAndTheBuilderPlacesThem) {
    QWidget parent;
    QWidget* made = nullptr;
    DialogControls controls(parent, kDialog,
                            [&](const res::ControlTemplate& c, QWidget& p) -> QWidget* {
                                if (c.kind != ControlKind::OwnerDrawButton) {
                                    return nullptr;
                                }
                                made = new QLabel("strip", &p);
                                return made;
                            });
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(controls.Control(25), made);
    EXPECT_EQ(made->geometry(), controls.ToPixels(60, 105, 40, 8));
    EXPECT_EQ(made->objectName(), "c25");
    EXPECT_NE(controls.As<QPushButton>(17), nullptr);
}

TEST(DialogControls, UpperCaseEditRaisesTypedText) {
    QWidget parent;
    DialogControls controls(parent, kDialog);
    auto* edit = controls.As<QPlainTextEdit>(22);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(edit, &press);
    EXPECT_EQ(edit->toPlainText(), "A");
}

TEST(DialogControls, AboutBoxOkIsTheDefaultButton) {
    QWidget box;
    DialogControls controls(box, *res::FindDialog(res::dialog_id::kAbout, res::Language::English));
    EXPECT_EQ(box.windowTitle(), "关于 Orvanta");
    ASSERT_NE(controls.As<QPushButton>(1), nullptr);
    EXPECT_TRUE(controls.As<QPushButton>(1)->isDefault());
    EXPECT_EQ(controls.As<QPushButton>(1)->text(), "确定");
}

TEST(DialogControls, MainWindowBuildsInBothLanguages) {
    for (res::Language language : {res::Language::English, res::Language::Chinese}) {
        const res::DialogTemplate* dialog = res::FindDialog(res::dialog_id::kMain, language);
        ASSERT_NE(dialog, nullptr);
        QWidget window;
        DialogControls controls(window, *dialog);
        EXPECT_EQ(controls.Widgets().size(), 90u);
        EXPECT_EQ(window.windowTitle(), "Orvanta V1.5");
        for (const res::ControlTemplate& c : dialog->controls) {
            EXPECT_NE(controls.Control(c.id), nullptr) << c.id;
        }
        EXPECT_NE(controls.As<QRadioButton>(1165)->group(),
                  controls.As<QRadioButton>(1133)->group());
        EXPECT_EQ(controls.As<QRadioButton>(1133)->group()->buttons().size(), 2);
        EXPECT_EQ(controls.As<QRadioButton>(1135)->group()->buttons().size(), 2);
        EXPECT_TRUE(controls.As<QComboBox>(1026)->isEditable());
        EXPECT_EQ(controls.Control(1003)->height(), controls.ToPixels(0, 0, 0, 12).height());
        EXPECT_NE(qobject_cast<QFrame*>(controls.Control(1145)), nullptr);
    }
}

} // namespace
} // namespace orvanta::window
