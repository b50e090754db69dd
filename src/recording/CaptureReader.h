#pragma once

#include "recording/CaptureFormat.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orvanta::recording {

struct CaptureRecord {
    std::int64_t timeNs = 0; // since the epoch
    CaptureDirection direction = CaptureDirection::DeviceToHost;
    std::vector<std::uint8_t> bytes; // without the direction byte
};

// Reads a capture through libpcap, record by record. A file that is not a capture is
// refused at Open; a damage (a cut-off file, a record that cannot be one of ours) ends the
// reading after the last good record and says where it starts. One thread at a time.
class CaptureReader {
public:
    enum class Step { Record, End, Damaged };

    // Nothing, with the reason in error, when the file is not a capture: libpcap does not
    // read it, its link type is not LINKTYPE_USER0, or its first record is not a note.
    static std::unique_ptr<CaptureReader> Open(const std::filesystem::path& path,
                                               std::string& error);
    // The same for a capture held in memory (the bytes must outlive the reader).
    static std::unique_ptr<CaptureReader> OpenMemory(std::span<const std::uint8_t> bytes,
                                                     std::string& error);
    ~CaptureReader();
    CaptureReader(const CaptureReader&) = delete;
    CaptureReader& operator=(const CaptureReader&) = delete;

    // The first record's note, and its time stamp (the capture's start).
    const CaptureNote& Note() const { return note_; }
    std::int64_t StartTimeNs() const { return startTimeNs_; }

    // The record after the note and the records before; End and Damaged repeat.
    Step Next(CaptureRecord& record);

    // Good records read so far, the note included.
    std::uint64_t RecordsRead() const { return recordsRead_; }
    // Where the damage starts, in bytes from the start of the file (valid after Damaged).
    std::uint64_t DamageOffset() const { return damageOffset_; }

private:
    struct Handle;
    CaptureReader(std::unique_ptr<Handle> handle);
    static std::unique_ptr<CaptureReader> Start(std::unique_ptr<Handle> handle, std::string& error);

    std::unique_ptr<Handle> handle_;
    CaptureNote note_;
    std::int64_t startTimeNs_ = 0;
    std::uint64_t recordsRead_ = 0;
    std::uint64_t damageOffset_ = 0;
    Step finished_ = Step::Record; // End or Damaged once reached
};

// The messages, in the language of languageFlag (0 Chinese, 1 English): a damaged capture,
// with the records read before the damage and where it starts; the refusal of a file that
// is not a capture, naming it and the reason.
std::string CaptureDamageText(std::uint64_t recordsRead, std::uint64_t damageOffset,
                              int languageFlag);
std::string NotACaptureText(const std::filesystem::path& path, const std::string& reason,
                            int languageFlag);

} // namespace orvanta::recording
