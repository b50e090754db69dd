#include "window/DialogControls.h"

#include "window/QtText.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QWheelEvent>
#include <algorithm>

namespace orvanta::window {

namespace {

using res::ControlKind;
namespace style = res::control_style;

// A multi-line edit box with the upper-case style: typed and pasted text becomes upper case.
class UpperCaseTextEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString upper = event->text().toUpper();
        if (upper != event->text()) {
            QKeyEvent raised(event->type(), event->key(), event->modifiers(), upper,
                             event->isAutoRepeat(), static_cast<ushort>(event->count()));
            QPlainTextEdit::keyPressEvent(&raised);
            event->setAccepted(raised.isAccepted());
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (source && source->hasText()) {
            insertPlainText(source->text().toUpper());
        }
    }
};

// A drop-down list turns with the wheel only while it has the keyboard focus: scrolling
// over the window must not change the model, the output mode or the port on the way.
class DropDownList : public QComboBox {
public:
    explicit DropDownList(QWidget* parent) : QComboBox(parent) {
        // The wheel does not give it the focus either.
        setFocusPolicy(Qt::StrongFocus);
    }

    void showPopup() override {
        // The list is a window of its own, which a style sheet leaves in the application's
        // font; the popup is sized for the list's own.
        view()->setFont(font());
        QComboBox::showPopup();
    }

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (!hasFocus()) {
            event->ignore();
            return;
        }
        QComboBox::wheelEvent(event);
    }
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.setPen(palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        // An entry too long for the closed list (a path under /dev/serial/by-id) keeps both
        // its ends; the open list shows it whole.
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                    QStyle::SC_ComboBoxEditField, this);
        option.currentText =
            fontMetrics().elidedText(option.currentText, Qt::ElideMiddle, field.width() - 2);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

QWidget* MakeLabel(const res::ControlTemplate& c, QWidget& parent) {
    auto* label = new QLabel(Utf8(c.text), &parent);
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (c.style & style::kRightAlign) {
        horizontal = Qt::AlignRight;
    } else if (c.style & style::kCentre) {
        horizontal = Qt::AlignHCenter;
    }
    label->setAlignment(horizontal | Qt::AlignVCenter);
    return label;
}

QWidget* MakeButton(const res::ControlTemplate& c, QWidget& parent) {
    auto* button = new QPushButton(Utf8(c.text), &parent);
    // Only the template's default button may take Enter.
    const bool isDefault = (c.style & style::kDefault) != 0;
    button->setAutoDefault(isDefault);
    button->setDefault(isDefault);
    return button;
}

QWidget* MakeMultiLineEdit(const res::ControlTemplate& c, QWidget& parent) {
    QPlainTextEdit* edit = (c.style & style::kUpperCase) ? new UpperCaseTextEdit(&parent)
                                                         : new QPlainTextEdit(&parent);
    edit->setPlainText(Utf8(c.text));
    edit->setVerticalScrollBarPolicy((c.style & style::kVScroll) ? Qt::ScrollBarAsNeeded
                                                                 : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return edit;
}

QWidget* MakeBlackFrame(QWidget& parent) {
    auto* frame = new QFrame(&parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(palette);
    return frame;
}

bool IsDropDown(ControlKind kind) {
    return kind == ControlKind::DropList || kind == ControlKind::DropDown;
}

// Statics let mouse events through to the window under them unless they notify.
bool PassesMouseThrough(const res::ControlTemplate& c) {
    switch (c.kind) {
    case ControlKind::Label:
    case ControlKind::GroupBox:
    case ControlKind::Frame:
    case ControlKind::BlackFrame:
        return (c.style & style::kNotify) == 0;
    default:
        return false;
    }
}

} // namespace

QFont DialogFont(const res::FontSpec& spec) {
    const QString family = Utf8(spec.family);
    QStringList families{family};
    if (family == "Times New Roman") {
        families << "Liberation Serif";
    } else if (family == "MS Shell Dlg" || family == "Microsoft Sans Serif") {
        families << "Liberation Sans";
    } else if (std::any_of(family.begin(), family.end(),
                           [](QChar ch) { return ch.unicode() >= 0x2E80; })) {
        // WenQuanYi's own Latin letters are fine, but its "℃" is an empty glyph: Latin text
        // and the signs come from fonts that draw them, Chinese from WenQuanYi.
        families << "Liberation Sans"
                 << "DejaVu Sans"
                 << "WenQuanYi Micro Hei";
    }
    QFont font;
    font.setFamilies(families);
    font.setPointSize(spec.points);
    return font;
}

res::DialogBaseUnits MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int advance =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // The average of the 52 letters, rounded to nearest.
    return {(advance / 26 + 1) / 2, metrics.height()};
}

QSize DialogControls::TemplateSizeFor(const res::DialogTemplate& dialog, const QFont& font) {
    const res::DialogBaseUnits base = MeasureBaseUnits(font);
    return QSize(res::DialogXToPixels(dialog.width, base),
                 res::DialogYToPixels(dialog.height, base));
}

QFont DialogControls::FittingFont(const res::DialogTemplate& dialog, QSize room) {
    QFont font = DialogFont(dialog.font);
    if (room.isEmpty()) {
        return font;
    }
    for (int points = dialog.font.points; points > 6; --points) {
        font.setPointSize(points);
        const QSize size = TemplateSizeFor(dialog, font);
        if (size.width() <= room.width() && size.height() <= room.height()) {
            return font;
        }
    }
    font.setPointSize(std::min(6, dialog.font.points));
    return font;
}

DialogControls::DialogControls(QWidget& parent, const res::DialogTemplate& dialog, Factory factory,
                               const std::optional<QFont>& givenFont)
    : m_template(dialog) {
    const QFont font = givenFont ? *givenFont : DialogFont(dialog.font);
    parent.setFont(font);
    if (!dialog.caption.empty()) {
        parent.setWindowTitle(Utf8(dialog.caption));
    }
    m_base = MeasureBaseUnits(font);
    m_templateSize = QSize(res::DialogXToPixels(dialog.width, m_base),
                           res::DialogYToPixels(dialog.height, m_base));
    parent.resize(m_templateSize);

    QButtonGroup* group = nullptr;
    for (const res::ControlTemplate& c : dialog.controls) {
        QWidget* widget = factory ? factory(c, parent) : nullptr;
        if (!widget) {
            widget = Make(c, parent, group);
        }
        // A style sheet on the dialog stops its font from reaching the children (they get
        // the application's font instead); a font set on the widget itself stays.
        widget->setFont(font);
        const int height = IsDropDown(c.kind) ? dialog.dropDownHeight : c.height;
        widget->setGeometry(ToPixels(c.x, c.y, c.width, height));
        if (PassesMouseThrough(c)) {
            widget->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        if (c.style & style::kHidden) {
            widget->hide();
        }
        if (c.id > 0) {
            widget->setObjectName(QStringLiteral("c%1").arg(c.id));
            widget->setProperty("controlId", c.id);
            m_byId[c.id] = widget;
        }
        m_widgets.push_back(widget);
    }
}

QWidget* DialogControls::Make(const res::ControlTemplate& c, QWidget& parent,
                              QButtonGroup*& group) {
    switch (c.kind) {
    case ControlKind::Label:
        return MakeLabel(c, parent);
    case ControlKind::GroupBox:
        return new QGroupBox(Utf8(c.text), &parent);
    case ControlKind::CheckBox:
        return new QCheckBox(Utf8(c.text), &parent);
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(Utf8(c.text), &parent);
        if (!group || (c.style & style::kGroupStart)) {
            group = new QButtonGroup(&parent);
            group->setExclusive(true);
        }
        group->addButton(radio);
        return radio;
    }
    case ControlKind::PushButton:
    case ControlKind::OwnerDrawButton:
        return MakeButton(c, parent);
    case ControlKind::DropList:
        return new DropDownList(&parent);
    case ControlKind::DropDown: {
        auto* box = new DropDownList(&parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setEditText(Utf8(c.text));
        return box;
    }
    case ControlKind::Edit:
        return new QLineEdit(Utf8(c.text), &parent);
    case ControlKind::MultiLineEdit:
        return MakeMultiLineEdit(c, parent);
    case ControlKind::BlackFrame:
        return MakeBlackFrame(parent);
    case ControlKind::Frame:
    case ControlKind::Custom:
        break;
    }
    // A frame only marks a rectangle; a plain widget draws nothing.
    return new QWidget(&parent);
}

QWidget* DialogControls::Control(int id) const {
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : it->second;
}

int DialogControls::IdOf(const QWidget* widget) const {
    if (!widget) {
        return 0;
    }
    const int id = widget->property("controlId").toInt();
    return id > 0 && Control(id) == widget ? id : 0;
}

QRect DialogControls::ToPixels(int x, int y, int width, int height) const {
    // Position and size convert separately, as a dialog template's controls do.
    return QRect(res::DialogXToPixels(x, m_base), res::DialogYToPixels(y, m_base),
                 res::DialogXToPixels(width, m_base), res::DialogYToPixels(height, m_base));
}

} // namespace orvanta::window
