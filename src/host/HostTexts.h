#pragma once

#include "protocol/NumberText.h"
#include "res/StringTable.h"

#include <cstdint>
#include <string>

namespace orvanta::host {

// The caption of the host's message boxes.
inline constexpr const char* kMessageCaption = "Message";

// The string-table text stringId in the language of languageFlag (0 Chinese, 1 English).
inline std::string LoadText(int stringId, int languageFlag) {
    return std::string(res::LoadString(stringId, res::LanguageFromFlag(languageFlag)));
}

// printf("%d", value), whatever the locale.
inline std::string DecimalText(std::int64_t value) {
    std::string text;
    protocol::AssignDecimal(text, value);
    return text;
}

// printf("%.*f", precision, value), whatever the locale.
inline std::string FixedText(double value, int precision) {
    std::string text;
    protocol::AssignFixed(text, value, precision);
    return text;
}

} // namespace orvanta::host
