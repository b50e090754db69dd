#include "config/SkinFile.h"

#include <fstream>
#include <iterator>

namespace orvanta::config {

namespace {

std::string_view Trimmed(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

bool IsSectionName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        const bool word =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!word) {
            return false;
        }
    }
    return true;
}

} // namespace

SkinFile SkinFile::Parse(std::string_view text) {
    SkinFile skin;
    std::string* current = nullptr;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        const std::string_view trimmed = Trimmed(line);
        if (trimmed.starts_with(';')) {
            continue;
        }
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            const std::string_view name = trimmed.substr(1, trimmed.size() - 2);
            current = IsSectionName(name) ? &skin.m_sections[std::string(name)] : nullptr;
            continue;
        }
        if (current) {
            current->append(line);
            current->push_back('\n');
        }
    }
    return skin;
}

std::optional<SkinFile> SkinFile::Load(const std::filesystem::path& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return Parse(text);
}

std::string SkinFile::Section(std::string_view name) const {
    const auto it = m_sections.find(name);
    return it == m_sections.end() ? std::string() : it->second;
}

} // namespace orvanta::config
