#include "config/PrivateProfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvanta::config {
namespace {

enum class ReadResult { Ok, Missing, Failed, TooLarge };

// Reads at most kMaxProfileBytes; TooLarge still fills `content` with that much.
ReadResult ReadWhole(const std::filesystem::path& file, std::string& content) {
    content.clear();
    // Non-blocking, so that a FIFO in the file's place cannot hang the program.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    content.reserve(
        std::min<std::size_t>(static_cast<std::size_t>(info.st_size), kMaxProfileBytes));
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

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view WithoutBom(std::string_view content) {
    if (content.starts_with(kBom)) {
        content.remove_prefix(kBom.size());
    }
    return content;
}

std::optional<std::string> FindValue(const std::filesystem::path& file, std::string_view section,
                                     std::string_view key) {
    std::string content;
    const ReadResult read = ReadWhole(file, content);
    if (read == ReadResult::Missing || read == ReadResult::Failed) {
        return std::nullopt;
    }
    const auto lines = SplitLines(WithoutBom(content));
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

bool BadText(std::string_view section, std::string_view key, std::string_view value) {
    return section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
           HasLineBreak(value) || section.find(']') != std::string_view::npos ||
           key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
           Trim(key) != key || Trim(section) != section;
}

// The content (without a byte order mark) with key set to value in section.
std::string WithKey(const std::string& content, std::string_view section, std::string_view key,
                    std::string_view value) {
    const std::size_t firstFeed = content.find('\n');
    const std::string eol =
        firstFeed != std::string::npos && firstFeed > 0 && content[firstFeed - 1] == '\r' ? "\r\n"
                                                                                          : "\n";
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    const auto lines = SplitLines(content);

    if (const auto range = FindSection(lines, section)) {
        for (std::size_t i = range->first; i < range->last; ++i) {
            const auto parsed = ParseKeyLine(lines[i].text);
            if (parsed && SameName(parsed->key, key)) {
                return content.substr(0, lines[i].start) + keyLine + content.substr(lines[i].end);
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
        std::string out = content.substr(0, anchor.next);
        if (!anchorEnded) {
            out += eol;
        }
        out += keyLine + eol;
        out += content.substr(anchor.next);
        return out;
    }

    std::string out = content;
    if (!out.empty() && out.back() != '\n') {
        out += eol;
    }
    out += "[" + std::string(section) + "]" + eol + keyLine + eol;
    return out;
}

// Where a write lands: the file itself, or the end of its chain of symbolic links, so that
// a link the user made (to a shared or versioned file) stays a link.
std::filesystem::path WriteTarget(const std::filesystem::path& file) {
    std::filesystem::path target = file;
    for (int hop = 0; hop < 40; ++hop) { // the kernel's own limit; a loop then fails to open
        std::error_code ec;
        if (!std::filesystem::is_symlink(target, ec)) {
            break;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec) {
            break;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

// The writers' lock of one profile, held for the object's lifetime.
class WriterLock {
public:
    explicit WriterLock(const std::filesystem::path& target) {
        const std::string name = target.string() + ".lock";
        // Opened for writing where possible: NFS emulates flock with locks that need it.
        m_fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (m_fd < 0 && errno == EACCES) {
            m_fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        }
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ~WriterLock() {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

std::string TemporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    return target.string() + "." + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

// A new file beside target. The mode is given to open, so the umask applies as to any new
// file (mkstemp would make it 0600).
int CreateNamed(const std::filesystem::path& target, mode_t mode, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(target);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Gives an unnamed (O_TMPFILE) file a name beside target, just before the rename.
bool GiveName(int fd, const std::filesystem::path& target, std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            name.clear();
            return false;
        }
    }
    name.clear();
    return false;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // the rename itself survives a power cut
        ::close(fd);
    }
}

// Replaces the target's contents by renaming a synced copy over it. The copy has no name
// until it is complete where the file system allows (O_TMPFILE), so a writer killed midway
// leaves nothing behind. An existing file that cannot be opened for writing
// (write-protected) is refused as the platform's profile calls refuse it.
ProfileStatus Replace(const std::filesystem::path& target, const std::string& data, bool exists) {
    struct stat info {};
    if (exists) {
        const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (probe < 0) {
            return ProfileStatus::CannotWrite;
        }
        const bool known = ::fstat(probe, &info) == 0;
        ::close(probe);
        if (!known) {
            return ProfileStatus::CannotWrite;
        }
    }
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    const mode_t createMode = exists ? 0600 : 0666;
    for (const bool unnamed : {true, false}) {
        std::string name;
        const int fd = unnamed
                           ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode)
                           : CreateNamed(target, createMode, name);
        if (fd < 0) {
            if (unnamed) {
                continue; // a file system without unnamed files
            }
            return ProfileStatus::CannotWrite;
        }
        bool written = true;
        if (exists) {
            // Root rewriting a user's file leaves it the user's; others cannot and need not.
            [[maybe_unused]] const int owned = ::fchown(fd, info.st_uid, info.st_gid);
            written = ::fchmod(fd, info.st_mode & 07777) == 0;
        }
        written = written && WriteAll(fd, data) && ::fsync(fd) == 0;
        const bool named = written && (!unnamed || GiveName(fd, target, name));
        const bool closed = ::close(fd) == 0;
        if (named && closed && ::rename(name.c_str(), target.c_str()) == 0) {
            SyncFolder(folder);
            return ProfileStatus::Ok;
        }
        if (!name.empty()) {
            ::unlink(name.c_str());
        }
        if (!written || !closed || !unnamed || named) {
            return ProfileStatus::CannotWrite;
        }
        // No /proc to name the unnamed copy by: once more with a named one.
    }
    return ProfileStatus::CannotWrite;
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
    const ProfileEntry entry{key, std::string(value)};
    return WriteProfileStrings(file, section, std::span<const ProfileEntry>(&entry, 1));
}

ProfileStatus WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                                  std::span<const ProfileEntry> entries) {
    for (const ProfileEntry& entry : entries) {
        if (BadText(section, entry.key, entry.value)) {
            return ProfileStatus::BadText;
        }
    }
    const std::filesystem::path target = WriteTarget(file);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return ProfileStatus::CannotRead; // a folder or device in its place: no lock file
    }
    const WriterLock lock(target);
    if (!lock.Held()) {
        return ProfileStatus::CannotWrite;
    }
    // Read under the lock, so that what another writer just stored is kept.
    std::string content;
    const ReadResult read = ReadWhole(target, content);
    if (read == ReadResult::Failed) {
        return ProfileStatus::CannotRead;
    }
    if (read == ReadResult::TooLarge) {
        return ProfileStatus::TooLarge;
    }
    const std::size_t bomSize = content.size() - WithoutBom(content).size();
    std::string body = content.substr(bomSize);
    for (const ProfileEntry& entry : entries) {
        body = WithKey(body, section, entry.key, entry.value);
    }
    return Replace(target, content.substr(0, bomSize) + body, read == ReadResult::Ok);
}

ProfileStatus CheckProfileReadable(const std::filesystem::path& file) {
    std::string content;
    switch (ReadWhole(file, content)) {
    case ReadResult::Failed:
        return ProfileStatus::CannotRead;
    case ReadResult::TooLarge:
        return ProfileStatus::TooLarge;
    default:
        return ProfileStatus::Ok;
    }
}

} // namespace orvanta::config
