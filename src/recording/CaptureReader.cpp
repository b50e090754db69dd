#include "recording/CaptureReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pcap/pcap.h>

namespace orvanta::recording {

namespace {

constexpr std::uint32_t kPcapngBlockType = 0x0A0D0D0A; // the same in either byte order
constexpr std::uint64_t kRecordHeaderSize = 16;

std::uint64_t StreamPosition(FILE* stream) {
    const long position = std::ftell(stream);
    return position > 0 ? static_cast<std::uint64_t>(position) : 0;
}

} // namespace

struct CaptureReader::Handle {
    ~Handle() {
        if (pcap != nullptr) {
            pcap_close(pcap); // closes the stream too
        } else if (stream != nullptr) {
            std::fclose(stream);
        }
    }
    FILE* stream = nullptr;
    pcap_t* pcap = nullptr;
    // Classic pcap records are a 16-byte header and the data, so positions are counted
    // rather than asked of the stream (a system call each); pcapng blocks vary.
    bool classic = true;
    std::uint64_t position = 0; // where the next record starts
};

CaptureReader::CaptureReader(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

CaptureReader::~CaptureReader() = default;

std::unique_ptr<CaptureReader> CaptureReader::Open(const std::filesystem::path& path,
                                                   std::string& error) {
    auto handle = std::make_unique<Handle>();
    handle->stream = std::fopen(path.c_str(), "rb");
    if (handle->stream == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    return Start(std::move(handle), error);
}

std::unique_ptr<CaptureReader> CaptureReader::OpenMemory(std::span<const std::uint8_t> bytes,
                                                         std::string& error) {
    if (bytes.empty()) {
        error = "the file is empty";
        return nullptr;
    }
    auto handle = std::make_unique<Handle>();
    handle->stream = fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb");
    if (handle->stream == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    return Start(std::move(handle), error);
}

std::unique_ptr<CaptureReader> CaptureReader::Start(std::unique_ptr<Handle> handle,
                                                    std::string& error) {
    std::uint32_t magic = 0;
    handle->classic =
        std::fread(&magic, sizeof magic, 1, handle->stream) != 1 || magic != kPcapngBlockType;
    std::rewind(handle->stream);
    char reason[PCAP_ERRBUF_SIZE] = {};
    handle->pcap = pcap_fopen_offline_with_tstamp_precision(handle->stream,
                                                            PCAP_TSTAMP_PRECISION_NANO, reason);
    if (handle->pcap == nullptr) {
        error = reason[0] != '\0' ? reason : "not a pcap file";
        return nullptr; // the handle closes the stream
    }
    const int linkType = pcap_datalink(handle->pcap);
    if (linkType != kCaptureLinkType) {
        error =
            "link type " + std::to_string(linkType) + ", not " + std::to_string(kCaptureLinkType);
        return nullptr;
    }
    handle->position = StreamPosition(handle->stream);
    std::unique_ptr<CaptureReader> reader(new CaptureReader(std::move(handle)));
    CaptureRecord first;
    const Step step = reader->Next(first);
    if (step == Step::End) {
        // Every capture starts with a note: this one was cut off after the file header.
        reader->damageOffset_ = reader->handle_->position;
        reader->finished_ = Step::Damaged;
    } else if (step == Step::Record) {
        if (first.direction != CaptureDirection::Note) {
            error = "its first record is not a note";
            return nullptr;
        }
        reader->note_ = ParseCaptureNote(std::string_view(
            reinterpret_cast<const char*>(first.bytes.data()), first.bytes.size()));
        reader->startTimeNs_ = first.timeNs;
    }
    return reader;
}

CaptureReader::Step CaptureReader::Next(CaptureRecord& record) {
    if (finished_ != Step::Record) {
        return finished_;
    }
    Handle& handle = *handle_;
    const std::uint64_t before = handle.classic ? handle.position : StreamPosition(handle.stream);
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int result = pcap_next_ex(handle_->pcap, &header, &data);
    if (result == PCAP_ERROR_BREAK) {
        finished_ = Step::End;
        return finished_;
    }
    const bool ours = result == 1 && header->caplen >= 1 && header->caplen == header->len &&
                      data[0] <= static_cast<std::uint8_t>(CaptureDirection::Note);
    if (!ours) {
        damageOffset_ = before;
        finished_ = Step::Damaged;
        return finished_;
    }
    record.timeNs = static_cast<std::int64_t>(header->ts.tv_sec) * 1000000000 +
                    static_cast<std::int64_t>(header->ts.tv_usec);
    record.direction = static_cast<CaptureDirection>(data[0]);
    record.bytes.assign(data + 1, data + header->caplen);
    handle.position = before + kRecordHeaderSize + header->caplen;
    ++recordsRead_;
    return Step::Record;
}

std::string CaptureDamageText(std::uint64_t recordsRead, std::uint64_t damageOffset,
                              int languageFlag) {
    const std::string records = std::to_string(recordsRead);
    const std::string offset = std::to_string(damageOffset);
    if (languageFlag == 1) {
        return "The capture is damaged: " + records +
               " records were read, the damage starts at byte " + offset + ".";
    }
    return "原始数据文件已损坏：已读取" + records + "条记录，损坏处从第" + offset + "字节开始。";
}

std::string NotACaptureText(const std::filesystem::path& path, const std::string& reason,
                            int languageFlag) {
    if (languageFlag == 1) {
        return "The file is not an Orvanta capture: " + path.string() + " (" + reason + ")";
    }
    return "该文件不是Orvanta原始数据文件: " + path.string() + " (" + reason + ")";
}

} // namespace orvanta::recording
