#include "serial/SerialMessages.h"

#include <cstring>

namespace orvanta::serial {

namespace {

struct StepWords {
    const char* caption[2];
    // Chinese, English: the failure sentence around the path ("%" marks it).
    const char* failed[2];
    // Chinese, English: what the port was doing when access was refused.
    const char* doing[2];
};

const StepWords& WordsOf(PortStep step) {
    static const StepWords kWait{{"串口等待数据错误", "Serial port wait error"},
                                 {"等待 % 的数据失败", "Waiting for data on % failed"},
                                 {"等待数据时", "while waiting for data"}};
    static const StepWords kRead{{"串口读取错误", "Serial port read error"},
                                 {"从 % 读取数据失败", "Reading from % failed"},
                                 {"读取数据时", "while reading"}};
    static const StepWords kWrite{{"串口写入错误", "Serial port write error"},
                                  {"向 % 写入数据失败", "Writing to % failed"},
                                  {"写入数据时", "while writing"}};
    static const StepWords kReadLine{
        {"串口设置错误", "Serial port settings error"},
        {"读取 % 的线路设置失败", "Reading the line settings of % failed"},
        {"读取线路设置时", "while reading the line settings"}};
    static const StepWords kSetLine{{"串口设置错误", "Serial port settings error"},
                                    {"设置 % 的线路失败", "Setting the line of % failed"},
                                    {"设置线路时", "while setting the line"}};
    switch (step) {
    case PortStep::Wait:
        return kWait;
    case PortStep::Read:
        return kRead;
    case PortStep::Write:
        return kWrite;
    case PortStep::ReadLine:
        return kReadLine;
    default:
        return kSetLine;
    }
}

int Index(Language language) {
    return language == Language::Chinese ? 0 : 1;
}

std::string WithPath(std::string_view pattern, std::string_view devicePath) {
    std::string text(pattern);
    const std::size_t mark = text.find('%');
    text.replace(mark, 1, devicePath);
    return text;
}

// "TEXT (EIO)" or "TEXT（EIO）".
std::string Cause(const SerialError& error, Language language) {
    const bool chinese = language == Language::Chinese;
    return error.text + (chinese ? "\xEF\xBC\x88" : " (") + ErrnoName(error.errnoValue) +
           (chinese ? "\xEF\xBC\x89" : ")");
}

} // namespace

std::string ErrnoName(int errnoValue) {
    const char* name = ::strerrorname_np(errnoValue);
    return name != nullptr ? name : "errno " + std::to_string(errnoValue);
}

SerialMessage AccessDeniedMessage(PortStep step, std::string_view devicePath,
                                  const SerialError& error, Language language) {
    const StepWords& words = WordsOf(step);
    const int i = Index(language);
    SerialMessage message{words.caption[i], {}};
    if (language == Language::Chinese) {
        message.text = std::string(words.doing[i]) + " " + std::string(devicePath) + " 拒绝访问：" +
                       Cause(error, language) + "。";
    } else {
        message.text = "Access to " + std::string(devicePath) + " was refused " + words.doing[i] +
                       ", " + Cause(error, language) + ".";
    }
    return message;
}

SerialMessage FailureMessage(PortStep step, std::string_view devicePath, const SerialError& error,
                             Language language) {
    const StepWords& words = WordsOf(step);
    const int i = Index(language);
    const bool chinese = language == Language::Chinese;
    return {words.caption[i], WithPath(words.failed[i], devicePath) + (chinese ? "：" : ", ") +
                                  Cause(error, language) + (chinese ? "。" : ".")};
}

SerialMessage DeviceLostMessage(std::string_view devicePath, Language language) {
    if (language == Language::Chinese) {
        return {"设备已断开", "设备已断开：" + std::string(devicePath) + "。正在等待其重新连接。"};
    }
    return {"Device lost",
            "Device lost: " + std::string(devicePath) + ". Waiting for it to come back."};
}

} // namespace orvanta::serial
