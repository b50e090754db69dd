#include "config/FileLayout.h"

#include "ConfigTestSupport.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace orvanta::config {
namespace {

namespace fs = std::filesystem;
using testing::WriteFile;

// A program folder t/prog (bin/, config/) and an installed tree t/usr (bin/, share/orvanta/)
// with a home t/home.
class FileLayoutTest : public ::testing::Test {
protected:
    FileLayoutTest() {
        fs::create_directories(T() / "prog" / "bin");
        fs::create_directories(T() / "prog" / "config");
        fs::create_directories(T() / "usr" / "bin");
        fs::create_directories(T() / "usr" / "share" / "orvanta");
        fs::create_directories(T() / "home" / ".config");
    }
    fs::path T() const { return dir_.path(); }

    testing::TempDir dir_;
};

TEST_F(FileLayoutTest, PortableBesideConfigInstalledElsewhere) {
    struct Case {
        const char* name;
        std::function<void(UserEnvironment&)> prepare;
        const char* executable;
        // Expected, relative to the temporary folder ("/" + ... when absolute).
        const char *config, *skin, *model, *data, *pictures;
    };
    const fs::path own = T() / "home" / ".config" / "orvanta";
    const Case cases[] = {
        {"portable", nullptr, "prog/bin/orvanta", "prog/config/Config.ini", "prog/config/Int.smf",
         "prog/config/Mod.3DS", "prog/data", "prog/picture"},
        {"installed, nothing set", nullptr, "usr/bin/orvanta", "home/.config/orvanta/Config.ini",
         "usr/share/orvanta/Int.smf", "usr/share/orvanta/Mod.3DS", "home/Documents/Orvanta",
         "home/Pictures/Orvanta"},
        {"XDG variables",
         [this](UserEnvironment& user) {
             user.configHome = (T() / "xdg").string();
             user.documentsDir = (T() / "docs").string();
             user.picturesDir = (T() / "pics").string();
         },
         "usr/bin/orvanta", "xdg/orvanta/Config.ini", "usr/share/orvanta/Int.smf",
         "usr/share/orvanta/Mod.3DS", "docs/Orvanta", "pics/Orvanta"},
        {"user-dirs.dirs",
         [this](UserEnvironment&) {
             WriteFile(T() / "home" / ".config" / "user-dirs.dirs",
                       "# written by xdg-user-dirs-update\n"
                       "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                       "XDG_DOCUMENTS_DIR=\"$HOME/Meine \\\"Dokumente\\\"\"\n"
                       "XDG_PICTURES_DIR=\"" +
                           (T() / "Bilder").string() + "\"\n");
         },
         "usr/bin/orvanta", "home/.config/orvanta/Config.ini", "usr/share/orvanta/Int.smf",
         "usr/share/orvanta/Mod.3DS", "home/Meine \"Dokumente\"/Orvanta", "Bilder/Orvanta"},
        {"user-dirs.dirs with a relative value",
         [this](UserEnvironment&) {
             WriteFile(T() / "home" / ".config" / "user-dirs.dirs",
                       "XDG_DOCUMENTS_DIR=\"Documents2\"\nXDG_PICTURES_DIR=\"$HOMEX/p\"\n");
         },
         "usr/bin/orvanta", "home/.config/orvanta/Config.ini", "usr/share/orvanta/Int.smf",
         "usr/share/orvanta/Mod.3DS", "home/Documents/Orvanta", "home/Pictures/Orvanta"},
        {"the user's own skin and model",
         [own](UserEnvironment&) {
             fs::create_directories(own);
             WriteFile(own / "Int.smf", "[ACC_68_DL]\n");
             WriteFile(own / "Mod.3DS", "MM");
         },
         "usr/bin/orvanta", "home/.config/orvanta/Config.ini", "home/.config/orvanta/Int.smf",
         "home/.config/orvanta/Mod.3DS", "home/Documents/Orvanta", "home/Pictures/Orvanta"},
        {"no home at all", [](UserEnvironment& user) { user.home.clear(); }, "usr/bin/orvanta",
         "/.config/orvanta/Config.ini", "usr/share/orvanta/Int.smf", "usr/share/orvanta/Mod.3DS",
         "/Documents/Orvanta", "/Pictures/Orvanta"},
    };
    for (const Case& c : cases) {
        fs::remove_all(own);
        fs::remove(T() / "home" / ".config" / "user-dirs.dirs");
        UserEnvironment user;
        user.home = (T() / "home").string();
        if (c.prepare) {
            c.prepare(user);
        }
        const auto expected = [this](const char* path) {
            return path[0] == '/' ? fs::path(path) : T() / path;
        };
        const FileLayout layout = FindFileLayout(T() / c.executable, user);
        EXPECT_EQ(layout.portable, std::string(c.name) == "portable") << c.name;
        EXPECT_EQ(layout.configFile, expected(c.config)) << c.name;
        EXPECT_EQ(layout.skinFile, expected(c.skin)) << c.name;
        EXPECT_EQ(layout.modelFile, expected(c.model)) << c.name;
        EXPECT_EQ(layout.dataDirectory, expected(c.data)) << c.name;
        EXPECT_EQ(layout.pictureDirectory, expected(c.pictures)) << c.name;
    }
}

TEST(UserEnvironmentTest, RelativeValuesCountAsUnset) {
    const char* const names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR",
                                 "XDG_PICTURES_DIR"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : names) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    ::setenv("XDG_DOCUMENTS_DIR", "/srv/documents", 1);
    ::unsetenv("XDG_PICTURES_DIR");
    const UserEnvironment user = UserEnvironment::FromProcess();
    EXPECT_EQ(user.home, "/home/someone");
    EXPECT_EQ(user.configHome, "");
    EXPECT_EQ(user.documentsDir, "/srv/documents");
    EXPECT_EQ(user.picturesDir, "");
    ::setenv("HOME", "", 1);
    EXPECT_TRUE(UserEnvironment::FromProcess().home.rfind('/', 0) == 0); // the password entry
    for (const auto& [name, value] : saved) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

} // namespace
} // namespace orvanta::config
