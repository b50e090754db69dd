#include "recording/CaptureFormat.h"

namespace orvanta::recording {
namespace {

std::string Clean(std::string_view text, bool isKey) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        } else if (isKey && c == '=') {
            c = '-';
        }
    }
    return out;
}

} // namespace

std::string FormatCaptureNote(const CaptureNote& note) {
    std::string text;
    for (const auto& [key, value] : note) {
        text += Clean(key, true);
        text += '=';
        text += Clean(value, false);
        text += '\n';
    }
    return text;
}

CaptureNote ParseCaptureNote(std::string_view text) {
    CaptureNote note;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            note.emplace_back(std::string(line.substr(0, equals)),
                              std::string(line.substr(equals + 1)));
        }
    }
    return note;
}

std::optional<std::string> NoteValue(const CaptureNote& note, std::string_view key) {
    std::optional<std::string> value;
    for (const auto& entry : note) {
        if (entry.first == key) {
            value = entry.second;
        }
    }
    return value;
}

} // namespace orvanta::recording
