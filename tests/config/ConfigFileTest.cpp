#include "config/ConfigFile.h"

#include "ConfigTestSupport.h"
#include "config/ConfigValues.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvanta::config {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class CIniFileTest : public ::testing::Test {
protected:
    std::filesystem::path File() const { return dir_.path() / "Config.ini"; }
    testing::TempDir dir_;
};

TEST_F(CIniFileTest, CreationWritesTheSevenKeysInOrder) {
    ConfigFile ini(File());
    EXPECT_FALSE(ini.Exists());
    const ConfigValues inForce{"VN300", "ASCII", "/opt/orvanta/data", "/dev/ttyUSB1", 4, 2};
    EXPECT_EQ(CreateConfigFile(ini, inForce, 1), ProfileStatus::Ok);
    EXPECT_EQ(ReadFile(File()), "[Config]\nLANGUAGE=EN\nMODEL=VN300\nPROTOCOL=ASCII\n"
                                "COM=/dev/ttyUSB1\nBAUD=4\nPARITY=2\nPATH=/opt/orvanta/data\n");
    const ConfigValues values = ReadConfigValues(ini, "/elsewhere");
    EXPECT_EQ(values.model, "VN300");
    EXPECT_EQ(values.com, "/dev/ttyUSB1");
    EXPECT_EQ(values.baud, 4);
    EXPECT_EQ(values.path, "/opt/orvanta/data");
    EXPECT_EQ(CreateConfigFile(ini, inForce, 0), ProfileStatus::Ok);
    EXPECT_EQ(ini.ReadLanguage(), "CH");

    // A first start of the installed program: the folder is made, a file in its way fails.
    ConfigFile nested(dir_.path() / "config" / "orvanta" / "Config.ini");
    EXPECT_EQ(CreateConfigFile(nested, inForce, 1), ProfileStatus::Ok);
    EXPECT_TRUE(nested.Exists());
    WriteFile(dir_.path() / "blocked", "x");
    ConfigFile blocked(dir_.path() / "blocked" / "orvanta" / "Config.ini");
    EXPECT_EQ(CreateConfigFile(blocked, inForce, 1), ProfileStatus::CannotWrite);
}

// A new file is an ordinary file that the umask shapes; a rewrite keeps the file's mode.
TEST_F(CIniFileTest, NewFilesFollowTheUmaskAndRewritesKeepTheMode) {
    struct Case {
        mode_t umask;
        mode_t created;
    };
    for (const Case c : {Case{022, 0644}, Case{027, 0640}, Case{077, 0600}}) {
        std::filesystem::remove(File());
        const mode_t previous = ::umask(c.umask);
        const ProfileStatus status = ConfigFile(File()).WriteString("MODEL", "VN300");
        ::umask(previous);
        ASSERT_EQ(status, ProfileStatus::Ok);
        struct stat info {};
        ASSERT_EQ(::stat(File().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.created) << std::oct << c.umask;
    }
    ASSERT_EQ(::chmod(File().c_str(), 0664), 0);
    ASSERT_EQ(ConfigFile(File()).WriteInt("BAUD", 3), ProfileStatus::Ok);
    struct stat info {};
    ASSERT_EQ(::stat(File().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
}

TEST_F(CIniFileTest, MissingKeysTakeTheirDefaults) {
    WriteFile(File(), "[Config]\nPATH=\n");
    const ConfigValues values = ReadConfigValues(ConfigFile(File()), "/default/data");
    EXPECT_EQ(values.model, "VK100");
    EXPECT_EQ(values.protocol, "ASCII");
    EXPECT_EQ(values.com, "/dev/ttyS0");
    EXPECT_EQ(values.baud, 0);
    EXPECT_EQ(values.parity, 0);
    EXPECT_EQ(values.path, ""); // present but empty: not the default
    EXPECT_EQ(ReadConfigValues(ConfigFile(dir_.path() / "none.ini"), "/d").path, "/d");
}

TEST_F(CIniFileTest, NamesMatchWithoutCaseAndWritesReplaceInPlace) {
    WriteFile(File(), "; settings\n[other]\nmodel=X\n\n[config]\n  model = VN300  \n"
                      "baud=3\n\n[Tail]\nk=v\n");
    ConfigFile ini(File());
    EXPECT_EQ(ini.ReadString("MODEL", "VK100"), "VN300");
    EXPECT_EQ(ini.ReadInt("Baud", 0), 3);
    EXPECT_EQ(ini.WriteString("MODEL", "VK200-210"), ProfileStatus::Ok);
    EXPECT_EQ(ini.WriteInt("PARITY", 2), ProfileStatus::Ok);
    EXPECT_EQ(ReadFile(File()), "; settings\n[other]\nmodel=X\n\n[config]\nMODEL=VK200-210\n"
                                "baud=3\nPARITY=2\n\n[Tail]\nk=v\n");
}

// The window's publishing settings come back as written, beside the other keys, and the
// file holds the three keys and nothing more of them.
TEST_F(CIniFileTest, PublishSettingsRoundTrip) {
    WriteFile(File(), "[Config]\nLANGUAGE=EN\nCOM=/dev/ttyUSB0\n");
    ConfigFile ini(File());
    EXPECT_EQ(ReadPublishSettings(ini), PublishSettings{}) << "missing keys: off, no URL";
    const PublishSettings cases[] = {
        {"mqtt://robot@broker.lan:1884/lab/rig 2", "imu-left", true},
        {"mqtts://[::1]/a/b", "", false},
        {"", "", false},
    };
    for (const PublishSettings& settings : cases) {
        ASSERT_EQ(WritePublishSettings(ini, settings), ProfileStatus::Ok);
        EXPECT_EQ(ReadPublishSettings(ini), settings) << settings.url;
    }
    EXPECT_EQ(ReadFile(File()), "[Config]\nLANGUAGE=EN\nCOM=/dev/ttyUSB0\nMQTT_URL=\n"
                                "MQTT_DEVICE=\nMQTT_PUBLISH=0\n");
}

TEST_F(CIniFileTest, SectionAndFileAreCreatedAndLineEndsKept) {
    WriteFile(File(), "[Other]\r\nA=1"); // CR LF, no final line end
    ConfigFile ini(File());
    EXPECT_EQ(ini.WriteString("MODEL", "VK100"), ProfileStatus::Ok);
    EXPECT_EQ(ini.WriteString("COM", "/dev/ttyUSB0"), ProfileStatus::Ok);
    EXPECT_EQ(ReadFile(File()),
              "[Other]\r\nA=1\r\n[Config]\r\nMODEL=VK100\r\nCOM=/dev/ttyUSB0\r\n");
    EXPECT_EQ(ini.ReadString("COM", ""), "/dev/ttyUSB0");
}

TEST_F(CIniFileTest, IntegersAreTheNumberAtTheStart) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {{"12abc", 12},
                          {"  7 ", 7},
                          {"-3", -3},
                          {"+5", 5},
                          {"abc", 0},
                          {"", 0},
                          {"0x10", 0},
                          {"4 5", 4},
                          {"99999999999", INT_MAX},
                          {"-99999999999", INT_MIN}};
    for (const auto& c : cases) {
        WriteFile(File(), std::string("[Config]\nBAUD=") + c.text + "\n");
        EXPECT_EQ(ConfigFile(File()).ReadInt("BAUD", 42), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(ConfigFile(File()).ReadInt("PARITY", 42), 42);
}

TEST_F(CIniFileTest, StringsAreBoundedAndUnquoted) {
    const std::string longValue(5000, 'p');
    WriteFile(File(), "[Config]\nPATH=" + longValue + "\nMODEL=\"VK 100\"\nLANGUAGE=CHINESE\n" +
                          std::string("PROTOCOL=AS\0CII\n", 16));
    ConfigFile ini(File());
    EXPECT_EQ(ini.ReadString("PATH", ""), std::string(1023, 'p'));
    EXPECT_EQ(ini.ReadString("MODEL", ""), "VK 100");
    EXPECT_EQ(ini.ReadLanguage(), "CHI");
    EXPECT_EQ(ini.ReadString("PROTOCOL", ""), "AS");
    // A cut never splits a UTF-8 character.
    WriteFile(File(), "[Config]\nPATH=" + std::string(1022, 'a') + "数据\n");
    EXPECT_EQ(ini.ReadString("PATH", ""), std::string(1022, 'a'));
}

TEST_F(CIniFileTest, UnusableFilesGiveErrorsAndDefaults) {
    // A folder where the file should be, a file where the folder should be, a bad value.
    std::filesystem::create_directory(dir_.path() / "folder.ini");
    WriteFile(dir_.path() / "plain", "x");
    struct Case {
        std::filesystem::path file;
        const char* value;
        ProfileStatus expected;
    };
    const Case cases[] = {
        {dir_.path() / "folder.ini", "v", ProfileStatus::CannotRead},
        {dir_.path() / "plain" / "Config.ini", "v", ProfileStatus::CannotWrite},
        {dir_.path() / "missing" / "Config.ini", "v", ProfileStatus::CannotWrite},
        {File(), "two\nlines", ProfileStatus::BadText},
    };
    for (const auto& c : cases) {
        ConfigFile ini(c.file);
        EXPECT_EQ(ini.WriteString("MODEL", c.value), c.expected) << c.file;
        EXPECT_EQ(ini.ReadString("MODEL", "VK100"), "VK100") << c.file;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing"));
    EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(CIniFileTest, GarbageAndHugeLinesAreKept) {
    std::mt19937 random(7);
    std::string garbage(200000, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random());
    }
    const std::string huge(3 * 1024 * 1024, 'Z');
    const std::string before = garbage + "\n" + huge + "\n";
    WriteFile(File(), before);
    ConfigFile ini(File());
    EXPECT_EQ(ini.ReadString("MODEL", "VK100"), "VK100");
    EXPECT_EQ(ini.ReadInt("BAUD", 5), 5);
    ASSERT_EQ(ini.WriteString("MODEL", "VN300"), ProfileStatus::Ok);
    const std::string after = ReadFile(File());
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(ini.ReadString("MODEL", ""), "VN300");

    // Beyond the size a profile may have, the file is read in part and never rewritten.
    std::filesystem::resize_file(File(), kMaxProfileBytes + 1);
    EXPECT_EQ(ini.WriteString("MODEL", "VK100"), ProfileStatus::TooLarge);
    EXPECT_EQ(std::filesystem::file_size(File()), kMaxProfileBytes + 1);
}

// A child process writing key=0, 1, 2, ... count times, or until it is killed.
pid_t StartWriter(const std::filesystem::path& file, const char* key, int count) {
    const pid_t pid = ::fork();
    for (int i = 0; pid == 0; ++i) {
        if (i == count || ConfigFile(file).WriteInt(key, i) != ProfileStatus::Ok) {
            ::_exit(i == count ? 0 : 1);
        }
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CIniFileTest, ConcurrentAndKilledWritersLeaveAWholeFile) {
    const auto file = File();
    std::string head = "; kept\n[Config]\n";
    const auto whole = [&] {
        const std::string text = ReadFile(file);
        return text.starts_with(head) && text.ends_with("\n");
    };
    WriteFile(file, head + "MODEL=VK100\n");
    const pid_t writers[] = {StartWriter(file, "BAUD", 200), StartWriter(file, "PARITY", 200)};
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        torn += whole() ? 0 : 1;
    }
    for (const pid_t writer : writers) {
        EXPECT_EQ(Wait(writer), 0);
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(ConfigFile(file).ReadInt("BAUD", -1), 199) << "an update lost";
    EXPECT_EQ(ConfigFile(file).ReadInt("PARITY", -1), 199);

    head = "; " + std::string(512 * 1024, 'x') + "\n[Config]\n"; // slow enough to catch
    WriteFile(file, head);
    for (int round = 0; round < 40; ++round) {
        const pid_t writer = StartWriter(file, "COM", -1);
        std::this_thread::sleep_for(std::chrono::microseconds(round * 500));
        ::kill(writer, SIGKILL);
        EXPECT_EQ(Wait(writer), -1);
        ASSERT_TRUE(whole()) << "round " << round;
    }
}

TEST_F(CIniFileTest, ByteOrderMarkAndLinksAreKept) {
    const auto file = File();
    WriteFile(file, "\xEF\xBB\xBF[Config]\r\nLANGUAGE=EN\r\n");
    ConfigFile ini(file);
    EXPECT_EQ(ini.ReadLanguage(), "EN");
    ASSERT_EQ(ini.WriteString("MODEL", "VN300"), ProfileStatus::Ok);
    EXPECT_EQ(ReadFile(file), "\xEF\xBB\xBF[Config]\r\nLANGUAGE=EN\r\nMODEL=VN300\r\n");

    // The first write finds the link dangling, the second its target.
    const auto link = dir_.path() / "Linked.ini";
    std::filesystem::create_symlink("shared.ini", link);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(ConfigFile(link).WriteInt("BAUD", i), ProfileStatus::Ok);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(ConfigFile(dir_.path() / "shared.ini").ReadInt("BAUD", -1), i);
    }
}

} // namespace
} // namespace orvanta::config
