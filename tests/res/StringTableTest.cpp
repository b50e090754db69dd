#include "res/StringTable.h"

#include <gtest/gtest.h>

namespace orvanta::res {
namespace {

TEST(StringTableTest, EveryEntryExistsInBothLanguages) {
    for (int id = string_id::kFirst; id <= string_id::kLast; ++id) {
        EXPECT_FALSE(LoadString(id, Language::English).empty()) << id;
        EXPECT_FALSE(LoadString(id, Language::Chinese).empty()) << id;
    }
    for (int id = string_id::kCaptionsFirst; id <= string_id::kCaptionsLast; ++id) {
        EXPECT_FALSE(LoadString(id, Language::English).empty()) << id;
        EXPECT_FALSE(LoadString(id, Language::Chinese).empty()) << id;
    }
    EXPECT_TRUE(LoadString(string_id::kCaptionsFirst - 1, Language::English).empty());
    EXPECT_TRUE(LoadString(string_id::kCaptionsLast + 1, Language::Chinese).empty());
    EXPECT_TRUE(LoadString(99, Language::English).empty());
    EXPECT_TRUE(LoadString(133, Language::Chinese).empty());
}

TEST(StringTableTest, KnownTexts) {
    struct Case {
        int id;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {100, "关于 Orvanta(&A)...", "关于 Orvanta(&A)..."},
        {101, "Equipment not supported!!", "设备不支持!!"},
        {102, "Serial port open failed", "串口打开失败"},
        {103, "Open", "打开"},
        {104, "Close", "关闭"},
        {105, "Start", "开始"},
        {106, "Stop", "停止"},
        {109,
         "Make changes to the device configuration, click the SAVE button after setting, and then "
         "power off and power cycle. please remember the configuration parameters after you "
         "changed!",
         "设置设备波特率、重力级、输出频率（依据当前输出模式）等参数，设置结束请保存"},
        {116, "Default auto output", "默认项自动输出"},
        {119, "Give up", "放弃校准"},
        {126, "Disable ordinates axis", "关闭纵坐标轴"},
        {129, "Enable abscissa axis", "启用横坐标轴"},
        {130, "Generate picture", "截图"},
        {131, "Successful Operation!!", "操作成功!!"},
        {132, "Operation failure!!", "操作失败!!"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadString(c.id, Language::English), c.english) << c.id;
        EXPECT_EQ(LoadString(c.id, Language::Chinese), c.chinese) << c.id;
    }
    EXPECT_EQ(LoadString(string_id::kHideZ, LanguageFromFlag(1)), "Hide Z data");
    EXPECT_EQ(LoadString(string_id::kShowZ, LanguageFromFlag(0)), "显示Z轴数据");
}

} // namespace
} // namespace orvanta::res
