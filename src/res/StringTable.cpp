#include "res/StringTable.h"

#include <array>

namespace orvanta::res {
namespace {

struct Entry {
    std::string_view english;
    std::string_view chinese;
};

constexpr std::array<Entry, string_id::kLast - string_id::kFirst + 1> kEntries{{
    {"关于 Orvanta(&A)...", "关于 Orvanta(&A)..."},
    {"Equipment not supported!!", "设备不支持!!"},
    {"Serial port open failed", "串口打开失败"},
    {"Open", "打开"},
    {"Close", "关闭"},
    {"Start", "开始"},
    {"Stop", "停止"},
    {"First, please select the corresponding serial port configuration parameters, and then "
     "click the OPEN button to connect data.",
     "选择连接设备的端口、波特率及校验位"},
    {"Select equipment model, output mode and protocol used.", "选择设备型号、输出模式及所用协议"},
    {"Make changes to the device configuration, click the SAVE button after setting, and then "
     "power off and power cycle. please remember the configuration parameters after you changed!",
     "设置设备波特率、重力级、输出频率（依据当前输出模式）等参数，设置结束请保存"},
    {"Save the data selection and select the corresponding save directory.",
     "选择保存目录，点击开始即可保存数据"},
    {"Data display area, can switch different pages", "数据显示区，可切换不同页面"},
    {"3D display device posture", "显示设备3D姿态"},
    {"Serial data printing", "串口数据打印"},
    {"Default answer output", "默认项问答输出"},
    {"Specified answer output", "指定项问答输出"},
    {"Default auto output", "默认项自动输出"},
    {"Start-Cal", "开始校准"},
    {"Stop-Cal", "停止校准"},
    {"Give up", "放弃校准"},
    {"Hide X data", "隐藏X轴数据"},
    {"Show X data", "显示X轴数据"},
    {"Hide Y data", "隐藏Y轴数据"},
    {"Show Y data", "显示Y轴数据"},
    {"Hide Z data", "隐藏Z轴数据"},
    {"Show Z data", "显示Z轴数据"},
    {"Disable ordinates axis", "关闭纵坐标轴"},
    {"Enable ordinates axis", "启用纵坐标轴"},
    {"Disable abscissa axis", "关闭横坐标轴"},
    {"Enable abscissa axis", "启用横坐标轴"},
    {"Generate picture", "截图"},
    {"Successful Operation!!", "操作成功!!"},
    {"Operation failure!!", "操作失败!!"},
}};

// The widths of the captions line up the values after them on the data page.
constexpr std::array<Entry, string_id::kCaptionsLast - string_id::kCaptionsFirst + 1> kCaptions{{
    {"WKN :", "周数 :"},
    {"Ext fix info   :", "扩展定位      :"},
    {"Gps fix info   :", "Gps定位       :"},
    {"VEL.:", "速度 :"},
    {"Position      :", "位置       :"},
    {"RTK           :", "RTK        :"},
}};

const Entry* Find(int id) {
    if (id >= string_id::kFirst && id <= string_id::kLast) {
        return &kEntries[static_cast<std::size_t>(id - string_id::kFirst)];
    }
    if (id >= string_id::kCaptionsFirst && id <= string_id::kCaptionsLast) {
        return &kCaptions[static_cast<std::size_t>(id - string_id::kCaptionsFirst)];
    }
    return nullptr;
}

} // namespace

std::string_view LoadString(int id, Language language) {
    const Entry* entry = Find(id);
    if (entry == nullptr) {
        return {};
    }
    return language == Language::English ? entry->english : entry->chinese;
}

} // namespace orvanta::res
