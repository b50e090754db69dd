#pragma once

// Dialog and control identifiers shared by the host logic, the window and the
// headless front end. The logic names controls by these numbers; the window finds
// its widgets by them.
namespace orvanta::host {

enum class Dialog : int { Main = 101, DataPage = 133 };

namespace main_id {
inline constexpr int kOpenButton = 1001;
inline constexpr int kConnectButton = 1002;
inline constexpr int kPortList = 1003;
inline constexpr int kBaudList = 1004;
inline constexpr int kParityList = 1017;
inline constexpr int kModeList = 1020;
inline constexpr int kFrequencyList = 1021;
inline constexpr int kDeviceBaudList = 1022;
inline constexpr int kModelList = 1023;
inline constexpr int kProtocolList = 1024;
inline constexpr int kGravityBox = 1026;
inline constexpr int kSaveButton = 1080;
inline constexpr int kFrequencySet = 1081;
inline constexpr int kDeviceBaudSet = 1082;
inline constexpr int kGravitySet = 1083;
inline constexpr int kCsvPathBox = 1085;
inline constexpr int kRecordButton = 1117;
inline constexpr int kBrowseButton = 1118;
inline constexpr int kMonitorBox = 1149;
inline constexpr int kAngleDegrees = 1133, kAngleRadians = 1134;
inline constexpr int kAccelG = 1135, kAccelMs2 = 1136;
inline constexpr int kLanguageChinese = 1165, kLanguageEnglish = 1166;
inline constexpr int kModeCaption = 1046;
inline constexpr int kRateLabel = 1107;
inline constexpr int kMiscountLabel = 1106;
inline constexpr int kUtcLine = 1043;
inline constexpr int kGravityLabel = 1113;
inline constexpr int kDeviceTemperature = 1102, kMcuTemperature = 1103;
inline constexpr int kLongitude = 1095, kLatitude = 1094, kAltitude = 1096;
inline constexpr int kRuntime = 1098, kMagHeading = 1104, kQne = 1108, kBaro = 1110;
} // namespace main_id

namespace page_id {
inline constexpr int kDeclinationBox = 1149;
inline constexpr int kDeclinationOk = 1086;
inline constexpr int kDeclinationWrite = 1104, kDeclinationRead = 1113;
inline constexpr int kCalibrationList = 1018;
inline constexpr int kCalibrationSet = 1085;
inline constexpr int kItemSet = 1079;
inline constexpr int kCaption1110 = 1110, kCaption1105 = 1105, kCaption1109 = 1109;
} // namespace page_id

// An output-item check box with the mask bit it stands for.
struct ItemBox {
    int id;
    unsigned bit;
};

// The thirteen output-item boxes of the main window.
inline constexpr ItemBox kMainItemBoxes[13] = {
    {1122, 0x2},       {1121, 0x8},     {1124, 0x10},    {1120, 0x100000}, {1123, 0x40},
    {1119, 0x80000},   {1074, 0x800},   {1125, 0x10000}, {1126, 0x20},     {1127, 0x8000000},
    {1128, 0x2000000}, {1129, 0x20000}, {1130, 0x40000},
};

// The thirteen output-item boxes of the live data page, in the order their bits are read.
inline constexpr ItemBox kPageItemBoxes[13] = {
    {1070, 0x2},       {1072, 0x8},     {1078, 0x100000}, {1076, 0x10}, {1112, 0x20},
    {1107, 0x800},     {1075, 0x80000}, {1077, 0x10000},  {1073, 0x40}, {1084, 0x8000000},
    {1087, 0x2000000}, {1089, 0x40000}, {1088, 0x20000},
};

// Controls that a device model shows or hides.
inline constexpr int kModelListM[37] = {1100, 1104, 1160, 1113, 1099, 1102, 1101, 1103, 1092, 1095,
                                        1091, 1094, 1105, 1108, 1109, 1110, 1093, 1096, 1097, 1098,
                                        1122, 1120, 1126, 1074, 1128, 1119, 1125, 1123, 1127, 1130,
                                        1129, 1159, 1121, 1124, 1176, 1026, 1083};
inline constexpr int kModelListD[15] = {1111, 1131, 1112, 1084, 1087, 1089, 1088, 1018,
                                        1085, 1104, 1113, 1149, 1086, 1173, 1174};
// Main-window controls that the third model hides after showing list M.
inline constexpr int kVn300HiddenMain[11] = {1126, 1100, 1127, 1104, 1128, 1130,
                                             1129, 1105, 1108, 1109, 1110};

} // namespace orvanta::host
