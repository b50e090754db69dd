// The dialogs that serve both languages, and the look-up of every template.
#include "res/DialogTables.h"

#include <algorithm>

namespace orvanta::res {

namespace {

using K = ControlKind;
using namespace control_style;

// The about box exists in Chinese only; its icon area at (14, 14) stays empty.
constexpr ControlTemplate kAboutControls[] = {
    {-1, K::Label, 42, 14, 114, 8, kNone, "Orvanta，V" ORVANTA_VERSION " 版"},
    {1, K::PushButton, 113, 41, 50, 14, kDefault, "确定"},
};
constexpr DialogTemplate kAbout{dialog_id::kAbout,   DialogKind::Modal, 170,           62,
                                {"MS Shell Dlg", 9}, "关于 Orvanta",    kAboutControls};

constexpr DialogTemplate kView3d{
    dialog_id::kView3d, DialogKind::Child, 307, 194, {"MS Shell Dlg", 8}, "", {}};

// The chart page holds only the chart control, which the page makes itself.
constexpr ControlTemplate kChartControls[] = {
    {1000, K::Custom, 0, 0, 397, 120, kNone, ""},
};
constexpr DialogTemplate kChartPage{
    dialog_id::kChartPage, DialogKind::Child, 401, 120, {"Times New Roman", 12}, "",
    kChartControls};

constexpr DialogTemplate kToolbarHost{
    dialog_id::kToolbarHost, DialogKind::Child, 307, 16, {"MS Shell Dlg", 8}, "", {}};

} // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
    const auto it =
        std::find_if(controls.begin(), controls.end(),
                     [controlId](const ControlTemplate& c) { return c.id == controlId; });
    return it == controls.end() ? nullptr : &*it;
}

const DialogTemplate* FindDialog(int dialogId, Language language) {
    switch (dialogId) {
    case dialog_id::kAbout:
        return &kAbout;
    case dialog_id::kMain:
        return &detail::MainDialog(language);
    case dialog_id::kView3d:
        return &kView3d;
    case dialog_id::kChartPage:
        return &kChartPage;
    case dialog_id::kDataPage:
        return &detail::DataPageDialog(language);
    case dialog_id::kToolbarHost:
        return &kToolbarHost;
    default:
        return nullptr;
    }
}

} // namespace orvanta::res
