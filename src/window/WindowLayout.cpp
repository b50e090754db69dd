#include "window/WindowLayout.h"

#include <algorithm>
#include <vector>

namespace orvanta::window {

int ScaleCoordinate(int value, float scale) {
    const float product = static_cast<float>(value) * scale;
    return static_cast<int>(static_cast<double>(product) + 0.5);
}

bool KeepsHeightOnRescale(int controlId) {
    // The captions of the lists share their rows, so that they stay level with them.
    static constexpr int kKept[27] = {1001, 1002, 1003, 1004, 1017, 1020, 1021, 1022, 1023,
                                      1024, 1026, 1080, 1081, 1082, 1083, 1085, 1117, 1118,
                                      1035, 1036, 1037, 1041, 1044, 1045, 1040, 1140, 1176};
    return std::find(std::begin(kKept), std::end(kKept), controlId) != std::end(kKept);
}

LayoutRect RescaleControl(int controlId, const LayoutRect& rect, float sx, float sy) {
    LayoutRect out;
    out.left = ScaleCoordinate(rect.left, sx);
    out.top = ScaleCoordinate(rect.top, sy);
    out.right = ScaleCoordinate(rect.right, sx);
    out.bottom = KeepsHeightOnRescale(controlId) ? out.top + rect.Height()
                                                 : ScaleCoordinate(rect.bottom, sy);
    return out;
}

int StripSegment(unsigned x, unsigned w, int previous) {
    for (unsigned segment = 0; segment < 6; ++segment) {
        if (x < (segment + 1) * w / 6) {
            return static_cast<int>(segment);
        }
    }
    return previous;
}

bool StrictlyInside(const LayoutRect& rect, int x, int y) {
    return rect.left < x && x < rect.right && rect.top < y && y < rect.bottom;
}

int ToolbarTipString(int commandId, const ChartDisplayFlags& flags) {
    switch (commandId) {
    case 0:
        return 0;
    case 32809:
        return 130;
    case 32807:
        return flags.abscissaShown ? 128 : 129;
    case 32808:
        return flags.ordinateShown ? 126 : 127;
    case 32810:
    case 32811:
    case 32812: {
        const int axis = commandId - 32810;
        return (flags.seriesShown[axis] ? 120 : 121) + 2 * axis;
    }
    default:
        return -1;
    }
}

namespace {

// The byte length of the UTF-8 character that starts at text[i].
std::size_t CharLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, text.size() - i);
}

} // namespace

std::string WrapTipText(std::string_view text, int maxWidth,
                        const std::function<int(std::string_view)>& measure) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    while (i < text.size()) {
        // The next piece: a word with the spaces before it, or a single non-ASCII character,
        // which may stand at a line break of its own.
        std::size_t end = i;
        while (end < text.size() && text[end] == ' ') {
            ++end;
        }
        if (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) {
            end += CharLength(text, end);
        } else {
            while (end < text.size() && text[end] != ' ' &&
                   static_cast<unsigned char>(text[end]) < 0x80) {
                ++end;
            }
        }
        const std::string_view piece = text.substr(i, end - i);
        if (!line.empty() && measure(line + std::string(piece)) > maxWidth) {
            lines.push_back(line);
            line.clear();
            const std::size_t first = piece.find_first_not_of(' ');
            i += first == std::string_view::npos ? piece.size() : first;
            continue;
        }
        if (line.empty() && measure(piece) > maxWidth) {
            // A word too wide for any line is broken between its characters.
            std::size_t j = i;
            while (j < end) {
                const std::size_t next = j + CharLength(text, j);
                if (!line.empty() &&
                    measure(line + std::string(text.substr(j, next - j))) > maxWidth) {
                    lines.push_back(line);
                    line.clear();
                }
                line.append(text.substr(j, next - j));
                j = next;
            }
            i = end;
            continue;
        }
        line.append(piece);
        i = end;
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    std::string out;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (k != 0) {
            out.push_back('\n');
        }
        out += lines[k];
    }
    return out;
}

} // namespace orvanta::window
