#pragma once

#include "config/ConfigFile.h"

#include <filesystem>
#include <optional>
#include <string>

namespace orvanta::config {

inline constexpr int kChineseBackgroundBitmap = 140;
inline constexpr int kEnglishBackgroundBitmap = 139;

struct LanguageChoice {
    int LanguageFlag;     // 0 Chinese, 1 English
    int BackgroundBitmap; // 140 Chinese, 139 English
};

// The start-up language: with the file present, Chinese when LANGUAGE (default "CH", three
// characters read) begins with "CH" in upper case; without it, the system language decides.
// Main thread, before any window.
LanguageChoice ChooseLanguage(const std::filesystem::path& configPath,
                              bool systemLocaleIsChineseChina);

struct UserMessage {
    std::string caption;
    std::string text;
};

// The file side of a click on a language button: when the file exists, stores EN (flag 1)
// or CH (flag 0) and returns the restart notice in the chosen language. Without the file, or
// when it could not be written (the file's failure listener hears of that), there is nothing
// to tell: a restart would change nothing.
std::optional<UserMessage> StoreLanguageChoice(ConfigFile& file, int languageFlag);
std::optional<UserMessage> StoreLanguageChoice(const std::filesystem::path& configPath,
                                               int languageFlag);

// Whether the system language is Chinese of China, as the environment says (LC_ALL,
// LC_MESSAGES, LANG). Needs no Qt.
bool SystemLocaleIsChineseChina();

} // namespace orvanta::config
