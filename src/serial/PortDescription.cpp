#include "serial/PortDescription.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace orvanta::serial {

namespace fs = std::filesystem;

namespace {

// USB strings come from the device: control characters (a tab would split a line of the
// port listing) become blanks, and a runaway string is cut.
std::string ReadAttribute(const fs::path& file) {
    constexpr std::size_t kMaxLength = 126;
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    if (text.size() > kMaxLength) {
        text.resize(kMaxLength);
    }
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string DriverName(const fs::path& deviceDir) {
    std::error_code ec;
    return fs::read_symlink(deviceDir / "driver", ec).filename().string();
}

bool Inside(const fs::path& dir, const fs::path& root) {
    const std::string prefix = root.string() + "/";
    return dir.string().compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::string DescribePort(const std::string& sysfsRoot, const std::string& devicePath) {
    std::error_code ec;
    const fs::path device = fs::canonical(devicePath, ec);
    const std::string name = (ec ? fs::path(devicePath) : device).filename().string();
    const fs::path root = fs::canonical(sysfsRoot, ec);
    if (ec || name.empty()) {
        return {};
    }
    fs::path dir = fs::canonical(root / "class" / "tty" / name / "device", ec);
    if (ec) {
        return {};
    }
    // From the port's device up: the first real driver (the serial core's own "port" and
    // "ctrl" devices stand between a legacy port and its driver since Linux 6.5), and the
    // USB device the port hangs on, if any.
    std::string driver;
    for (; Inside(dir, root); dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec)) {
            std::string text = ReadAttribute(dir / "manufacturer");
            const std::string product = ReadAttribute(dir / "product");
            if (!product.empty()) {
                text += (text.empty() ? "" : " ") + product;
            }
            if (text.empty()) {
                text = driver;
            }
            const std::string serial = ReadAttribute(dir / "serial");
            if (!serial.empty()) {
                text += (text.empty() ? "(" : " (") + serial + ")";
            }
            return text;
        }
        const std::string found = DriverName(dir);
        if (driver.empty() && found != "port" && found != "ctrl") {
            driver = found;
        }
    }
    return driver;
}

} // namespace orvanta::serial
