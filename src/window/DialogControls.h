#pragma once

#include "res/DialogTemplate.h"

#include <QFont>
#include <QRect>
#include <QSize>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QButtonGroup;
class QWidget;

namespace orvanta::window {

// The toolkit font for a template font: "Times New Roman" falls back to Liberation Serif,
// "微软雅黑" and other Chinese faces to WenQuanYi Micro Hei, "MS Shell Dlg" and
// "Microsoft Sans Serif" to Liberation Sans.
QFont DialogFont(const res::FontSpec& spec);
// The base units of a font, measured as Windows measures a dialog font.
res::DialogBaseUnits MeasureBaseUnits(const QFont& font);

// The widgets of one dialog template, made as children of a parent widget at their
// rectangles for the template's font, each carrying that font itself, and found again by
// identifier. Each widget's object name is "c<id>" so the skin's style sheet can address
// it. Radio buttons are grouped as the template's group starts say. Only a button the template
// marks kDefault acts as a default button, so Enter does not end a window. Statics that do not
// notify let mouse events through to the window under them. GUI thread only.
class DialogControls {
public:
    // Makes a widget for a control itself, or returns null to leave it to the builder. The
    // builder places, names and hides a widget made here as it does its own.
    using Factory = std::function<QWidget*(const res::ControlTemplate&, QWidget& parent)>;

    // Sets the parent's font (the template's, unless another is given) and title (when the
    // template has a caption) and resizes the parent to the template size.
    DialogControls(QWidget& parent, const res::DialogTemplate& dialog, Factory factory = {},
                   const std::optional<QFont>& font = std::nullopt);

    // The template's font, made smaller point by point (not below 6) until the template
    // fits into room; the template's font when room is empty.
    static QFont FittingFont(const res::DialogTemplate& dialog, QSize room);
    // The template's size in pixels for a font.
    static QSize TemplateSizeFor(const res::DialogTemplate& dialog, const QFont& font);

    QWidget* Control(int id) const;
    template <typename W> W* As(int id) const { return qobject_cast<W*>(Control(id)); }
    // The identifier of a widget made here; 0 for any other widget.
    int IdOf(const QWidget* widget) const;
    // Every widget made here, in template order.
    const std::vector<QWidget*>& Widgets() const { return m_widgets; }

    const res::DialogTemplate& Template() const { return m_template; }
    res::DialogBaseUnits BaseUnits() const { return m_base; }
    // The template size in pixels.
    QSize TemplateSize() const { return m_templateSize; }
    // A rectangle in dialog units, in pixels.
    QRect ToPixels(int x, int y, int width, int height) const;

private:
    QWidget* Make(const res::ControlTemplate& control, QWidget& parent, QButtonGroup*& group);

    const res::DialogTemplate& m_template;
    res::DialogBaseUnits m_base;
    QSize m_templateSize;
    std::map<int, QWidget*> m_byId;
    std::vector<QWidget*> m_widgets;
};

} // namespace orvanta::window
