#include "config/LanguageChoice.h"

#include "ConfigTestSupport.h"

#include <gtest/gtest.h>
#include <optional>

namespace orvanta::config {
namespace {

using testing::ReadFile;
using testing::WriteFile;

TEST(LanguageChoiceTest, StartUpRule) {
    struct Case {
        const char* name;
        std::optional<std::string> file; // nothing: no file
        bool chineseSystem;
        int expectedFlag;
    };
    const Case cases[] = {
        {"CH", "[Config]\nLANGUAGE=CH\n", false, 0},
        {"CHX", "[Config]\nLANGUAGE=CHX\n", false, 0},
        {"EN", "[Config]\nLANGUAGE=EN\n", true, 1},
        {"lower-case ch", "[Config]\nLANGUAGE=ch\n", true, 1},
        {"empty", "[Config]\nLANGUAGE=\n", true, 1},
        {"key in other case", "[CONFIG]\nlanguage=CH\n", false, 0},
        {"missing key", "[Config]\nMODEL=VK100\n", false, 0},
        {"empty file", "", false, 0},
        {"no file, Chinese system", std::nullopt, true, 0},
        {"no file, other system", std::nullopt, false, 1},
    };
    for (const auto& c : cases) {
        testing::TempDir dir;
        const auto path = dir.path() / "Config.ini";
        if (c.file) {
            WriteFile(path, *c.file);
        }
        const LanguageChoice choice = ChooseLanguage(path, c.chineseSystem);
        EXPECT_EQ(choice.LanguageFlag, c.expectedFlag) << c.name;
        EXPECT_EQ(choice.BackgroundBitmap, c.expectedFlag == 0 ? 140 : 139) << c.name;
    }
}

TEST(LanguageChoiceTest, RadioStoresTheChoiceOnlyWhenTheFileExists) {
    testing::TempDir dir;
    const auto path = dir.path() / "Config.ini";
    EXPECT_FALSE(StoreLanguageChoice(path, 1));
    EXPECT_FALSE(std::filesystem::exists(path));

    WriteFile(path, "[Config]\nLANGUAGE=CH\nMODEL=VK100\n");
    auto english = StoreLanguageChoice(path, 1);
    ASSERT_TRUE(english);
    EXPECT_EQ(english->caption, "Message");
    EXPECT_EQ(english->text, "Restart to take effect!!");
    EXPECT_EQ(ReadFile(path), "[Config]\nLANGUAGE=EN\nMODEL=VK100\n");
    EXPECT_EQ(ChooseLanguage(path, true).LanguageFlag, 1);

    auto chinese = StoreLanguageChoice(path, 0);
    ASSERT_TRUE(chinese);
    EXPECT_EQ(chinese->caption, "提示");
    EXPECT_EQ(chinese->text, "重启软件生效!!");
    EXPECT_EQ(ReadFile(path), "[Config]\nLANGUAGE=CH\nMODEL=VK100\n");
}

TEST(LanguageChoiceTest, AFailedWriteIsNotReportedAsDone) {
    testing::TempDir dir;
    const auto path = dir.path() / "Config.ini";
    std::filesystem::create_directory(path); // exists, but cannot be written
    ConfigFile file(path);
    ProfileStatus told = ProfileStatus::Ok;
    file.SetFailureListener([&told](ProfileStatus status) { told = status; });
    EXPECT_FALSE(StoreLanguageChoice(file, 1)) << "no restart notice for a choice not stored";
    EXPECT_EQ(told, ProfileStatus::CannotRead);
}

} // namespace
} // namespace orvanta::config
