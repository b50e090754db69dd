#include "serial/PortDiscovery.h"

#include "serial/Tty.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace orvanta::serial {

namespace fs = std::filesystem;

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

void EnumeratePorts(PortTable& table, const std::string& sysfsRoot, const UartProbe& probe) {
    for (auto& slot : table.slots) {
        slot.clear();
    }
    std::vector<std::string> found;
    std::error_code ec;
    fs::directory_iterator it(fs::path(sysfsRoot) / "class" / "tty", ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        std::error_code linkError;
        const fs::path driver = fs::read_symlink(entry / "device" / "driver", linkError);
        if (linkError || driver.filename().empty()) {
            continue; // virtual terminals and ptys have no driver
        }
        const std::string devicePath = "/dev/" + name;
        if (driver.filename() == "serial8250" && !(probe && probe(devicePath))) {
            continue; // a legacy port slot without a UART behind it
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
                                      const UartProbe& probe, const std::string& configuredPath) {
    EnumeratePorts(table, sysfsRoot, probe);
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < PortTable::kSlots && !table.slots[i].empty(); ++i) {
        entries.push_back(table.slots[i]);
    }
    std::error_code ec;
    if (!configuredPath.empty() &&
        std::find(entries.begin(), entries.end(), configuredPath) == entries.end() &&
        fs::exists(configuredPath, ec)) {
        entries.push_back(configuredPath);
    }
    return entries;
}

std::vector<std::string> FallbackPortList() {
    std::vector<std::string> entries;
    for (int i = 0; i < 15; ++i) {
        entries.push_back("/dev/ttyS" + std::to_string(i));
    }
    return entries;
}

} // namespace orvanta::serial
