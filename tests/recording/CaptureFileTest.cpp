#include "RecorderTestSupport.h"
#include "recording/CaptureReader.h"
#include "recording/CaptureWriter.h"
#include "support/RunUntil.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace orvanta::recording {
namespace {

using namespace std::chrono_literals;
using testing::MessageLog;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kStart = 1700000000123456789; // nanoseconds since the epoch
const CaptureNote kNote = {
    {"model", "VK100"}, {"baud", "115200"}, {"parity", "N"}, {"mode", "2"}, {"version", "1.5"}};

struct Written {
    CaptureDirection direction;
    Bytes bytes;
    std::int64_t offsetNs;
};

// Writes a capture with the note and the records, stamped kStart + offset.
void WriteCapture(const std::filesystem::path& path, const std::vector<Written>& records) {
    MessageLog messages;
    CaptureWriter writer(messages);
    ASSERT_TRUE(writer.Open(path, kNote, kStart));
    for (const auto& r : records) {
        writer.Append(r.direction, r.bytes.data(), r.bytes.size(), kStart + r.offsetNs);
    }
    writer.Close();
    ASSERT_TRUE(messages.Messages().empty());
}

std::vector<CaptureRecord> ReadAll(CaptureReader& reader, CaptureReader::Step& last) {
    std::vector<CaptureRecord> records;
    CaptureRecord record;
    while ((last = reader.Next(record)) == CaptureReader::Step::Record) {
        records.push_back(record);
    }
    return records;
}

const std::vector<Written> kRecords = {
    {CaptureDirection::DeviceToHost, {0xFF, 0x00, 0x90}, 1000},
    {CaptureDirection::HostToDevice, {0xFF, 0x02, 0x52, 0x00, 0x00, 0x9F, 0x0F, 0x03}, 2000},
    {CaptureDirection::DeviceToHost, {0x00, 0x01, 0x03}, 3000000000},
};
// File header, then per record a 16-byte header, the direction byte and the bytes.
constexpr std::size_t kFileHeader = 24, kRecordHeader = 16;

TEST(CaptureFileTest, WhatIsWrittenReadsBackThroughLibpcap) {
    TempDir dir;
    const auto path = dir.path() / "sub" / "run.pcap"; // the folder is made
    Bytes large(kCaptureSnapLength + 10);
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::vector<Written> records = kRecords;
    records.push_back({CaptureDirection::DeviceToHost, large, 4000000000});
    WriteFile(path, "old content that the capture replaces");
    WriteCapture(path, records);

    const std::string file = ReadFile(path);
    ASSERT_GE(file.size(), kFileHeader);
    std::uint32_t magic = 0, linkType = 0;
    std::memcpy(&magic, file.data(), 4);
    std::memcpy(&linkType, file.data() + 20, 4);
    EXPECT_EQ(magic, 0xA1B23C4Du); // nanosecond time stamps
    EXPECT_EQ(linkType, 147u);

    std::string error;
    auto reader = CaptureReader::Open(path, error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->Note(), kNote);
    EXPECT_EQ(reader->StartTimeNs(), kStart);
    CaptureReader::Step last{};
    const auto read = ReadAll(*reader, last);
    EXPECT_EQ(last, CaptureReader::Step::End);
    ASSERT_EQ(read.size(), 5u); // the large block split in two
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read[i].direction, records[i].direction);
        EXPECT_EQ(read[i].bytes, records[i].bytes);
        EXPECT_EQ(read[i].timeNs, kStart + records[i].offsetNs);
    }
    EXPECT_EQ(read[3].bytes.size(), kCaptureSnapLength - 1);
    Bytes joined = read[3].bytes;
    joined.insert(joined.end(), read[4].bytes.begin(), read[4].bytes.end());
    EXPECT_EQ(joined, large);
    EXPECT_EQ(reader->RecordsRead(), 6u);
}

TEST(CaptureFileTest, NotesKeepEachLineAKeyAndAValue) {
    const CaptureNote odd = {{"po=rt", "/dev/tty\nUSB0"}, {"empty", ""}, {"x", "a=b"}};
    const std::string text = FormatCaptureNote(odd);
    EXPECT_EQ(text, "po-rt=/dev/tty USB0\nempty=\nx=a=b\n");
    const CaptureNote back = ParseCaptureNote(text + "no equals sign\r\nx=c\r\n");
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(NoteValue(back, "x"), "c");
    EXPECT_EQ(NoteValue(back, "empty"), "");
    EXPECT_EQ(NoteValue(back, "missing"), std::nullopt);
}

TEST(CaptureFileTest, ADamagedCaptureGivesEverythingBeforeTheDamage) {
    TempDir dir;
    const auto good = dir.path() / "good.pcap";
    WriteCapture(good, kRecords);
    const std::string file = ReadFile(good);
    const std::size_t noteSize = kRecordHeader + 1 + FormatCaptureNote(kNote).size();
    const std::size_t first = kFileHeader + noteSize;     // where record 1 starts
    const std::size_t second = first + kRecordHeader + 4; // record 2
    const std::size_t third = second + kRecordHeader + 9; // record 3
    ASSERT_EQ(file.size(), third + kRecordHeader + 4);

    struct Case {
        const char* name;
        std::string bytes;
        std::uint64_t recordsRead; // the note included
        std::uint64_t offset;
    };
    std::string badDirection = file;
    badDirection[second + kRecordHeader] = 7;
    std::string emptyRecord = file.substr(0, second);
    emptyRecord += std::string(8, '\0') + std::string(8, '\0'); // caplen 0, len 0
    std::string cutLength = file;
    cutLength[second + 8] = 3; // caplen 3 of len 9: part of the frame is missing
    const Case cases[] = {
        {"cut inside the last record's data", file.substr(0, file.size() - 1), 3, third},
        {"cut inside a record header", file.substr(0, second + 5), 2, second},
        {"only the file header", file.substr(0, kFileHeader), 0, kFileHeader},
        {"an unknown direction byte", badDirection, 2, second},
        {"a record without a direction byte", emptyRecord, 2, second},
        {"a record shorter than its frame", cutLength, 2, second},
    };
    for (const auto& c : cases) {
        const auto path = dir.path() / "damaged.pcap";
        WriteFile(path, c.bytes);
        std::string error;
        auto reader = CaptureReader::Open(path, error);
        ASSERT_TRUE(reader) << c.name << ": " << error;
        CaptureReader::Step last{};
        const auto read = ReadAll(*reader, last);
        EXPECT_EQ(last, CaptureReader::Step::Damaged) << c.name;
        EXPECT_EQ(reader->RecordsRead(), c.recordsRead) << c.name;
        EXPECT_EQ(reader->DamageOffset(), c.offset) << c.name;
        EXPECT_EQ(read.size(), c.recordsRead > 0 ? c.recordsRead - 1 : 0) << c.name;
        CaptureRecord again;
        EXPECT_EQ(reader->Next(again), CaptureReader::Step::Damaged) << c.name;
    }
    EXPECT_EQ(CaptureDamageText(3, 219, 1),
              "The capture is damaged: 3 records were read, the damage starts at byte 219.");
    EXPECT_EQ(CaptureDamageText(3, 219, 0),
              "原始数据文件已损坏：已读取3条记录，损坏处从第219字节开始。");
}

TEST(CaptureFileTest, AFileThatIsNotACaptureIsRefused) {
    TempDir dir;
    const auto good = dir.path() / "good.pcap";
    WriteCapture(good, kRecords);
    const std::string file = ReadFile(good);
    std::string ethernet = file;
    ethernet[20] = 1; // link type 1
    ethernet[21] = ethernet[22] = ethernet[23] = 0;
    // A capture of ours without its note: the first record is a device block.
    const std::size_t noteEnd = kFileHeader + kRecordHeader + 1 + FormatCaptureNote(kNote).size();
    const std::string noNote = file.substr(0, kFileHeader) + file.substr(noteEnd);

    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"text", "Roll(deg),Pitch(deg)\r\n1.0,2.0\r\n"},
        {"ethernet", ethernet},
        {"no note first", noNote},
        {"a file header cut short", file.substr(0, 10)},
    };
    for (const auto& [name, bytes] : cases) {
        const auto path = dir.path() / "input";
        WriteFile(path, bytes);
        std::string error;
        EXPECT_FALSE(CaptureReader::Open(path, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_FALSE(CaptureReader::OpenMemory(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), error))
            << name;
    }
    std::string error;
    EXPECT_FALSE(CaptureReader::Open(dir.path() / "missing.pcap", error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(NotACaptureText("/tmp/a.csv", "unknown file format", 1),
              "The file is not an Orvanta capture: /tmp/a.csv (unknown file format)");
    EXPECT_EQ(NotACaptureText("/tmp/a.csv", "unknown file format", 0),
              "该文件不是Orvanta原始数据文件: /tmp/a.csv (unknown file format)");
}

// A capture never replaces a file: a taken name, also by a capture still being written,
// gives the next numbered one; a file that cannot be made fails Open with the reason.
TEST(CaptureFileTest, CapturesAreCreatedNewOrFailAtOpen) {
    TempDir dir;
    const auto path = dir.path() / "run.pcap";
    WriteFile(path, "an earlier run");
    MessageLog messages;
    CaptureWriter first(messages), second(messages);
    const StartResult a = first.Open(path, kNote, kStart);
    const StartResult b = second.Open(path, kNote, kStart);
    ASSERT_TRUE(a.Started() && b.Started());
    EXPECT_EQ(a.path, dir.path() / "run_2.pcap");
    EXPECT_EQ(b.path, dir.path() / "run_3.pcap");
    EXPECT_EQ(first.Path(), a.path);
    const Bytes block = {1, 2, 3};
    first.Append(CaptureDirection::DeviceToHost, block.data(), block.size(), kStart + 1);
    first.Close();
    second.Close();
    EXPECT_EQ(ReadFile(path), "an earlier run");
    for (const auto& [file, records] : {std::pair{a.path, 1u}, std::pair{b.path, 0u}}) {
        std::string error;
        auto reader = CaptureReader::Open(file, error);
        ASSERT_TRUE(reader) << error;
        CaptureReader::Step last{};
        EXPECT_EQ(ReadAll(*reader, last).size(), records) << file;
        EXPECT_EQ(last, CaptureReader::Step::End);
    }

    const auto blocker = dir.path() / "blocker";
    WriteFile(blocker, "a file where the folder must be");
    CaptureWriter failing(messages);
    failing.SetLanguageFlag(1);
    const StartResult c = failing.Open(blocker / "run.pcap", kNote, kStart);
    EXPECT_EQ(c.outcome, StartResult::Outcome::FileNotCreated);
    EXPECT_EQ(c.path, blocker / "run.pcap");
    EXPECT_FALSE(failing.IsOpen());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].second,
              "Unable to write the capture file: " + c.path.string() + " (" + c.errorText + ")");
}

// A writer that cannot write (its folder replaced by a file) tells once, keeps what it has
// and writes it all to a new file, which starts with the file header and the note, once
// the name can be used again; past the bound the oldest records go and are counted.
TEST(CaptureFileTest, AFileThatCannotBeWrittenIsReportedAndRetried) {
    struct Case {
        const char* name;
        std::uint64_t heldBytes;
        bool dropsOldest;
    };
    for (const Case& c : {Case{"held", 41943040, false}, Case{"bounded", 300, true}}) {
        TempDir dir;
        const auto folder = dir.path() / "captures";
        const auto path = folder / "run.pcap";
        MessageLog messages;
        CaptureLimits limits;
        limits.period = 1h; // the writer runs only when an append wakes it, and at Close
        limits.wakeBytes = 1;
        limits.heldBytes = c.heldBytes;
        CaptureWriter writer(messages, limits);
        writer.SetLanguageFlag(1);
        ASSERT_TRUE(writer.Open(path, kNote, kStart));
        std::filesystem::rename(folder, dir.path() / "moved");
        WriteFile(folder, "a file where the folder must be");
        const Bytes block(100, 0x5A);
        for (int i = 0; i < 10; ++i) {
            writer.Append(CaptureDirection::DeviceToHost, block.data(), block.size(), kStart + i);
            std::this_thread::sleep_for(10ms); // a write attempt between the records
        }
        orvanta::testing::WaitUntil(
            [&] { return messages.Messages().size() >= (c.dropsOldest ? 2u : 1u); }, 5s, 5ms);
        std::filesystem::remove(folder);
        writer.Close();

        const auto shown = messages.Messages();
        ASSERT_EQ(shown.size(), c.dropsOldest ? 4u : 2u) << c.name;
        EXPECT_EQ(shown[0].second, "Unable to write the capture file: " + path.string());
        if (c.dropsOldest) {
            EXPECT_EQ(shown[1].second,
                      "Unwritten data exceeded 40 MiB, the oldest records were dropped: " +
                          path.string());
            EXPECT_EQ(shown[3].second,
                      std::to_string(writer.LostRecords()) +
                          " records could not be written and were lost: " + path.string());
        }
        EXPECT_EQ(shown[c.dropsOldest ? 2 : 1].second,
                  "The capture file is being written again: " + path.string());
        std::string error;
        auto reader = CaptureReader::Open(path, error);
        ASSERT_TRUE(reader) << c.name << ": " << error;
        EXPECT_EQ(reader->Note(), kNote);
        CaptureReader::Step last{};
        const auto read = ReadAll(*reader, last);
        EXPECT_EQ(last, CaptureReader::Step::End) << c.name;
        EXPECT_EQ(read.size() + writer.LostRecords(), 10u) << c.name;
        if (c.dropsOldest) {
            EXPECT_GT(writer.LostRecords(), 0u) << c.name;
            ASSERT_FALSE(read.empty());
            EXPECT_EQ(read.back().timeNs, kStart + 9) << c.name;
        } else {
            EXPECT_EQ(writer.LostRecords(), 0u) << c.name;
        }
    }
}

} // namespace
} // namespace orvanta::recording
