// The skin file: named style-sheet sections, comments, malformed lines and oversized files.
#include "config/SkinFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace orvanta::config {
namespace {

TEST(SkinFileTest, SectionsRunToTheNextSectionLine) {
    const SkinFile skin = SkinFile::Parse("; comment\n"
                                          "stray line before any section\n"
                                          "[ACC_68_DL]\n"
                                          "QPushButton { color: red; }\n"
                                          "  ; indented comment\n"
                                          "QLabel { color: blue; }\r\n"
                                          "[Button_Save]\n"
                                          "QPushButton { font-weight: bold; }");
    EXPECT_EQ(skin.SectionCount(), 2u);
    EXPECT_EQ(skin.Section("ACC_68_DL"),
              "QPushButton { color: red; }\nQLabel { color: blue; }\r\n");
    EXPECT_EQ(skin.Section("Button_Save"), "QPushButton { font-weight: bold; }\n");
    EXPECT_EQ(skin.Section("Edit_Rec"), "");
}

TEST(SkinFileTest, MalformedSectionLinesDropWhatFollowsThem) {
    const SkinFile skin = SkinFile::Parse("[Good]\na\n[bad name]\nb\n[]\nc\n[Again_1]\nd\n");
    EXPECT_EQ(skin.Section("Good"), "a\n");
    EXPECT_EQ(skin.Section("Again_1"), "d\n");
    EXPECT_EQ(skin.SectionCount(), 2u);
}

TEST(SkinFileTest, MissingBinaryAndOversizedFiles) {
    const testing::TempDir dir;
    EXPECT_FALSE(SkinFile::Load(dir.path() / "missing.smf").has_value());
    EXPECT_FALSE(SkinFile::Load(dir.path()).has_value()) << "a folder is no skin file";

    testing::WriteFile(dir.path() / "binary.smf", std::string("\0\xff\n[X]\n\0q\n", 10));
    const auto binary = SkinFile::Load(dir.path() / "binary.smf");
    ASSERT_TRUE(binary.has_value());
    EXPECT_EQ(binary->Section("X"), std::string("\0q\n", 3));

    testing::WriteFile(dir.path() / "big.smf", std::string(SkinFile::kMaxFileBytes + 1, 'a'));
    EXPECT_FALSE(SkinFile::Load(dir.path() / "big.smf").has_value());
}

} // namespace
} // namespace orvanta::config
