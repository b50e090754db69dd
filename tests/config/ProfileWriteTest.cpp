// Writes of the profile from several processes at once, writers killed midway, and the
// file's own marks (byte order mark, links) kept.
#include "ConfigTestSupport.h"
#include "config/ConfigFile.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvanta::config {
namespace {

using testing::ReadFile;
using testing::WriteFile;

// A child process that writes key=0, 1, 2, ... (count times, or until killed).
pid_t StartWriter(const std::filesystem::path& file, const char* key, int count) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ConfigFile ini(file);
        for (int i = 0; count < 0 || i < count; ++i) {
            if (ini.WriteInt(key, i) != ProfileStatus::Ok) {
                ::_exit(1);
            }
        }
        ::_exit(0);
    }
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whole: the comment that opens it, the section and a final line end.
bool Whole(const std::string& text, const std::string& head) {
    return text.starts_with(head + "[Config]\n") && text.ends_with("\n");
}

TEST(ProfileWriteTest, TwoProcessesWritingDifferentKeysLoseNeither) {
    testing::TempDir dir;
    const auto file = dir.path() / "Config.ini";
    const std::string head = "; kept\n";
    WriteFile(file, head + "[Config]\nMODEL=VK100\n");
    constexpr int kWrites = 200;
    const pid_t first = StartWriter(file, "BAUD", kWrites);
    const pid_t second = StartWriter(file, "PARITY", kWrites);
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        torn += Whole(ReadFile(file), head) ? 0 : 1;
    }
    EXPECT_EQ(ExitCode(first), 0);
    EXPECT_EQ(ExitCode(second), 0);
    EXPECT_EQ(torn, 0);
    const ConfigFile ini(file);
    EXPECT_EQ(ini.ReadInt("BAUD", -1), kWrites - 1);
    EXPECT_EQ(ini.ReadInt("PARITY", -1), kWrites - 1);
    EXPECT_EQ(ini.ReadString("MODEL", ""), "VK100");
}

TEST(ProfileWriteTest, AKilledWriterLeavesTheOldFileOrTheNew) {
    testing::TempDir dir;
    const auto file = dir.path() / "Config.ini";
    // Large enough that a write takes a while to be caught in.
    const std::string head = "; " + std::string(512 * 1024, 'x') + "\n";
    WriteFile(file, head + "[Config]\nCOM=0\n");
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        const pid_t writer = StartWriter(file, "COM", -1);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(writer, SIGKILL);
        EXPECT_EQ(ExitCode(writer), -1);
        const std::string text = ReadFile(file);
        ASSERT_TRUE(Whole(text, head)) << "round " << round << ", " << text.size() << " bytes";
        EXPECT_GE(ConfigFile(file).ReadInt("COM", -1), 0);
    }
}

// A byte order mark is read past and written back; a link is written through to its target.
TEST(ProfileWriteTest, ByteOrderMarkAndLinksAreKept) {
    testing::TempDir dir;
    const std::string bom = "\xEF\xBB\xBF";
    const auto file = dir.path() / "Config.ini";
    WriteFile(file, bom + "[Config]\r\nLANGUAGE=EN\r\n");
    ConfigFile ini(file);
    EXPECT_EQ(ini.ReadLanguage(), "EN");
    ASSERT_EQ(ini.WriteString("MODEL", "VN300"), ProfileStatus::Ok);
    EXPECT_EQ(ReadFile(file), bom + "[Config]\r\nLANGUAGE=EN\r\nMODEL=VN300\r\n");

    const auto target = dir.path() / "shared" / "orvanta.ini";
    std::filesystem::create_directory(target.parent_path());
    for (const auto& link : {dir.path() / "Linked.ini", dir.path() / "Dangling.ini"}) {
        if (link.filename() == "Linked.ini") {
            WriteFile(target, "[Config]\nMODEL=VK100\n");
            std::filesystem::create_symlink("shared/orvanta.ini", link);
        } else {
            std::filesystem::remove(target);
            std::filesystem::create_symlink(target, link);
        }
        ASSERT_EQ(ConfigFile(link).WriteInt("BAUD", 3), ProfileStatus::Ok) << link;
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(ConfigFile(target).ReadInt("BAUD", 0), 3) << link;
    }
}

} // namespace
} // namespace orvanta::config
