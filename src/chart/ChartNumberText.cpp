#include "chart/ChartNumberText.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace orvanta::chart {

QString FixedText(double value, int decimals) {
    decimals = std::clamp(decimals, 0, 340);
    // A sign, 309 integer digits, the point and the decimals.
    std::vector<char> text(static_cast<std::size_t>(decimals) + 320);
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return {};
    }
    return QString::fromLatin1(text.data(), static_cast<int>(result.ptr - text.data()));
}

} // namespace orvanta::chart
