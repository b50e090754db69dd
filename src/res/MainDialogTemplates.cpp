// Dialog 101, the main window, in both languages.
#include "res/DialogTables.h"

namespace orvanta::res::detail {

namespace {

using K = ControlKind;
using namespace control_style;

// Drop-down heights are those of the open list; the builder shows them closed.
constexpr ControlTemplate kEnglish[] = {
    // top band
    {1043, K::Label, 25, 26, 112, 9, kNone, "UTC: 2000-00-00   00:00:00"},
    {1165, K::RadioButton, 573, 23, 37, 14, kGroupStart, "中文"},
    {1166, K::RadioButton, 617, 23, 37, 14, kNone, "English"},
    // serial port panel
    {1035, K::Label, 102, 52, 20, 12, kNone, "Com:"},
    {1003, K::DropList, 123, 52, 59, 100, kNone, ""},
    {1036, K::Label, 102, 68, 20, 12, kNone, "Baud:"},
    {1004, K::DropList, 123, 68, 40, 100, kNone, ""},
    {1037, K::Label, 184, 52, 24, 12, kNone, "Parity :"},
    {1017, K::DropList, 209, 52, 22, 100, kNone, ""},
    {1001, K::PushButton, 191, 69, 35, 11, kNone, "Open"},
    {1152, K::Label, 224, 40, 8, 8, kNotify, ""},
    // device panel
    {1041, K::Label, 239, 52, 29, 12, kNone, "Model :"},
    {1023, K::DropList, 269, 52, 53, 100, kNone, ""},
    {1044, K::Label, 325, 52, 30, 12, kNone, "Protocol :"},
    {1024, K::DropList, 356, 52, 40, 100, kNone, ""},
    {1045, K::Label, 239, 68, 29, 12, kNone, "Mode:"},
    {1020, K::DropList, 269, 68, 88, 100, kNone, ""},
    {1002, K::PushButton, 376, 69, 32, 11, kNone, "Connect"},
    {1154, K::Label, 411, 40, 8, 8, kNotify, ""},
    // device settings panel
    {1040, K::Label, 423, 52, 18, 12, kNone, "Baud:"},
    {1022, K::DropList, 442, 52, 38, 100, kNone, ""},
    {1082, K::PushButton, 481, 52, 12, 12, kNone, "Set"},
    {1140, K::Label, 423, 68, 18, 12, kNone, "Fre:"},
    {1021, K::DropList, 442, 68, 38, 100, kNone, ""},
    {1081, K::PushButton, 481, 68, 12, 12, kNone, "Set"},
    {1176, K::Label, 495, 52, 25, 12, kNone, "Gravity:"},
    {1026, K::DropDown, 520, 52, 28, 100, kNone, ""},
    {1083, K::PushButton, 549, 52, 12, 12, kNone, "Set"},
    {1080, K::PushButton, 533, 69, 25, 11, kNone, "Save"},
    {1153, K::Label, 554, 40, 8, 8, kNotify, ""},
    // recording panel
    {1085, K::Edit, 572, 52, 83, 13, kNone, ""},
    {1118, K::PushButton, 573, 69, 30, 11, kNone, "Browse"},
    {1117, K::PushButton, 632, 69, 23, 11, kNone, "Save"},
    {1155, K::Label, 653, 40, 8, 8, kNotify, ""},
    // display area, 3D panel, monitor panel
    {1151, K::OwnerDrawButton, 23, 88, 358, 8, kNone, ""},
    {1146, K::Frame, 24, 97, 507, 135, kNone, ""},
    {1156, K::Label, 521, 86, 8, 8, kNotify, ""},
    {1145, K::BlackFrame, 536, 97, 125, 70, kNone, ""},
    {1157, K::Label, 653, 86, 8, 8, kNotify, ""},
    {1149, K::MultiLineEdit, 537, 181, 126, 123, kVScroll | kAutoVScroll | kUpperCase, ""},
    {1158, K::Label, 653, 170, 8, 8, kNotify, ""},
    // status rows
    {1050, K::Label, 37, 240, 20, 9, kNone, "Unit:"},
    {1133, K::RadioButton, 58, 238, 18, 13, kGroupStart, "°"},
    {1134, K::RadioButton, 76, 238, 26, 13, kNone, "rad"},
    {1135, K::RadioButton, 110, 238, 18, 13, kGroupStart, "g"},
    {1136, K::RadioButton, 130, 238, 34, 13, kNone, "m/s²"},
    {1046, K::Label, 179, 240, 90, 9, kRightAlign, "Default answer output:"},
    {1107, K::Label, 275, 240, 50, 9, kNone, "0"},
    {1042, K::Label, 329, 240, 37, 9, kNone, "Miscount:"},
    {1106, K::Label, 367, 240, 40, 9, kNone, "0"},
    {1147, K::Frame, 418, 237, 93, 12, kNone, ""},
    {1099, K::Label, 46, 265, 25, 9, kRightAlign, "Device:"},
    {1102, K::Label, 72, 265, 55, 9, kNone, "0℃"},
    {1101, K::Label, 130, 265, 23, 9, kRightAlign, "Mcu:"},
    {1103, K::Label, 154, 265, 55, 9, kNone, "0℃"},
    {1097, K::Label, 241, 265, 33, 9, kRightAlign, "Runtime:"},
    {1098, K::Label, 275, 265, 55, 9, kNone, "0s"},
    {1160, K::Label, 336, 265, 32, 9, kRightAlign, "Gravity:"},
    {1113, K::Label, 369, 265, 50, 9, kNone, "9.8g"},
    {1100, K::Label, 424, 265, 41, 9, kRightAlign, "Mag.Head:"},
    {1104, K::Label, 466, 265, 55, 9, kNone, "0°"},
    {1092, K::Label, 46, 280, 25, 9, kRightAlign, "Longi.:"},
    {1095, K::Label, 72, 280, 55, 9, kNone, "0°"},
    {1091, K::Label, 130, 280, 23, 9, kRightAlign, "Lati.:"},
    {1094, K::Label, 154, 280, 55, 9, kNone, "0°"},
    {1093, K::Label, 241, 280, 33, 9, kRightAlign, "Altitude:"},
    {1096, K::Label, 275, 280, 50, 9, kNone, "0"},
    {1105, K::Label, 327, 280, 41, 9, kRightAlign, "QNE:"},
    {1108, K::Label, 369, 280, 50, 9, kNone, "0"},
    {1109, K::Label, 425, 280, 40, 9, kRightAlign, "Baro:"},
    {1110, K::Label, 466, 280, 55, 9, kNone, "0"},
    // output items
    {1159, K::Label, 26, 295, 44, 9, kNone, "Output item:"},
    {1122, K::CheckBox, 71, 293, 32, 13, kNone, "Euler"},
    {1121, K::CheckBox, 103, 293, 32, 13, kNone, "Gyro"},
    {1124, K::CheckBox, 135, 293, 32, 13, kNone, "Acc."},
    {1120, K::CheckBox, 167, 293, 40, 13, kNone, "Velocity"},
    {1123, K::CheckBox, 207, 293, 40, 13, kNone, "Tempe."},
    {1119, K::CheckBox, 247, 293, 43, 13, kNone, "Position"},
    {1074, K::CheckBox, 290, 293, 41, 13, kNone, "Runtime"},
    {1125, K::CheckBox, 331, 293, 32, 13, kNone, "GPS"},
    {1126, K::CheckBox, 363, 293, 32, 13, kNone, "Mag."},
    {1127, K::CheckBox, 395, 293, 44, 13, kNone, "Mag.Head"},
    {1128, K::CheckBox, 439, 293, 28, 13, kNone, "UTC"},
    {1129, K::CheckBox, 467, 293, 28, 13, kNone, "QNE"},
    {1130, K::CheckBox, 495, 293, 28, 13, kNone, "Baro"},
    // the link area over the web address; mouse events pass through to the window
    {1051, K::Label, 300, 326, 86, 8, kNone, ""},
    // never shown
    {1038, K::Label, 519, 315, 34, 9, kHidden, "Data bit :"},
    {1018, K::DropList, 555, 313, 40, 40, kHidden, ""},
    {1039, K::Label, 519, 331, 34, 9, kHidden, "Stop bit :"},
    {1019, K::DropList, 555, 329, 40, 24, kHidden, ""},
};

// The same controls; captions that need more room than the English ones move a little.
constexpr ControlTemplate kChinese[] = {
    // top band
    {1043, K::Label, 25, 26, 112, 9, kNone, "UTC: 2019-11-12   02:22:33"},
    {1165, K::RadioButton, 573, 23, 37, 14, kGroupStart, "中文"},
    {1166, K::RadioButton, 617, 23, 40, 14, kNone, "English"},
    // serial port panel
    {1035, K::Label, 97, 52, 25, 12, kNone, "端口号:"},
    {1003, K::DropList, 123, 52, 62, 100, kNone, ""},
    {1036, K::Label, 97, 68, 25, 12, kNone, "波特率:"},
    {1004, K::DropList, 123, 68, 43, 100, kNone, ""},
    {1037, K::Label, 168, 68, 26, 12, kNone, "校验位:"},
    {1017, K::DropList, 195, 68, 24, 100, kNone, ""},
    {1001, K::PushButton, 188, 53, 35, 11, kNone, "打开"},
    {1152, K::Label, 224, 40, 8, 8, kNotify, ""},
    // device panel
    {1041, K::Label, 239, 52, 29, 12, kNone, "型号:"},
    {1023, K::DropList, 269, 52, 55, 100, kNone, ""},
    {1044, K::Label, 326, 52, 20, 12, kNone, "协议:"},
    {1024, K::DropList, 347, 52, 40, 100, kNone, ""},
    {1045, K::Label, 239, 68, 29, 12, kNone, "模式:"},
    {1020, K::DropList, 269, 68, 70, 100, kNone, ""},
    {1002, K::PushButton, 376, 69, 32, 11, kNone, "连接"},
    {1154, K::Label, 411, 40, 8, 8, kNotify, ""},
    // device settings panel
    {1040, K::Label, 423, 52, 25, 12, kNone, "波特率:"},
    {1022, K::DropList, 448, 52, 43, 100, kNone, ""},
    {1082, K::PushButton, 492, 52, 14, 12, kNone, "Set"},
    {1140, K::Label, 423, 68, 18, 12, kNone, "频率:"},
    {1021, K::DropList, 442, 68, 31, 100, kNone, ""},
    {1081, K::PushButton, 474, 68, 14, 12, kNone, "Set"},
    {1176, K::Label, 491, 68, 25, 12, kNone, "重力级:"},
    {1026, K::DropDown, 516, 68, 30, 100, kNone, ""},
    {1083, K::PushButton, 547, 68, 14, 12, kNone, "Set"},
    {1080, K::PushButton, 533, 53, 25, 11, kNone, "保存"},
    {1153, K::Label, 554, 40, 8, 8, kNotify, ""},
    // recording panel
    {1085, K::Edit, 572, 52, 83, 13, kNone, ""},
    {1118, K::PushButton, 573, 69, 30, 11, kNone, "浏览"},
    {1117, K::PushButton, 632, 69, 23, 11, kNone, "开始"},
    {1155, K::Label, 653, 40, 8, 8, kNotify, ""},
    // display area, 3D panel, monitor panel
    {1151, K::OwnerDrawButton, 23, 87, 358, 10, kNone, ""},
    {1146, K::Frame, 24, 97, 507, 135, kNone, ""},
    {1156, K::Label, 521, 86, 8, 8, kNotify, ""},
    {1145, K::BlackFrame, 536, 97, 125, 70, kNone, ""},
    {1157, K::Label, 653, 86, 8, 8, kNotify, ""},
    {1149, K::MultiLineEdit, 537, 181, 126, 123, kVScroll | kAutoVScroll | kUpperCase, ""},
    {1158, K::Label, 653, 170, 8, 8, kNotify, ""},
    // status rows
    {1050, K::Label, 33, 240, 24, 9, kNone, "单位:"},
    {1133, K::RadioButton, 58, 238, 20, 13, kGroupStart, "°"},
    {1134, K::RadioButton, 80, 238, 28, 13, kNone, "rad"},
    {1135, K::RadioButton, 109, 238, 21, 13, kGroupStart, "g"},
    {1136, K::RadioButton, 131, 238, 34, 13, kNone, "m/s²"},
    {1046, K::Label, 179, 240, 90, 9, kRightAlign, "默认项问答输出:"},
    {1107, K::Label, 275, 240, 50, 9, kNone, "0"},
    {1042, K::Label, 329, 240, 37, 9, kNone, "出错数:"},
    {1106, K::Label, 367, 240, 40, 9, kNone, "0"},
    {1147, K::Frame, 418, 237, 93, 12, kNone, ""},
    {1099, K::Label, 46, 265, 25, 9, kRightAlign, "设备:"},
    {1102, K::Label, 72, 265, 55, 9, kNone, "0℃"},
    {1101, K::Label, 130, 265, 23, 9, kRightAlign, "内核:"},
    {1103, K::Label, 154, 265, 55, 9, kNone, "0℃"},
    {1097, K::Label, 233, 265, 41, 9, kRightAlign, "运行时间:"},
    {1098, K::Label, 275, 265, 55, 9, kNone, "0s"},
    {1160, K::Label, 336, 265, 32, 9, kRightAlign, "重力级:"},
    {1113, K::Label, 369, 265, 50, 9, kNone, "9.8g"},
    {1100, K::Label, 424, 265, 41, 9, kRightAlign, "磁方位角:"},
    {1104, K::Label, 466, 265, 55, 9, kNone, "0°"},
    {1092, K::Label, 46, 280, 25, 9, kRightAlign, "经度:"},
    {1095, K::Label, 72, 280, 55, 9, kNone, "0°"},
    {1091, K::Label, 130, 280, 23, 9, kRightAlign, "纬度:"},
    {1094, K::Label, 154, 280, 55, 9, kNone, "0°"},
    {1093, K::Label, 241, 280, 33, 9, kRightAlign, "高度:"},
    {1096, K::Label, 275, 280, 50, 9, kNone, "0"},
    {1105, K::Label, 327, 280, 41, 9, kRightAlign, "气压高度:"},
    {1108, K::Label, 369, 280, 50, 9, kNone, "0"},
    {1109, K::Label, 425, 280, 40, 9, kRightAlign, "气压值:"},
    {1110, K::Label, 466, 280, 55, 9, kNone, "0"},
    // output items
    {1159, K::Label, 26, 295, 25, 9, kNone, "输出项:"},
    {1122, K::CheckBox, 52, 293, 38, 13, kNone, "姿态角"},
    {1121, K::CheckBox, 91, 293, 38, 13, kNone, "角速率"},
    {1124, K::CheckBox, 130, 293, 38, 13, kNone, "加速度"},
    {1120, K::CheckBox, 169, 293, 31, 13, kNone, "速度"},
    {1123, K::CheckBox, 207, 293, 31, 13, kNone, "温度"},
    {1119, K::CheckBox, 247, 293, 31, 13, kNone, "位置"},
    {1074, K::CheckBox, 279, 293, 31, 13, kNone, "时间"},
    {1125, K::CheckBox, 311, 293, 30, 13, kNone, "GPS"},
    {1126, K::CheckBox, 342, 293, 36, 13, kNone, "磁力计"},
    {1127, K::CheckBox, 379, 293, 36, 13, kNone, "磁方位"},
    {1128, K::CheckBox, 416, 293, 29, 13, kNone, "UTC"},
    {1129, K::CheckBox, 446, 293, 43, 13, kNone, "气压高度"},
    {1130, K::CheckBox, 490, 293, 36, 13, kNone, "气压值"},
    // the link area over the web address; mouse events pass through to the window
    {1051, K::Label, 300, 326, 86, 8, kNone, ""},
    // never shown
    {1038, K::Label, 519, 315, 34, 9, kHidden, "数据位:"},
    {1018, K::DropList, 555, 313, 40, 40, kHidden, ""},
    {1039, K::Label, 519, 331, 34, 9, kHidden, "停止位:"},
    {1019, K::DropList, 555, 329, 40, 24, kHidden, ""},
};

constexpr DialogTemplate kMainEnglish{dialog_id::kMain,        DialogKind::TopLevel, 686,     345,
                                      {"Times New Roman", 10}, "Orvanta V1.5",       kEnglish};
constexpr DialogTemplate kMainChinese{dialog_id::kMain, DialogKind::TopLevel, 686,     345,
                                      {"微软雅黑", 8},  "Orvanta V1.5",       kChinese};

} // namespace

const DialogTemplate& MainDialog(Language language) {
    return language == Language::English ? kMainEnglish : kMainChinese;
}

} // namespace orvanta::res::detail
