#include "devsim/CommandParser.h"

#include "protocol/CommandFrame.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvanta::devsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = ParseStep::Kind;

Bytes Frame(const protocol::CommandFrame& f) {
    return {f.view().begin(), f.view().end()};
}

TEST(CommandParserTest, SingleSteps) {
    const Bytes save = Frame(protocol::BuildBareCommand(protocol::CommandCode::SaveSettings));
    Bytes badCrc = save;
    badCrc[5] ^= 0x01;
    Bytes noEnd = save;
    noEnd[7] = 0x04;
    struct Case {
        const char* name;
        Bytes input;
        Kind kind;
        std::size_t consumed;
    };
    const Case cases[] = {
        {"empty", {}, Kind::NeedMore, 0},
        {"good", save, Kind::Command, 8},
        {"good with more behind",
         [&] {
             Bytes b = save;
             b.push_back(0xFF);
             return b;
         }(),
         Kind::Command, 8},
        {"bad checksum", badCrc, Kind::BadChecksum, 8},
        {"noise before the sync byte", {0x00, 0x71, 0x03, 0xFF, 0x02}, Kind::Skipped, 3},
        {"only noise", {0x01, 0x02}, Kind::Skipped, 2},
        {"header cut short", {0xFF, 0x02, 0x24, 0x00}, Kind::NeedMore, 0},
        {"body cut short", Bytes(save.begin(), save.end() - 1), Kind::NeedMore, 0},
        {"length 505", {0xFF, 0x02, 0x50, 0x01, 0xF9}, Kind::Skipped, 1},
        {"no end byte", noEnd, Kind::Skipped, 1},
    };
    for (const auto& c : cases) {
        const ParseStep step = ParseNextCommand(c.input);
        EXPECT_EQ(step.kind, c.kind) << c.name;
        EXPECT_EQ(step.consumed, c.consumed) << c.name;
    }
}

TEST(CommandParserTest, CommandCarriesCodeAndPayload) {
    const std::uint8_t mode[2] = {1, 10};
    const ParseStep step = ParseNextCommand(
        Frame(protocol::BuildWriteCommand(protocol::CommandCode::SetOutputMode, mode)));
    ASSERT_EQ(step.kind, Kind::Command);
    EXPECT_EQ(step.command.code, 0x53);
    EXPECT_EQ(step.command.payload, (Bytes{0, 1, 10}));
}

// The way the simulator uses it: drop what each step consumed and go on.
std::vector<std::uint8_t> CodesIn(Bytes stream, int& badChecksums) {
    std::vector<std::uint8_t> codes;
    badChecksums = 0;
    while (!stream.empty()) {
        const ParseStep step = ParseNextCommand(stream);
        if (step.kind == Kind::NeedMore) {
            break;
        }
        if (step.kind == Kind::Command) {
            codes.push_back(step.command.code);
        } else if (step.kind == Kind::BadChecksum) {
            ++badChecksums;
        }
        stream.erase(stream.begin(), stream.begin() + static_cast<long>(step.consumed));
    }
    return codes;
}

TEST(CommandParserTest, FindsEveryFrameInNoisyInput) {
    const Bytes query = Frame(protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask));
    const Bytes poll =
        Frame(protocol::BuildMaskCommand(protocol::CommandCode::PollSpecified, 0x0A1F087A));
    Bytes broken = query;
    broken[2] = 0x52;
    Bytes stream = {0x00, 0xFF, 0xFF};
    // A sync byte whose header claims a long frame must not hide the frames behind it.
    stream.insert(stream.end(), {0xFF, 0x02, 0x99, 0x00, 0x10});
    stream.insert(stream.end(), query.begin(), query.end());
    stream.insert(stream.end(), broken.begin(), broken.end());
    stream.insert(stream.end(), {0x03, 0x71});
    stream.insert(stream.end(), poll.begin(), poll.end());
    int bad = 0;
    EXPECT_EQ(CodesIn(stream, bad), (std::vector<std::uint8_t>{0x51, 0x58}));
    EXPECT_EQ(bad, 1);
}

TEST(CommandParserTest, ArbitraryBytesNeverOverrun) {
    // Every 5-byte header shape in front of short bodies: the parser must stay inside.
    std::uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        Bytes input(static_cast<std::size_t>(state % 40));
        for (auto& b : input) {
            state = state * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(state >> 16);
        }
        if (!input.empty()) {
            input[0] = 0xFF;
        }
        const ParseStep step = ParseNextCommand(input);
        EXPECT_LE(step.consumed, input.size());
        if (step.kind != Kind::NeedMore) {
            EXPECT_GT(step.consumed, 0u);
        }
        state = state * 1103515245u + 12345u;
    }
}

} // namespace
} // namespace orvanta::devsim
