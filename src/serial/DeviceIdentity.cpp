#include "serial/DeviceIdentity.h"

#include "serial/PortDiscovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orvanta::serial {

namespace {

namespace fs = std::filesystem;

struct UsbId {
    std::string vendorId, productId, serial;
    bool operator==(const UsbId&) const = default;
};

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    while (!value.empty() &&
           (value.back() == '\n' || value.back() == '\r' || value.back() == ' ')) {
        value.pop_back();
    }
    return value;
}

fs::path Canonical(const fs::path& path) {
    std::error_code ec;
    fs::path result = fs::canonical(path, ec);
    return ec ? fs::path() : result;
}

// The USB device above the tty: the first parent of its sysfs device with an idVendor.
std::optional<UsbId> UsbOf(const std::string& ttyName, const std::string& sysfsRoot) {
    if (ttyName.empty()) {
        return std::nullopt;
    }
    const fs::path root = Canonical(sysfsRoot);
    fs::path dir = Canonical(fs::path(sysfsRoot) / "class" / "tty" / ttyName / "device");
    if (root.empty() || dir.empty()) {
        return std::nullopt;
    }
    for (; dir != root && dir.has_relative_path(); dir = dir.parent_path()) {
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec)) {
            return UsbId{ReadAttribute(dir / "idVendor"), ReadAttribute(dir / "idProduct"),
                         ReadAttribute(dir / "serial")};
        }
    }
    return std::nullopt;
}

// The name of the node path leads to, when it lies in the device folder.
std::string NodeNameOf(const std::string& path, const std::string& deviceDir) {
    const fs::path target = Canonical(path);
    if (target.empty() || target.parent_path() != Canonical(deviceDir)) {
        return {};
    }
    return target.filename().string();
}

// Whether path leads to a terminal: a pty or tty character device, or a node that sysfs
// files as a tty (which is how the kernel tells, without opening it).
bool LeadsToTerminal(const std::string& path, const std::string& sysfsRoot,
                     const std::string& deviceDir) {
    const fs::path target = Canonical(path);
    if (target.empty()) {
        return false;
    }
    if (IsTerminalDevice(target.string(), sysfsRoot)) {
        return true;
    }
    const std::string node = NodeNameOf(path, deviceDir);
    std::error_code ec;
    return !node.empty() && fs::exists(fs::path(sysfsRoot) / "class" / "tty" / node, ec);
}

} // namespace

DeviceIdentity IdentifyDevice(const std::string& devicePath, const std::string& sysfsRoot,
                              const std::string& deviceDir) {
    DeviceIdentity identity;
    identity.path = devicePath;
    std::error_code ec;
    identity.pathIsLink = fs::is_symlink(devicePath, ec);
    const fs::path target = Canonical(devicePath);
    if (target.empty()) {
        return identity;
    }
    identity.nodeName = NodeNameOf(devicePath, deviceDir);
    const fs::path byId = fs::path(deviceDir) / "serial" / "by-id";
    for (const auto& entry : fs::directory_iterator(byId, ec)) {
        if (entry.is_symlink(ec) && Canonical(entry.path()) == target) {
            identity.byIdLink = entry.path().string();
            break;
        }
    }
    if (const auto usb = UsbOf(identity.nodeName, sysfsRoot)) {
        identity.vendorId = usb->vendorId;
        identity.productId = usb->productId;
        identity.serial = usb->serial;
    }
    return identity;
}

std::string ShortPortName(const DeviceIdentity& identity) {
    if (identity.HasUsbSerial()) {
        return identity.serial;
    }
    if (!identity.nodeName.empty()) {
        return identity.nodeName;
    }
    const fs::path path(identity.path);
    const std::string parent = path.parent_path().filename().string();
    return (parent == "pts" ? parent : std::string()) + path.filename().string();
}

std::optional<std::string> FindDevice(const DeviceIdentity& identity, const std::string& sysfsRoot,
                                      const std::string& deviceDir) {
    const UsbId wanted{identity.vendorId, identity.productId, identity.serial};
    // Without a serial two adapters of one kind look alike: only the old node will do.
    const auto sameUsb = [&](const std::string& node) {
        const auto usb = UsbOf(node, sysfsRoot);
        if (!usb) {
            return false;
        }
        if (identity.HasUsbSerial()) {
            return *usb == wanted;
        }
        return node == identity.nodeName && usb->vendorId == wanted.vendorId &&
               usb->productId == wanted.productId && usb->serial.empty();
    };
    if (LeadsToTerminal(identity.path, sysfsRoot, deviceDir) &&
        (!identity.IsUsb() || sameUsb(NodeNameOf(identity.path, deviceDir)))) {
        return identity.path;
    }
    if (!identity.byIdLink.empty() && LeadsToTerminal(identity.byIdLink, sysfsRoot, deviceDir)) {
        const std::string node = NodeNameOf(identity.byIdLink, deviceDir);
        if (!node.empty() && (!identity.IsUsb() || sameUsb(node))) {
            return (fs::path(deviceDir) / node).string();
        }
    }
    if (!identity.HasUsbSerial()) {
        return std::nullopt;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(sysfsRoot) / "class" / "tty", ec)) {
        const std::string node = entry.path().filename().string();
        const std::string path = (fs::path(deviceDir) / node).string();
        if (sameUsb(node) && fs::exists(path, ec)) {
            return path;
        }
    }
    return std::nullopt;
}

std::vector<std::string> WatchFolders(const DeviceIdentity& identity,
                                      const std::string& deviceDir) {
    const fs::path dev(deviceDir);
    std::vector<std::string> folders{dev.string(), (dev / "serial").string(),
                                     (dev / "serial" / "by-id").string()};
    if (identity.pathIsLink) {
        const std::string own = fs::path(identity.path).parent_path().string();
        if (std::find(folders.begin(), folders.end(), own) == folders.end()) {
            folders.push_back(own);
        }
    }
    return folders;
}

} // namespace orvanta::serial
