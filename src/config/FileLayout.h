#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

namespace orvanta::config {

// Where the program keeps its files. Two layouts, told apart by the executable's own path,
// never by the current directory:
// - portable: a config/ folder stands beside the executable's folder (a program folder such
//   as build/dist/): config/Config.ini, config/Int.smf, config/Mod.3DS, data/, picture/;
// - installed: the configuration in $XDG_CONFIG_HOME/orvanta (~/.config/orvanta), CSV files
//   in the documents folder's Orvanta/, pictures in the pictures folder's Orvanta/, the
//   shipped skin and model in share/orvanta beside the executable's folder; an Int.smf or
//   Mod.3DS of the user's own in the configuration folder takes their place.
// Folders are not created here: each is made when first written to.
struct FileLayout {
    bool portable = false;
    std::filesystem::path configFile;
    std::filesystem::path skinFile;
    std::filesystem::path modelFile;
    std::filesystem::path dataDirectory; // CSV files, unless PATH says otherwise
    std::filesystem::path pictureDirectory;
};

// What the installed layout takes from the environment. Values that are not absolute
// paths count as unset, as the XDG base directory rules say.
struct UserEnvironment {
    std::string home;         // HOME, else the user's entry in the password database
    std::string configHome;   // XDG_CONFIG_HOME
    std::string documentsDir; // XDG_DOCUMENTS_DIR
    std::string picturesDir;  // XDG_PICTURES_DIR

    static UserEnvironment FromProcess();
};

// The layout of a program folder root (the folder that holds bin/ and config/).
FileLayout PortableLayout(const std::filesystem::path& root);

// The layout for the program file at executable (its real path). The documents and
// pictures folders come from the environment, else from user-dirs.dirs in the configuration
// home (what the desktop's folder settings write), else ~/Documents and ~/Pictures.
FileLayout FindFileLayout(const std::filesystem::path& executable, const UserEnvironment& user);

// The running program's layout, from /proc/self/exe and the process environment.
FileLayout ProgramFileLayout();

// Where the program keeps its files, for the usage text.
void PrintFileLayout(std::ostream& out, const FileLayout& files);

// The folder that stands for "/" when the ports are looked for: ORVANTA_SYSTEM_ROOT when it
// is set (tests show the program a fake machine that way), "/" otherwise.
std::filesystem::path PortSearchRoot();

} // namespace orvanta::config
