#include "config/FileLayout.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <pwd.h>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace orvanta::config {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderName = "orvanta";
constexpr const char* kUserFolderName = "Orvanta";

std::string AbsoluteOrEmpty(const char* value) {
    return value && value[0] == '/' ? std::string(value) : std::string();
}

// One entry of user-dirs.dirs: KEY="$HOME/folder" or KEY="/absolute/folder", with shell
// escapes; empty when the key is missing or its value is neither.
std::string UserDirsEntry(const fs::path& file, std::string_view key, const fs::path& home) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::string_view text(line);
        if (text.substr(0, key.size()) != key || text.substr(key.size(), 2) != "=\"") {
            continue;
        }
        const std::size_t close = text.rfind('"');
        if (close <= key.size() + 1) {
            continue;
        }
        std::string value;
        const std::string_view quoted = text.substr(key.size() + 2, close - key.size() - 2);
        for (std::size_t i = 0; i < quoted.size(); ++i) {
            if (quoted[i] == '\\' && i + 1 < quoted.size()) {
                ++i;
            }
            value += quoted[i];
        }
        const std::string_view homeVariable = "$HOME";
        if (value.rfind(homeVariable, 0) == 0 &&
            (value.size() == homeVariable.size() || value[homeVariable.size()] == '/')) {
            return (home / value.substr(std::min(value.size(), homeVariable.size() + 1)))
                .lexically_normal()
                .string();
        }
        return value.rfind('/', 0) == 0 ? value : std::string();
    }
    return {};
}

fs::path UserFolder(const std::string& fromEnvironment, const fs::path& userDirs,
                    std::string_view key, const fs::path& home, const char* fallback) {
    if (!fromEnvironment.empty()) {
        return fromEnvironment;
    }
    const std::string listed = UserDirsEntry(userDirs, key, home);
    return listed.empty() ? home / fallback : fs::path(listed);
}

// The user's own copy in the configuration folder, else the shipped file.
fs::path OwnOrShipped(const fs::path& configFolder, const fs::path& shared, const char* name) {
    std::error_code ec;
    const fs::path own = configFolder / name;
    return fs::is_regular_file(own, ec) ? own : shared / name;
}

} // namespace

UserEnvironment UserEnvironment::FromProcess() {
    UserEnvironment user;
    user.home = AbsoluteOrEmpty(std::getenv("HOME"));
    if (user.home.empty()) {
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
            user.home = AbsoluteOrEmpty(found->pw_dir);
        }
    }
    user.configHome = AbsoluteOrEmpty(std::getenv("XDG_CONFIG_HOME"));
    user.documentsDir = AbsoluteOrEmpty(std::getenv("XDG_DOCUMENTS_DIR"));
    user.picturesDir = AbsoluteOrEmpty(std::getenv("XDG_PICTURES_DIR"));
    return user;
}

FileLayout PortableLayout(const fs::path& root) {
    FileLayout layout;
    layout.portable = true;
    layout.configFile = root / "config" / "Config.ini";
    layout.skinFile = root / "config" / "Int.smf";
    layout.modelFile = root / "config" / "Mod.3DS";
    layout.dataDirectory = root / "data";
    layout.pictureDirectory = root / "picture";
    return layout;
}

FileLayout FindFileLayout(const fs::path& executable, const UserEnvironment& user) {
    const fs::path root = executable.parent_path().parent_path();
    std::error_code ec;
    if (fs::is_directory(root / "config", ec)) {
        return PortableLayout(root);
    }
    // Without a home of any kind, the root folder rather than the current directory.
    const fs::path home = user.home.empty() ? fs::path("/") : fs::path(user.home);
    const fs::path configHome =
        user.configHome.empty() ? home / ".config" : fs::path(user.configHome);
    const fs::path configFolder = configHome / kFolderName;
    const fs::path userDirs = configHome / "user-dirs.dirs";
    const fs::path shared = root / "share" / kFolderName;

    FileLayout layout;
    layout.configFile = configFolder / "Config.ini";
    layout.skinFile = OwnOrShipped(configFolder, shared, "Int.smf");
    layout.modelFile = OwnOrShipped(configFolder, shared, "Mod.3DS");
    layout.dataDirectory =
        UserFolder(user.documentsDir, userDirs, "XDG_DOCUMENTS_DIR", home, "Documents") /
        kUserFolderName;
    layout.pictureDirectory =
        UserFolder(user.picturesDir, userDirs, "XDG_PICTURES_DIR", home, "Pictures") /
        kUserFolderName;
    return layout;
}

FileLayout ProgramFileLayout() {
    std::error_code ec;
    fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !executable.is_absolute()) {
        // No /proc: where the package puts the program.
        executable = "/usr/bin/orvanta";
    }
    return FindFileLayout(executable, UserEnvironment::FromProcess());
}

void PrintFileLayout(std::ostream& out, const FileLayout& files) {
    out << "\nFiles (" << (files.portable ? "portable" : "installed") << " layout):\n"
        << "  configuration  " << files.configFile.string() << '\n'
        << "  skin           " << files.skinFile.string() << '\n'
        << "  3D model       " << files.modelFile.string() << '\n'
        << "  CSV files      " << files.dataDirectory.string()
        << " (unless PATH in the configuration says otherwise)\n"
        << "  pictures       " << files.pictureDirectory.string() << '\n';
}

std::filesystem::path PortSearchRoot() {
    const char* root = std::getenv("ORVANTA_SYSTEM_ROOT");
    return root != nullptr && *root != '\0' ? root : "/";
}

} // namespace orvanta::config
