#pragma once

#include "recording/CaptureFormat.h"
#include "recording/CaptureMirror.h"
#include "recording/OwnFile.h"
#include "recording/RecorderMessages.h"
#include "recording/StartResult.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvanta::recording {

struct CaptureLimits {
    // How often the writer thread writes what was queued; sooner once wakeBytes wait.
    std::chrono::milliseconds period{500};
    std::size_t wakeBytes = 1 << 20;
    // Bytes kept while the file cannot be written; beyond it the oldest records go.
    std::uint64_t heldBytes = 41943040;
};

// Writes a capture file: records are queued with their time stamps and a writer thread
// turns them into pcap records through libpcap and appends them to the file in whole
// records, so whoever queues never waits for the disk and the file never ends inside a
// record. The file is created new (a taken name gets the next "_2", "_3" ...). A file that
// cannot be written is reported once per run of failures, as the CSV file is, and what it
// did not take is kept and tried again in the same file.
//
// Threads: Open, Append, Close and SetLanguageFlag belong to one thread (the host's main
// thread); Path() and LostRecords() may be called from any thread; the writer thread
// reports through RecorderMessages.
class CaptureWriter {
public:
    explicit CaptureWriter(RecorderMessages& messages, CaptureLimits limits = {});
    ~CaptureWriter(); // Close()
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // 0 Chinese, 1 English: the language of the messages.
    void SetLanguageFlag(int languageFlag) { languageFlag_ = languageFlag; }

    // Starts a capture in a new file at path (or the first free numbered name when path is
    // taken), with the note as its first record, stamped now or at startTimeNs (nanoseconds
    // since the epoch). A capture still open is closed first. A file that cannot be created
    // fails here and is shown through RecorderMessages; so does nothing else.
    StartResult Open(const std::filesystem::path& path, const CaptureNote& note);
    StartResult Open(const std::filesystem::path& path, const CaptureNote& note,
                     std::int64_t startTimeNs);
    bool IsOpen() const { return writer_.joinable(); }
    // The file the capture is written to.
    std::filesystem::path Path() const;
    // Records given up since this writer was made: dropped past heldBytes, or still
    // unwritten when a capture was closed. Final once Close() returned.
    std::uint64_t LostRecords() const { return lostRecords_.load(); }

    // Every record appended from now on also goes to mirror (null: none), also while closed.
    void SetMirror(CaptureMirror* mirror) { mirror_ = mirror; }
    bool Mirrored() const { return mirror_ != nullptr; }

    // Queues one record stamped now (wall-clock time that advances with the steady clock);
    // nothing is queued while closed. Blocks longer than a record takes are split.
    void Append(CaptureDirection direction, const std::uint8_t* bytes, std::size_t length);
    // The same with a given time stamp, nanoseconds since the epoch.
    void Append(CaptureDirection direction, const std::uint8_t* bytes, std::size_t length,
                std::int64_t timeNs);

    // The time stamp, on this capture's time line, of the moment the steady clock read
    // monotonicNs: a block stamped when it was read keeps its place among the records
    // stamped now, even when the wall clock was set meanwhile. While closed, the wall clock's
    // time of that moment.
    std::int64_t TimeAtMonotonic(std::int64_t monotonicNs) const;

    // Writes everything queued (or gives up after one more try) and ends the writer thread.
    void Close();

private:
    struct Piece {
        std::string bytes;         // whole records (or the file header and the note)
        std::uint64_t records = 0; // for the count of what was lost
    };
    struct Batch {
        std::vector<std::uint8_t> data;   // each record: direction byte, then its bytes
        std::vector<std::int64_t> times;  // per record
        std::vector<std::uint32_t> sizes; // per record, the direction byte included
    };

    class Serialiser;

    std::int64_t NowNs() const;
    void WriterLoop();
    void Serialise(const Batch& batch);
    void WriteHeld();
    bool EnsureFile();
    void DropOldest();
    void GiveUpHeld();
    void Tell(const std::string& english, const std::string& chinese);

    RecorderMessages& messages_;
    const CaptureLimits limits_;
    CaptureMirror* mirror_ = nullptr;
    std::atomic<int> languageFlag_{0};
    std::int64_t baseRealNs_ = 0;
    std::chrono::steady_clock::time_point baseSteady_;

    mutable std::mutex mutex_; // guards queue_, closing_ and path_
    std::filesystem::path path_;
    std::condition_variable wake_;
    Batch queue_;
    bool closing_ = false;
    std::thread writer_;

    // Set by Open before the writer starts and reset by Close after it ended: while it
    // runs, Append only tests it and the writer alone uses it.
    std::unique_ptr<Serialiser> serialiser_;
    // Writer thread only (Open runs before the thread starts, Close after it ended).
    OwnFile file_;
    std::string fileHead_; // the file header and the note: what a file made afresh starts with
    // Pieces in file order. The first one may have to reach the file before anything else:
    // the file head the file lacks, or the rest of a record the file has the start of.
    enum class Pinned { None, Head, RecordRest };
    std::deque<Piece> held_;
    std::uint64_t heldTotal_ = 0;
    Pinned pinned_ = Pinned::None;
    bool failing_ = false;
    bool dropReported_ = false;
    std::uint64_t lostThisCapture_ = 0;
    std::atomic<std::uint64_t> lostRecords_{0};
};

} // namespace orvanta::recording
