// The dialog templates: both variants of the language-dependent dialogs hold the same
// controls, the main window's English layout, radio groups and the shared dialogs.
#include "res/DialogTemplate.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

namespace orvanta::res {
namespace {

using namespace control_style;

const DialogTemplate& Get(int id, Language language) {
    const DialogTemplate* dialog = FindDialog(id, language);
    EXPECT_NE(dialog, nullptr) << id;
    return *dialog;
}

std::map<int, ControlKind> KindsById(const DialogTemplate& dialog) {
    std::map<int, ControlKind> kinds;
    for (const ControlTemplate& c : dialog.controls) {
        if (c.id > 0) {
            kinds[c.id] = c.kind;
        }
    }
    return kinds;
}

TEST(DialogTemplate, LanguageVariantsHoldTheSameControls) {
    struct Case {
        int dialog;
        std::size_t named;
    };
    for (const Case c : {Case{dialog_id::kMain, 90}, Case{dialog_id::kDataPage, 68}}) {
        const DialogTemplate& english = Get(c.dialog, Language::English);
        const DialogTemplate& chinese = Get(c.dialog, Language::Chinese);
        EXPECT_EQ(KindsById(english), KindsById(chinese)) << c.dialog;
        EXPECT_EQ(KindsById(english).size(), c.named) << c.dialog;
        EXPECT_EQ(english.controls.size(), chinese.controls.size()) << c.dialog;
        EXPECT_EQ(english.width, chinese.width) << c.dialog;
    }
}

TEST(DialogTemplate, IdentifiersAreUniqueAndRadioGroupsStartMarked) {
    for (int id : {99, 101, 130, 132, 133, 144}) {
        for (Language language : {Language::English, Language::Chinese}) {
            const DialogTemplate& dialog = Get(id, language);
            EXPECT_EQ(dialog.id, id);
            std::set<int> seen;
            const ControlTemplate* previous = nullptr;
            for (const ControlTemplate& c : dialog.controls) {
                if (c.id != -1) {
                    EXPECT_TRUE(seen.insert(c.id).second) << id << ": " << c.id << " twice";
                }
                // A radio button that follows no radio button opens a group of its own.
                if (c.kind == ControlKind::RadioButton &&
                    (!previous || previous->kind != ControlKind::RadioButton)) {
                    EXPECT_TRUE(c.style & kGroupStart) << id << ": " << c.id;
                }
                EXPECT_GT(c.width, 0) << id << ": " << c.id;
                EXPECT_GT(c.height, 0) << id << ": " << c.id;
                EXPECT_LE(c.x + c.width, dialog.width + 1) << id << ": " << c.id;
                previous = &c;
            }
        }
    }
}

// The main window's English places. Where a text needs more room in the fonts used here,
// captions share the row of the list they name, Mode and Protocol swap rows so that the mode
// list can show its entries whole, and lists and boxes that needed width move within their
// panels.
TEST(DialogTemplate, MainWindowEnglishPositions) {
    struct At {
        int id, x, y;
    };
    const At positions[] = {
        {1043, 25, 26},   {1165, 573, 23},  {1166, 617, 23},  {1035, 102, 52},  {1003, 123, 52},
        {1036, 102, 68},  {1004, 123, 68},  {1037, 184, 52},  {1017, 209, 52},  {1001, 191, 69},
        {1152, 224, 40},  {1041, 239, 52},  {1023, 269, 52},  {1044, 325, 52},  {1024, 356, 52},
        {1045, 239, 68},  {1020, 269, 68},  {1002, 376, 69},  {1154, 411, 40},  {1040, 423, 52},
        {1022, 442, 52},  {1082, 481, 52},  {1140, 423, 68},  {1021, 442, 68},  {1081, 481, 68},
        {1176, 495, 52},  {1026, 520, 52},  {1083, 549, 52},  {1080, 533, 69},  {1153, 554, 40},
        {1085, 572, 52},  {1118, 573, 69},  {1117, 632, 69},  {1155, 653, 40},  {1151, 23, 88},
        {1146, 24, 97},   {1156, 521, 86},  {1145, 536, 97},  {1157, 653, 86},  {1149, 537, 181},
        {1158, 653, 170}, {1050, 37, 240},  {1133, 58, 238},  {1134, 76, 238},  {1135, 110, 238},
        {1136, 130, 238}, {1046, 179, 240}, {1107, 275, 240}, {1042, 329, 240}, {1106, 367, 240},
        {1147, 418, 237}, {1099, 46, 265},  {1102, 72, 265},  {1101, 130, 265}, {1103, 154, 265},
        {1097, 241, 265}, {1098, 275, 265}, {1160, 336, 265}, {1113, 369, 265}, {1100, 424, 265},
        {1104, 466, 265}, {1092, 46, 280},  {1095, 72, 280},  {1091, 130, 280}, {1094, 154, 280},
        {1093, 241, 280}, {1096, 275, 280}, {1105, 327, 280}, {1108, 369, 280}, {1109, 425, 280},
        {1110, 466, 280}, {1159, 26, 295},  {1122, 71, 293},  {1121, 103, 293}, {1124, 135, 293},
        {1120, 167, 293}, {1123, 207, 293}, {1119, 247, 293}, {1074, 290, 293}, {1125, 331, 293},
        {1126, 363, 293}, {1127, 395, 293}, {1128, 439, 293}, {1129, 467, 293}, {1130, 495, 293},
        {1051, 300, 326}, {1038, 519, 315}, {1018, 555, 313}, {1039, 519, 331}, {1019, 555, 329}};
    const DialogTemplate& dialog = Get(dialog_id::kMain, Language::English);
    EXPECT_EQ(std::size(positions), dialog.controls.size());
    for (const At& at : positions) {
        const ControlTemplate* c = dialog.Find(at.id);
        ASSERT_NE(c, nullptr) << at.id;
        EXPECT_EQ(c->x, at.x) << at.id;
        EXPECT_EQ(c->y, at.y) << at.id;
    }
}

TEST(DialogTemplate, MainWindowSizesStylesAndTexts) {
    const DialogTemplate& english = Get(dialog_id::kMain, Language::English);
    const DialogTemplate& chinese = Get(dialog_id::kMain, Language::Chinese);
    EXPECT_EQ(english.kind, DialogKind::TopLevel);
    EXPECT_EQ(english.width, 686);
    EXPECT_EQ(english.height, 345);
    EXPECT_EQ(english.font.family, "Times New Roman");
    EXPECT_EQ(english.font.points, 10);
    EXPECT_EQ(chinese.font.family, "微软雅黑");
    EXPECT_EQ(chinese.font.points, 8);
    EXPECT_EQ(english.caption, "Orvanta V1.5");
    EXPECT_EQ(chinese.caption, "Orvanta V1.5");

    struct Size {
        int id, width, height;
    };
    for (const Size s :
         // The UTC line is wider than 84 units so that a whole line fits the fonts used here.
         {Size{1043, 112, 9}, Size{1165, 37, 14}, Size{1001, 35, 11}, Size{1002, 32, 11},
          Size{1082, 12, 12}, Size{1080, 25, 11}, Size{1085, 83, 13}, Size{1117, 23, 11},
          Size{1151, 358, 8}, Size{1146, 507, 135}, Size{1145, 125, 70}, Size{1149, 126, 123},
          Size{1147, 93, 12}, Size{1051, 86, 8}, Size{1046, 90, 9}, Size{1152, 8, 8},
          Size{1158, 8, 8}, Size{1122, 32, 13}}) {
        const ControlTemplate* c = english.Find(s.id);
        ASSERT_NE(c, nullptr) << s.id;
        EXPECT_EQ(c->width, s.width) << s.id;
        EXPECT_EQ(c->height, s.height) << s.id;
    }

    for (int anchor = 1152; anchor <= 1158; ++anchor) {
        const ControlTemplate* c = english.Find(anchor);
        ASSERT_NE(c, nullptr) << anchor;
        EXPECT_EQ(c->kind, ControlKind::Label);
        EXPECT_TRUE(c->style & kNotify) << anchor;
        EXPECT_EQ(c->text, "");
    }
    EXPECT_FALSE(english.Find(1051)->style & kNotify);
    EXPECT_EQ(english.Find(1149)->style, kVScroll | kAutoVScroll | kUpperCase);
    for (int id : {1038, 1018, 1039, 1019}) {
        EXPECT_TRUE(english.Find(id)->style & kHidden) << id;
        EXPECT_TRUE(chinese.Find(id)->style & kHidden) << id;
    }
    // Captions of the two lower status rows are right-aligned, their values left.
    for (int id : {1099, 1101, 1097, 1160, 1100, 1092, 1091, 1093, 1105, 1109, 1046}) {
        EXPECT_TRUE(english.Find(id)->style & kRightAlign) << id;
    }
    for (int id : {1102, 1103, 1098, 1113, 1104, 1095, 1094, 1096, 1108, 1110}) {
        EXPECT_FALSE(english.Find(id)->style & kRightAlign) << id;
    }

    struct Text {
        int id;
        const char* english;
        const char* chinese;
    };
    for (const Text t :
         {Text{1043, "UTC: 2000-00-00   00:00:00", "UTC: 2019-11-12   02:22:33"},
          Text{1001, "Open", "打开"}, Text{1081, "Set", "Set"}, Text{1080, "Save", "保存"},
          Text{1117, "Save", "开始"}, Text{1165, "中文", "中文"}, Text{1166, "English", "English"},
          Text{1136, "m/s²", "m/s²"}, Text{1100, "Mag.Head:", "磁方位角:"}, Text{1102, "0℃", "0℃"},
          Text{1113, "9.8g", "9.8g"}, Text{1129, "QNE", "气压高度"}, Text{1125, "GPS", "GPS"}}) {
        EXPECT_EQ(english.Find(t.id)->text, t.english) << t.id;
        EXPECT_EQ(chinese.Find(t.id)->text, t.chinese) << t.id;
    }
}

// No control lies over another, so no text runs under a neighbour; group boxes and frames
// hold others.
TEST(DialogTemplate, ControlsDoNotOverlap) {
    const auto holdsOthers = [](ControlKind kind) {
        return kind == ControlKind::GroupBox || kind == ControlKind::Frame;
    };
    for (int id : {dialog_id::kMain, dialog_id::kDataPage}) {
        for (Language language : {Language::English, Language::Chinese}) {
            const DialogTemplate& dialog = Get(id, language);
            const auto bottom = [&dialog](const ControlTemplate& c) {
                const bool dropDown =
                    c.kind == ControlKind::DropList || c.kind == ControlKind::DropDown;
                return c.y + (dropDown ? dialog.dropDownHeight : c.height);
            };
            const auto shown = dialog.controls;
            for (std::size_t i = 0; i < shown.size(); ++i) {
                const ControlTemplate& a = shown[i];
                if (holdsOthers(a.kind) || (a.style & kHidden)) {
                    continue;
                }
                for (std::size_t j = i + 1; j < shown.size(); ++j) {
                    const ControlTemplate& b = shown[j];
                    if (holdsOthers(b.kind) || (b.style & kHidden)) {
                        continue;
                    }
                    const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x ||
                                       bottom(a) <= b.y || bottom(b) <= a.y;
                    EXPECT_TRUE(apart) << id << (language == Language::English ? " EN " : " CH ")
                                       << a.id << " and " << b.id;
                }
            }
        }
    }
}

TEST(DialogTemplate, ChineseMainWindowMovesStayWithin24Units) {
    const DialogTemplate& english = Get(dialog_id::kMain, Language::English);
    const DialogTemplate& chinese = Get(dialog_id::kMain, Language::Chinese);
    int moved = 0;
    for (const ControlTemplate& c : chinese.controls) {
        const ControlTemplate* e = english.Find(c.id);
        ASSERT_NE(e, nullptr) << c.id;
        EXPECT_LE(std::abs(c.x - e->x), 24) << c.id;
        EXPECT_LE(std::abs(c.y - e->y), 24) << c.id;
        EXPECT_EQ(c.style, e->style) << c.id;
        moved += (c.x != e->x || c.y != e->y) ? 1 : 0;
    }
    EXPECT_GT(moved, 0);
}

TEST(DialogTemplate, SharedDialogsServeBothLanguagesAndUnknownIdsAreNull) {
    for (int id : {99, 130, 132, 144}) {
        EXPECT_EQ(FindDialog(id, Language::English), FindDialog(id, Language::Chinese)) << id;
    }
    EXPECT_NE(FindDialog(101, Language::English), FindDialog(101, Language::Chinese));
    for (int id : {0, -1, 100, 131, 134, 143, 145, 1001}) {
        EXPECT_EQ(FindDialog(id, Language::English), nullptr) << id;
        EXPECT_EQ(FindDialog(id, Language::Chinese), nullptr) << id;
    }
    const DialogTemplate& about = Get(dialog_id::kAbout, Language::English);
    EXPECT_EQ(about.kind, DialogKind::Modal);
    EXPECT_EQ(about.caption, "关于 Orvanta");
    const ControlTemplate* ok = about.Find(1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text, "确定");
    EXPECT_TRUE(ok->style & kDefault);
    EXPECT_EQ(about.Find(2), nullptr);

    struct Size {
        int id, width, height;
    };
    for (const Size s :
         {Size{99, 170, 62}, Size{130, 307, 194}, Size{132, 401, 120}, Size{144, 307, 16}}) {
        const DialogTemplate& dialog = Get(s.id, Language::Chinese);
        EXPECT_EQ(dialog.width, s.width) << s.id;
        EXPECT_EQ(dialog.height, s.height) << s.id;
    }
    EXPECT_TRUE(Get(dialog_id::kToolbarHost, Language::English).controls.empty());
    EXPECT_TRUE(Get(dialog_id::kView3d, Language::English).controls.empty());
}

} // namespace
} // namespace orvanta::res
