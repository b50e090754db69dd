#pragma once

#include "support/TempDir.h"

#include <filesystem>
#include <string>

// What the tests of a whole program start from: its folder and the message boxes it raised.
namespace orvanta::testing {

// A message box the program raised.
struct Shown {
    std::string caption;
    std::string text;
};

// A fresh program folder (bin/, config/; data/ appears with the first recording).
class ProgramFolder {
public:
    ProgramFolder() {
        std::filesystem::create_directories(root() / "bin");
        std::filesystem::create_directories(root() / "config");
    }
    std::filesystem::path root() const { return dir_.path(); }
    std::filesystem::path bin() const { return root() / "bin"; }
    std::filesystem::path config() const { return root() / "config" / "Config.ini"; }
    std::filesystem::path data() const { return root() / "data"; }
    void WriteConfig(const std::string& text) const { WriteFile(config(), text); }
    std::string ReadConfig() const { return ReadFile(config()); }
    static std::string ReadFile(const std::filesystem::path& path) {
        return orvanta::testing::ReadFile(path);
    }

private:
    TempDir dir_;
};

} // namespace orvanta::testing
