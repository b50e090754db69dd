#include "serial/LineSettings.h"

#include "serial/SerialPort.h"
#include "serial/SerialError.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>

namespace orvanta::serial {
namespace {

TEST(LineSettingsTest, FixedSettingsReplaceWhateverTheDriverHad) {
    struct Case {
        char letter;
        Parity parity;
    };
    const Case cases[] = {{'N', Parity::None},  {'n', Parity::None}, {'O', Parity::Odd},
                          {'o', Parity::Odd},   {'E', Parity::Even}, {'e', Parity::Even},
                          {'M', Parity::Mark},  {'m', Parity::Mark}, {'S', Parity::Space},
                          {'s', Parity::Space}, {'X', Parity::None}, {'\0', Parity::None}};
    for (const auto& c : cases) {
        const LineParameters p = PreviewLineSettings(256000, c.letter);
        EXPECT_EQ(p.parity, c.parity) << c.letter;
        EXPECT_EQ(p.baud, 256000u);
        EXPECT_EQ(p.dataBits, 8);
        EXPECT_EQ(p.stopBits, 1);
        EXPECT_TRUE(p.raw);
        EXPECT_FALSE(p.hardwareFlow);
        EXPECT_TRUE(p.receiverOn);
    }
}

TEST(LineSettingsTest, AnyRateIsKeptExactly) {
    for (std::uint32_t baud : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 256000u, 1234u}) {
        EXPECT_EQ(PreviewLineSettings(baud, 'N').baud, baud);
    }
}

TEST(LineSettingsTest, OnlyAPseudoTerminalMayForceEightBitsWithoutParity) {
    const LineParameters asked = PreviewLineSettings(256000, 'E');
    const auto with = [&asked](auto change) {
        LineParameters p = asked;
        change(p);
        return p;
    };
    struct Case {
        const char* what;
        LineParameters inForce;
        bool takenOnTerminal;
        bool takenOnPty;
    };
    const Case cases[] = {
        {"as asked", asked, true, true},
        {"parity dropped", with([](auto& p) { p.parity = Parity::None; }), false, true},
        {"7 data bits", with([](auto& p) { p.dataBits = 7; }), false, true},
        {"two stop bits", with([](auto& p) { p.stopBits = 2; }), false, false},
        {"cooked", with([](auto& p) { p.raw = false; }), false, false},
        {"handshake", with([](auto& p) { p.hardwareFlow = true; }), false, false},
        {"receiver off", with([](auto& p) { p.receiverOn = false; }), false, false},
        {"baud 2 % off", with([](auto& p) { p.baud = 250880; }), true, true},
        {"baud fell back", with([](auto& p) { p.baud = 9600; }), false, false},
        {"baud 4 % off", with([](auto& p) { p.baud = 266240; }), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LineSettingsTaken(asked, c.inForce, false), c.takenOnTerminal) << c.what;
        EXPECT_EQ(LineSettingsTaken(asked, c.inForce, true), c.takenOnPty) << c.what;
    }
}

TEST(ApiFailureTextTest, ComposesTheWarning) {
    EXPECT_EQ(
        ComposeApiFailureText("SetCommState()", "Inappropriate ioctl for device", "/dev/ttyUSB0"),
        "WARNING:  SetCommState() Failed with the following error: \n"
        "Inappropriate ioctl for device\nPort: /dev/ttyUSB0\n");
}

TEST(ApiFailureTextTest, IsCutToTheMessageBuffer) {
    const std::string longPath = "/dev/serial/by-id/" + std::string(300, 'x');
    const std::string text = ComposeApiFailureText("ReadFile()", "Input/output error", longPath);
    EXPECT_EQ(text.size(), 199u);
    EXPECT_EQ(text.rfind("WARNING:  ReadFile() Failed", 0), 0u);

    // A cut inside a multi-byte character drops the whole character.
    std::string wide;
    for (int i = 0; i < 100; ++i) {
        wide += "\xE4\xB8\xB2"; // 串
    }
    const std::string cut = ComposeApiFailureText("ReadFile()", "x", wide);
    EXPECT_EQ(cut.size(), 198u); // 199 would end one byte into a character
    const std::string prefix = "WARNING:  ReadFile() Failed with the following error: \nx\nPort: ";
    ASSERT_EQ(cut.rfind(prefix, 0), 0u);
    EXPECT_EQ((cut.size() - prefix.size()) % 3, 0u);
}

TEST(DeviceErrorTextTest, UsesTheFullWidthComma) {
    EXPECT_EQ(ComposeDeviceErrorText("/dev/ttyUSB0", "ERROR_ACCESS_DENIED", "ReadFile()", 13),
              "/dev/ttyUSB0 ERROR_ACCESS_DENIED\xEF\xBC\x8C"
              "ReadFile() Error Code:13");
}

TEST(SerialErrorTest, ErrnoValuesSortIntoWhatTheCallerDoesNext) {
    struct Case {
        int value;
        SerialErrorKind kind;
    };
    const Case cases[] = {
        {EACCES, SerialErrorKind::AccessDenied}, {EBUSY, SerialErrorKind::AccessDenied},
        {EPERM, SerialErrorKind::AccessDenied},  {ENXIO, SerialErrorKind::DeviceGone},
        {EIO, SerialErrorKind::DeviceGone},      {ENODEV, SerialErrorKind::DeviceGone},
        {EBADF, SerialErrorKind::InvalidHandle}, {EINVAL, SerialErrorKind::OsFailure},
        {ENOTTY, SerialErrorKind::OsFailure},
    };
    for (const auto& c : cases) {
        const SerialError e = SerialError::FromErrno(c.value);
        EXPECT_EQ(e.kind, c.kind) << c.value;
        EXPECT_EQ(e.errnoValue, c.value);
        EXPECT_FALSE(e.text.empty());
    }
}

} // namespace
} // namespace orvanta::serial
