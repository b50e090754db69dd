#pragma once

#include <QString>
#include <string_view>

namespace orvanta::window {

// The program keeps its texts in UTF-8; the toolkit wants QString.
inline QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace orvanta::window
