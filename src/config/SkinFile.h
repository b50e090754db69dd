#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta::config {

// The skin file: named sections, each a Qt style sheet for one skin object.
//
//   ; a comment line
//   [ACC_68_DL]
//   QPushButton { ... }
//   [Button_Save]
//   ...
//
// A section runs from its "[NAME]" line to the next one; NAME is letters, digits and "_".
// Lines before the first section and malformed section lines are ignored. Pure; any thread.
class SkinFile {
public:
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    static SkinFile Parse(std::string_view text);
    // Nothing when the file is missing, unreadable or larger than kMaxFileBytes.
    static std::optional<SkinFile> Load(const std::filesystem::path& path);

    // The style sheet of a section; empty when there is none.
    std::string Section(std::string_view name) const;
    std::size_t SectionCount() const { return m_sections.size(); }

private:
    std::map<std::string, std::string, std::less<>> m_sections;
};

} // namespace orvanta::config
