#include "serial/LineSettings.h"

#include "serial/SerialError.h"
#include "serial/SerialMessages.h"
#include "serial/SerialPort.h"

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

// Every failure text names the path whole, the system's words and the errno name, in
// both languages, with no Windows call names and an ASCII comma in English.
TEST(FailureTextTest, NamesThePathTheCauseAndTheErrnoInBothLanguages) {
    const std::string longPath = "/dev/serial/by-id/" + std::string(300, 'x');
    const SerialError eio = SerialError::FromErrno(EIO);
    const SerialError denied = SerialError::FromErrno(EACCES);
    const SerialMessage messages[] = {
        FailureMessage(PortStep::Read, longPath, eio, Language::English),
        FailureMessage(PortStep::Write, longPath, eio, Language::Chinese),
        FailureMessage(PortStep::SetLine, longPath, eio, Language::English),
        AccessDeniedMessage(PortStep::Wait, longPath, denied, Language::English),
        AccessDeniedMessage(PortStep::ReadLine, longPath, denied, Language::Chinese),
    };
    for (const SerialMessage& m : messages) {
        EXPECT_NE(m.text.find(longPath), std::string::npos) << m.text;
        EXPECT_EQ(m.text.find("File()"), std::string::npos) << m.text;
        EXPECT_EQ(m.text.find("\xEF\xBC\x8C"), std::string::npos) << m.text; // U+FF0C
        EXPECT_FALSE(m.caption.empty());
    }
    EXPECT_NE(messages[0].text.find(eio.text + " (EIO)"), std::string::npos);
    EXPECT_NE(messages[3].text.find(denied.text + " (EACCES)"), std::string::npos);
    EXPECT_NE(messages[1].text.find("EIO"), std::string::npos);
    EXPECT_NE(messages[0].caption, messages[2].caption) << "the steps tell themselves apart";
    EXPECT_EQ(ErrnoName(ENXIO), "ENXIO");
    EXPECT_EQ(ErrnoName(99999), "errno 99999");
}

TEST(FailureTextTest, DeviceLostNamesThePath) {
    EXPECT_EQ(DeviceLostMessage("/dev/ttyUSB0", Language::English).text,
              "Device lost: /dev/ttyUSB0. Waiting for it to come back.");
    EXPECT_NE(DeviceLostMessage("/dev/ttyUSB0", Language::Chinese).text.find("/dev/ttyUSB0"),
              std::string::npos);
}

TEST(SerialErrorTest, ErrnoValuesSortIntoWhatTheCallerDoesNext) {
    struct Case {
        int value;
        SerialErrorKind kind;
    };
    const Case cases[] = {
        {EACCES, SerialErrorKind::AccessDenied},  {EBUSY, SerialErrorKind::AccessDenied},
        {EPERM, SerialErrorKind::AccessDenied},   {ENXIO, SerialErrorKind::DeviceGone},
        {EIO, SerialErrorKind::DeviceGone},       {ENODEV, SerialErrorKind::DeviceGone},
        {ESHUTDOWN, SerialErrorKind::DeviceGone}, {EBADF, SerialErrorKind::InvalidHandle},
        {EINVAL, SerialErrorKind::OsFailure},     {ENOTTY, SerialErrorKind::OsFailure},
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
