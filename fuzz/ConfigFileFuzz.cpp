// Fuzz target: the configuration file reader (private-profile format) and one rewrite.
// The input is the whole file; it is written to a file of this process on /dev/shm (or
// the temporary folder), read the way window initialisation and start-up read it, then
// one key is written and read back.
#include "config/ConfigFile.h"
#include "config/ConfigValues.h"
#include "config/LanguageChoice.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The folder is removed at exit; both paths live until then (never destroyed).
const fs::path* g_folder = nullptr;

const fs::path& FilePath() {
    static const fs::path* path = [] {
        fs::path folder = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        folder /= "orvanta-fuzz-config-" + std::to_string(::getpid());
        fs::create_directories(folder);
        g_folder = new fs::path(folder);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(*g_folder, ec);
        });
        return new fs::path(folder / "Config.ini");
    }();
    return *path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta::config;
    const fs::path& path = FilePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ConfigFile file(path);
    const ConfigValues values = ReadConfigValues(file, "/data");
    if (values.model.size() > 1023 || values.com.size() > 1023 || values.path.size() > 1023) {
        std::abort(); // reads keep at most 1023 characters
    }
    const std::string language = file.ReadLanguage();
    if (language.size() > 3) {
        std::abort();
    }
    (void)ChooseLanguage(path, false);
    (void)file.ReadInt("BAUD", 7);

    // A rewrite keeps the file readable and the key then reads as written.
    if (file.WriteString(config_key::kModel, "VK200-210") == ProfileStatus::Ok) {
        if (file.ReadString(config_key::kModel, "") != "VK200-210") {
            std::abort();
        }
    }
    return 0;
}
