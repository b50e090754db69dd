#include "serial/PortDiscovery.h"

#include "serial/Tty.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>

namespace orvanta::serial {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadSmallFile(const fs::path& file) {
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// The sysfs `type` attribute of a serial core port (0: no UART); none without the file.
std::optional<int> UartType(const fs::path& ttyEntry) {
    const auto text = ReadSmallFile(ttyEntry / "type");
    if (!text) {
        return std::nullopt;
    }
    int type = 0;
    const char* end = text->data() + text->size();
    const auto result = std::from_chars(text->data(), end, type);
    if (result.ec != std::errc() || (result.ptr != end && *result.ptr != '\n')) {
        return std::nullopt;
    }
    return type;
}

// Driver links of the legacy 8250 slots: their own driver until Linux 6.5, then serial-base.
bool IsLegacySlotDriver(const fs::path& driverName) {
    return driverName == "serial8250" || driverName == "port";
}

fs::path Resolved(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(path, ec);
    return ec ? path : resolved;
}

} // namespace

std::size_t PortTable::used() const {
    std::size_t n = 0;
    while (n < kSlots && !slots[n].empty()) {
        ++n;
    }
    return n;
}

bool ProbeRealUart(const std::string& devicePath) {
    return tty::ProbeRealUart(devicePath);
}

bool NaturalLess(std::string_view a, std::string_view b) {
    auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei])) {
                ++ei;
            }
            while (ej < b.size() && isDigit(b[ej])) {
                ++ej;
            }
            // Compare the values without converting: skip leading zeros, then length, digits.
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') {
                ++si;
            }
            while (sj + 1 < ej && b[sj] == '0') {
                ++sj;
            }
            if (ei - si != ej - sj) {
                return ei - si < ej - sj;
            }
            const int c = a.substr(si, ei - si).compare(b.substr(sj, ej - sj));
            if (c != 0) {
                return c < 0;
            }
            if (ei - i != ej - j) {
                return ei - i < ej - j; // fewer leading zeros first
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

void EnumeratePorts(PortTable& table, const std::string& sysfsRoot, const UartProbe& probe,
                    const std::string& deviceDir) {
    for (auto& slot : table.slots) {
        slot.clear();
    }
    const std::vector<std::string> consoles = ActiveConsolePorts(sysfsRoot, deviceDir);
    std::vector<std::string> found;
    std::error_code ec;
    fs::directory_iterator it(fs::path(sysfsRoot) / "class" / "tty", ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path entry = it->path();
        std::error_code linkError;
        const fs::path driver = fs::read_symlink(entry / "device" / "driver", linkError);
        if (linkError || driver.filename().empty()) {
            continue; // virtual terminals and ptys have no driver
        }
        const std::string devicePath = (fs::path(deviceDir) / entry.filename()).string();
        if (const auto type = UartType(entry)) {
            if (*type == 0) {
                continue; // a port slot without a UART behind it
            }
        } else if (IsLegacySlotDriver(driver.filename()) &&
                   std::find(consoles.begin(), consoles.end(), devicePath) == consoles.end() &&
                   !(probe && probe(devicePath))) {
            continue;
        }
        found.push_back(devicePath);
    }
    std::sort(found.begin(), found.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    const std::size_t n = std::min(found.size(), PortTable::kSlots);
    for (std::size_t i = 0; i < n; ++i) {
        table.slots[i] = found[i];
    }
}

std::vector<std::string> FillPortList(PortTable& table, const std::string& sysfsRoot,
                                      const UartProbe& probe, const std::string& configuredPath,
                                      const std::string& deviceDir) {
    EnumeratePorts(table, sysfsRoot, probe, deviceDir);
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < PortTable::kSlots && !table.slots[i].empty(); ++i) {
        entries.push_back(table.slots[i]);
    }
    if (!configuredPath.empty() &&
        std::find(entries.begin(), entries.end(), configuredPath) == entries.end() &&
        IsTerminalDevice(configuredPath, sysfsRoot)) {
        entries.push_back(configuredPath);
    }
    return entries;
}

bool IsTerminalDevice(const std::string& path, const std::string& sysfsRoot) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned majorNumber = major(info.st_rdev);
    if (tty::IsPseudoTerminalMajor(majorNumber)) {
        return true; // devpts terminals have no sysfs entry
    }
    const fs::path node = fs::path(sysfsRoot) / "dev" / "char" /
                          (std::to_string(majorNumber) + ":" + std::to_string(minor(info.st_rdev)));
    std::error_code ec;
    const fs::path subsystem = fs::read_symlink(node / "subsystem", ec);
    return !ec && subsystem.filename() == "tty";
}

std::vector<std::string> ActiveConsolePorts(const std::string& sysfsRoot,
                                            const std::string& deviceDir) {
    std::vector<std::string> ports;
    const auto text = ReadSmallFile(fs::path(sysfsRoot) / "class" / "tty" / "console" / "active");
    if (!text) {
        return ports;
    }
    std::istringstream names(*text);
    for (std::string name; names >> name;) {
        if (name.find("..") == std::string::npos) {
            ports.push_back((fs::path(deviceDir) / name).string());
        }
    }
    return ports;
}

bool IsActiveConsole(const std::string& path, const std::string& sysfsRoot,
                     const std::string& deviceDir) {
    const fs::path resolved = Resolved(path);
    for (const std::string& console : ActiveConsolePorts(sysfsRoot, deviceDir)) {
        if (console == path || Resolved(console) == resolved) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> FallbackPortList() {
    std::vector<std::string> entries;
    for (int i = 0; i < 15; ++i) {
        entries.push_back("/dev/ttyS" + std::to_string(i));
    }
    return entries;
}

} // namespace orvanta::serial
