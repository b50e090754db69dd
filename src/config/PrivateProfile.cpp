#include "config/PrivateProfile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvanta::config {
namespace {

enum class ReadResult { Ok, Missing, Failed, TooLarge };

// Reads at most kMaxProfileBytes; TooLarge still fills `content` with that much.
ReadResult ReadWhole(const std::filesystem::path& file, std::string& content) {
    content.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    ReadResult result = ReadResult::Ok;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result = ReadResult::Failed;
            break;
        }
        if (n == 0) {
            break;
        }
        const std::size_t room = kMaxProfileBytes - content.size();
        if (static_cast<std::size_t>(n) > room) {
            content.append(chunk, room);
            result = ReadResult::TooLarge;
            break;
        }
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return result;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

struct Line {
    std::size_t start;     // first byte
    std::size_t end;       // one past the last byte before the line end
    std::size_t next;      // start of the following line
    std::string_view text; // without the line end
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t feed = content.find('\n', start);
        const std::size_t next = feed == std::string_view::npos ? content.size() : feed + 1;
        std::size_t end = feed == std::string_view::npos ? content.size() : feed;
        if (end > start && content[end - 1] == '\r') {
            --end;
        }
        lines.push_back({start, end, next, content.substr(start, end - start)});
        start = next;
    }
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') {
        return std::nullopt;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// Index range [first, last) of the body of the first section called `section`, or nothing.
struct SectionRange {
    std::size_t header;
    std::size_t first;
    std::size_t last;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].text);
        if (name && SameName(*name, section)) {
            std::size_t j = i + 1;
            while (j < lines.size() && !SectionName(lines[j].text)) {
                ++j;
            }
            return SectionRange{i, i + 1, j};
        }
    }
    return std::nullopt;
}

std::optional<std::string> FindValue(const std::filesystem::path& file, std::string_view section,
                                     std::string_view key) {
    std::string content;
    const ReadResult read = ReadWhole(file, content);
    if (read == ReadResult::Missing || read == ReadResult::Failed) {
        return std::nullopt;
    }
    const auto lines = SplitLines(content);
    const auto range = FindSection(lines, section);
    if (!range) {
        return std::nullopt;
    }
    for (std::size_t i = range->first; i < range->last; ++i) {
        const auto parsed = ParseKeyLine(lines[i].text);
        if (parsed && SameName(parsed->key, key)) {
            std::string_view value = parsed->value;
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return std::nullopt;
}

// Cuts at a NUL byte, then to maxChars bytes without splitting a UTF-8 sequence.
std::string Bounded(std::string value, std::size_t maxChars) {
    const std::size_t nul = value.find('\0');
    if (nul != std::string::npos) {
        value.resize(nul);
    }
    if (value.size() > maxChars) {
        std::size_t cut = maxChars;
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        value.resize(cut);
    }
    return value;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Creates a temporary file beside file that did not exist before. The mode is given to
// open, so the umask applies as to any new file (mkstemp would make it 0600).
int CreateTemporary(const std::filesystem::path& file, mode_t mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = file.string() + "." + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Replaces the file's contents. A temporary file beside it is renamed over it so that a
// failed write never leaves half a file; an existing file that cannot be opened for writing
// (write-protected) is refused as the platform's profile calls refuse it.
ProfileStatus Replace(const std::filesystem::path& file, const std::string& data, bool exists) {
    struct stat info {};
    mode_t mode = 0666;
    if (exists) {
        const int probe = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) {
            return ProfileStatus::CannotWrite;
        }
        if (::fstat(probe, &info) == 0) {
            mode = info.st_mode & 07777;
        }
        ::close(probe);
    }
    struct stat linkInfo {};
    const bool isLink = ::lstat(file.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode);
    if (!isLink) {
        std::string temp;
        const int fd = CreateTemporary(file, exists ? 0600 : 0666, temp);
        if (fd >= 0) {
            const bool written =
                (!exists || ::fchmod(fd, mode) == 0) && WriteAll(fd, data) && ::fsync(fd) == 0;
            const bool closed = ::close(fd) == 0;
            if (written && closed && ::rename(temp.c_str(), file.c_str()) == 0) {
                return ProfileStatus::Ok;
            }
            ::unlink(temp.c_str());
            return ProfileStatus::CannotWrite;
        }
    }
    // No temporary file possible here (or a link to keep): write in place.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return ProfileStatus::CannotWrite;
    }
    const bool written = WriteAll(fd, data);
    const bool closed = ::close(fd) == 0;
    return written && closed ? ProfileStatus::Ok : ProfileStatus::CannotWrite;
}

} // namespace

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t maxChars) {
    auto value = FindValue(file, section, key);
    return Bounded(value ? std::move(*value) : std::string(defaultValue), maxChars);
}

int ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, int defaultValue) {
    const auto value = FindValue(file, section, key);
    if (!value) {
        return defaultValue;
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) {
        negative = (*value)[i] == '-';
        ++i;
    }
    long long number = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        number = number * 10 + ((*value)[i] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) {
            number = static_cast<long long>(INT_MAX) + 1; // saturate, keep scanning
        }
    }
    if (negative) {
        number = -number;
    }
    if (number > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(number);
}

ProfileStatus WriteProfileString(const std::filesystem::path& file, std::string_view section,
                                 std::string_view key, std::string_view value) {
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
        Trim(key) != key || Trim(section) != section) {
        return ProfileStatus::BadText;
    }
    std::string content;
    const ReadResult read = ReadWhole(file, content);
    if (read == ReadResult::Failed) {
        return ProfileStatus::CannotRead;
    }
    if (read == ReadResult::TooLarge) {
        return ProfileStatus::TooLarge;
    }
    const bool exists = read == ReadResult::Ok;

    const std::size_t firstFeed = content.find('\n');
    const std::string eol =
        firstFeed != std::string::npos && firstFeed > 0 && content[firstFeed - 1] == '\r' ? "\r\n"
                                                                                          : "\n";
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    const auto lines = SplitLines(content);
    std::string out;

    if (const auto range = FindSection(lines, section)) {
        for (std::size_t i = range->first; i < range->last; ++i) {
            const auto parsed = ParseKeyLine(lines[i].text);
            if (parsed && SameName(parsed->key, key)) {
                out = content.substr(0, lines[i].start) + keyLine + content.substr(lines[i].end);
                return Replace(file, out, exists);
            }
        }
        // After the section's last non-blank line.
        std::size_t after = range->header;
        for (std::size_t i = range->first; i < range->last; ++i) {
            if (!Trim(lines[i].text).empty()) {
                after = i;
            }
        }
        const Line& anchor = lines[after];
        const bool anchorEnded = anchor.next > 0 && content[anchor.next - 1] == '\n';
        out = content.substr(0, anchor.next);
        if (!anchorEnded) {
            out += eol;
        }
        out += keyLine + eol;
        out += content.substr(anchor.next);
        return Replace(file, out, exists);
    }

    out = content;
    if (!out.empty() && out.back() != '\n') {
        out += eol;
    }
    out += "[" + std::string(section) + "]" + eol + keyLine + eol;
    return Replace(file, out, exists);
}

} // namespace orvanta::config
