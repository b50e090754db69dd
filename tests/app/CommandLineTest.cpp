// Which mode the command line asks for, and the window's own arguments.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace orvanta::app::testing {
namespace {

TEST(ProgramModeTest, SwitchesStandAloneAndUnknownOnesAreRefused) {
    struct Case {
        std::vector<std::string> args;
        ProgramMode mode;
        const char* error;
    };
    const Case cases[] = {
        {{}, ProgramMode::Window, ""},
        {{"--help"}, ProgramMode::Help, ""},
        {{"-h"}, ProgramMode::Help, ""},
        {{"--version"}, ProgramMode::Version, ""},
        {{"--list-ports"}, ProgramMode::ListPorts, ""},
        {{"--port", "/dev/ttyUSB0", "--headless"}, ProgramMode::Headless, ""},
        {{"--version", "--help"}, ProgramMode::Unusable, "--version takes no other arguments"},
        {{"--port", "/dev/ttyUSB0"}, ProgramMode::Unusable, "unknown argument: --port"},
        {{"-platform", "xcb"}, ProgramMode::Unusable, "unknown argument: -platform"},
        {{"--replay", "run.pcap"}, ProgramMode::Window, ""},
        {{"--replay", "run.pcap", "--speed", "max"}, ProgramMode::Window, ""},
        {{"--replay"}, ProgramMode::Unusable, "--replay needs a value"},
        {{"--speed", "2"}, ProgramMode::Unusable, "--speed needs --replay"},
        {{"--replay", "a.pcap", "--speed", "0"},
         ProgramMode::Unusable,
         "--speed takes max or a factor from 0.001 to 1000000"},
        {{"--replay", "a.pcap", "--record"}, ProgramMode::Unusable, "unknown argument: --record"},
        {{"--remote", "mqtts://h/lab/rig2", "--mqtt-ca", "ca.pem"}, ProgramMode::Window, ""},
        {{"--remote", "mqtt://h"},
         ProgramMode::Unusable,
         "--remote: the remote URL must end with the device: mqtt://host/prefix/device"},
        {{"--mqtt-ca", "ca.pem"}, ProgramMode::Unusable, "--mqtt-ca needs --remote"},
        {{"--remote", "mqtt://h/d", "--replay", "a.pcap"},
         ProgramMode::Unusable,
         "--replay cannot be used with --remote"},
    };
    for (const Case& c : cases) {
        const ProgramModeChoice choice = ChooseProgramMode(c.args);
        EXPECT_EQ(choice.mode, c.mode) << ::testing::PrintToString(c.args);
        EXPECT_EQ(choice.error, c.error);
    }
    const auto window = ParseWindowArgs({"--speed", "0.5", "--replay", "run.pcap"}).options;
    ASSERT_TRUE(window);
    EXPECT_EQ(window->replay, "run.pcap");
    EXPECT_EQ(window->speed.factor, 0.5);
    const auto remote = ParseWindowArgs({"--remote", "mqtt://h:1884/lab/a/rig2"}).options;
    ASSERT_TRUE(remote && remote->remote);
    EXPECT_EQ(remote->remote->url.Endpoint(), "h:1884");
    EXPECT_EQ(remote->remote->url.prefix, "lab/a");
    EXPECT_EQ(remote->remote->device, "rig2");
    EXPECT_EQ(remote->remote->text, "mqtt://h:1884/lab/a/rig2");
}

} // namespace
} // namespace orvanta::app::testing
