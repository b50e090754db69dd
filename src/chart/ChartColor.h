#pragma once

#include <QColor>
#include <cstdint>

namespace orvanta::chart {

// Colours are kept as 0x00BBGGRR values: red sits in the low byte.
using COLORREF = std::uint32_t;

constexpr COLORREF MakeColorRef(int red, int green, int blue) {
    return static_cast<COLORREF>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

inline QColor ToQColor(COLORREF colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

// The platform's default button-face colour.
constexpr COLORREF kButtonFaceColor = MakeColorRef(240, 240, 240);

} // namespace orvanta::chart
