#pragma once

#include <string_view>

namespace orvanta::res {

// The language variant of the string table; the values are those of LanguageFlag.
enum class Language : int { Chinese = 0, English = 1 };

inline Language LanguageFromFlag(int languageFlag) {
    return languageFlag == 1 ? Language::English : Language::Chinese;
}

// Entries of the string table.
namespace string_id {
inline constexpr int kAboutMenu = 100;
inline constexpr int kEquipmentNotSupported = 101;
inline constexpr int kPortOpenFailed = 102;
inline constexpr int kOpen = 103;
inline constexpr int kClose = 104;
inline constexpr int kStart = 105;
inline constexpr int kStop = 106;
inline constexpr int kTipSerialPort = 107;
inline constexpr int kTipDevice = 108;
inline constexpr int kTipDeviceSettings = 109;
inline constexpr int kTipRecording = 110;
inline constexpr int kTipDisplayArea = 111;
inline constexpr int kTipView3d = 112;
inline constexpr int kTipMonitor = 113;
inline constexpr int kModeDefaultAnswer = 114;
inline constexpr int kModeSpecifiedAnswer = 115;
inline constexpr int kModeDefaultAuto = 116;
inline constexpr int kCalibrationStart = 117;
inline constexpr int kCalibrationStop = 118;
inline constexpr int kCalibrationGiveUp = 119;
inline constexpr int kHideX = 120;
inline constexpr int kShowX = 121;
inline constexpr int kHideY = 122;
inline constexpr int kShowY = 123;
inline constexpr int kHideZ = 124;
inline constexpr int kShowZ = 125;
inline constexpr int kDisableOrdinate = 126;
inline constexpr int kEnableOrdinate = 127;
inline constexpr int kDisableAbscissa = 128;
inline constexpr int kEnableAbscissa = 129;
inline constexpr int kGeneratePicture = 130;
inline constexpr int kOperationSucceeded = 131;
inline constexpr int kOperationFailed = 132;
inline constexpr int kFirst = 100;
inline constexpr int kLast = 132;
// The data page captions that change with the model: a block of their own.
inline constexpr int kCaptionWeekNumber = 140;
inline constexpr int kCaptionExtFix = 141;
inline constexpr int kCaptionGpsFix = 142;
inline constexpr int kCaptionVelocity = 143;
inline constexpr int kCaptionPosition = 144;
inline constexpr int kCaptionRtk = 145;
inline constexpr int kCaptionsFirst = 140;
inline constexpr int kCaptionsLast = 145;
} // namespace string_id

// The UTF-8 text of an entry in a language; empty for an id outside the table.
// Constant data; any thread.
std::string_view LoadString(int id, Language language);

} // namespace orvanta::res
