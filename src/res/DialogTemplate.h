#pragma once

#include "res/StringTable.h"

#include <span>
#include <string_view>

namespace orvanta::res {

// What a control of a dialog template becomes.
enum class ControlKind {
    Label,           // static text
    GroupBox,        // framed group with a caption
    CheckBox,        // automatic check box
    RadioButton,     // automatic radio button; a group starts at kGroupStart
    PushButton,      // push button
    OwnerDrawButton, // a button the dialog draws itself (the page strip)
    DropList,        // drop-down list without edit field
    DropDown,        // drop-down box with an edit field
    Edit,            // single-line edit box
    MultiLineEdit,   // multi-line edit box
    Frame,           // invisible frame that only marks a rectangle
    BlackFrame,      // black rectangle frame
    Custom,          // a control of the dialog's own class (the chart control)
};

// Style bits of a control.
namespace control_style {
inline constexpr unsigned kNone = 0;
inline constexpr unsigned kGroupStart = 1u << 0; // first control of a radio group
inline constexpr unsigned kRightAlign = 1u << 1; // text right-aligned
inline constexpr unsigned kHidden = 1u << 2;     // created invisible
inline constexpr unsigned kNotify = 1u << 3;     // a static that reports mouse events
inline constexpr unsigned kUpperCase = 1u << 4;  // edit box shows upper case
inline constexpr unsigned kVScroll = 1u << 5;    // vertical scroll bar
inline constexpr unsigned kAutoVScroll = 1u << 6;
inline constexpr unsigned kCentre = 1u << 7;  // text centred
inline constexpr unsigned kDefault = 1u << 8; // the dialog's default button
} // namespace control_style

// One control: identifier (-1 for an unnamed static), kind, rectangle in dialog units,
// style bits and text in the template's language. For a drop-down control the height is
// that of its open list.
struct ControlTemplate {
    int id;
    ControlKind kind;
    int x, y, width, height;
    unsigned style;
    std::string_view text;
};

struct FontSpec {
    std::string_view family; // the face the template names ("Times New Roman", "微软雅黑", ...)
    int points;
};

enum class DialogKind {
    TopLevel, // pop-up window with caption, system menu, sizing border, minimise, maximise
    Child,    // child window without frame
    Modal,    // modal box with caption and system menu
};

// A dialog template: identifier, size in dialog units, font, caption and controls.
struct DialogTemplate {
    int id;
    DialogKind kind;
    int width, height;
    FontSpec font;
    std::string_view caption;
    std::span<const ControlTemplate> controls;
    // The visible height of a closed drop-down in dialog units; the template height is its list.
    int dropDownHeight = 12;

    // The control with this identifier, or null.
    const ControlTemplate* Find(int controlId) const;
};

namespace dialog_id {
inline constexpr int kAbout = 99;
inline constexpr int kMain = 101;
inline constexpr int kView3d = 130;
inline constexpr int kChartPage = 132;
inline constexpr int kDataPage = 133;
inline constexpr int kToolbarHost = 144;
} // namespace dialog_id

// The template of a dialog in a language. Dialogs 101 and 133 have a variant per language;
// the others serve both. Null for an unknown identifier. Constant data; any thread.
const DialogTemplate* FindDialog(int dialogId, Language language);

// The base units of a dialog font in pixels: the average width of the letters A-Z, a-z
// and the font's height. Dialog units convert as Windows does: x * baseX / 4 and
// y * baseY / 8, rounded to nearest.
struct DialogBaseUnits {
    int x = 8;
    int y = 16;
};

inline int DialogXToPixels(int units, DialogBaseUnits base) {
    return (units * base.x + 2) / 4;
}
inline int DialogYToPixels(int units, DialogBaseUnits base) {
    return (units * base.y + 4) / 8;
}

} // namespace orvanta::res
