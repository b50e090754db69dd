#pragma once

#include "recording/CsvLayout.h"
#include "recording/LocalClock.h"
#include "recording/OwnFile.h"
#include "recording/RecorderMessages.h"
#include "recording/Sleeper.h"
#include "recording/StartResult.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvanta::recording {

struct RecorderLimits {
    // A file larger than this is continued in a new file (exactly this size is not yet larger).
    std::uint64_t rollOverBytes = 41943040;
    // Rows that could not be written are kept up to this many bytes; beyond it the oldest go.
    std::uint64_t heldBytes = 41943040;
    // WaitForWriter keeps the rows in the two buffers below this.
    std::uint64_t backlogBytes = 4194304;
};

// Records decoded frames as CSV rows: the main thread appends rows to the active one of two
// buffers, a writer thread takes the other buffer over every 250 ms and appends it to the
// file in whole rows, so a crash loses well under a second and never leaves half a row.
// Every file is created new by this recorder (a taken name gets the next "_2", "_3" ...);
// rows that cannot be written are held and tried again in the same file.
//
// Threads: every public method except RecordingState(), CsvPath(), WaitForWriter(),
// HeldBytes(), LostRows() and WrittenSoFar() belongs to the main thread; those may be called from
// any thread (WaitForWriter not from the writer's). The writer thread reports file trouble through
// RecorderMessages.
class CsvRecorder {
public:
    CsvRecorder(const LocalClock& clock, Sleeper& sleeper, RecorderMessages& messages,
                RecorderLimits limits = {});
    ~CsvRecorder(); // Shutdown()

    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    void SetDataDirectory(const std::filesystem::path& directory);
    std::filesystem::path DataDirectory() const;
    // The model name as configured; only the file names see it sanitised.
    void SetModelName(const std::string& modelName);
    std::string ModelName() const;
    // A run that records several ports names each file after its port too; empty: not.
    void SetPortName(const std::string& portName);
    // The header line with its line feed, in code page 936 bytes, and the model whose rows
    // it names (-1: whichever model each row has).
    void SetCsvHeader(const std::string& header, int modelIndex = -1);
    const std::string& CsvHeader() const { return csvHeader_; }
    // The format of the next recording; one already running keeps its own.
    void SetCsvFormat(CsvFormat format) { nextFormat_ = format; }
    CsvFormat GetCsvFormat() const { return nextFormat_; }
    // 0 Chinese, 1 English: the language of the messages.
    void SetLanguageFlag(int languageFlag) { languageFlag_ = languageFlag; }

    // CsvPath = BuildCsvPath(DataDirectory, model name, now); returns it for the path box.
    std::filesystem::path RebuildCsvPath();
    std::filesystem::path CsvPath() const;

    // Start: new CsvPath, the file created (a free numbered name when that one is taken),
    // buffer A = the header, writer thread started. Waits first for the writer of an
    // earlier recording. A file that cannot be created fails here, is shown through
    // RecorderMessages and leaves the recorder idle; CsvPath() is then the path tried.
    StartResult Start();
    // Stop: no more rows; the writer writes what is gathered and ends.
    void Stop();
    // Stop and wait until everything gathered has been written (or given up); program end.
    void Shutdown();
    bool Recording() const { return recording_; }
    // 0 idle, 1 rows go to buffer A, 2 rows go to buffer B.
    std::uint8_t RecordingState() const { return recordingState_.load(); }

    // One row for a decoded data frame; nothing happens while idle. The time is the frame's
    // arrival (its designed text the local time then), or now; a LocalTime gives the
    // designed text alone, the analysis format's instants being now.
    void AppendRow(const ItemTexts& items, int modelIndex, const protocol::ArrivalTime& arrival);
    void AppendRow(const ItemTexts& items, int modelIndex);
    void AppendRow(const ItemTexts& items, int modelIndex, const LocalTime& time);

    // Unit clicks: rewrite the header, then during a recording append it as a row.
    void RewriteHeaderForAngleUnit(int angleUnit);
    void RewriteHeaderForAccelUnit(int accelUnit);

    // Back-pressure for a producer faster than the writer's period (a replay at full
    // speed): while more than backlogBytes of rows wait in the buffers, the writer is asked
    // to write them at once and the caller waits for each such round. Returns at once while
    // idle, and when the recording stops.
    void WaitForWriter();

    // What this recorder has put into files since it was made: the files it created, in
    // order, and the rows (headers that begin a file not counted) and bytes that reached
    // them. Any thread.
    struct Written {
        std::vector<std::filesystem::path> files;
        std::uint64_t rows = 0;
        std::uint64_t bytes = 0;
    };
    Written WrittenSoFar() const;

    // Bytes of rows (as the file takes them) kept because they could not be written yet.
    std::uint64_t HeldBytes() const { return heldSize_.load(); }
    // Rows given up since this recorder was made: dropped past heldBytes, or still unwritten
    // when a recording ended. Final once Shutdown() returned.
    std::uint64_t LostRows() const { return lostRows_.load(); }

private:
    void AppendRowAt(const ItemTexts& items, int modelIndex, const LocalTime& time,
                     const protocol::ArrivalTime& arrival);
    // The header line as this recording's file takes it; mutex_ held.
    std::string FileHeaderLocked() const;
    void AppendToActive(const std::string& text);
    void AppendToActiveLocked(const std::string& text);
    void WriterLoop();
    void EndWriterRound();
    void AppendToCsvFile(std::string text);
    bool OpenFileFor(std::filesystem::path& path);
    void DropOldestHeldRows();
    void GiveUpHeldRows();
    void JoinWriter();
    void Tell(const std::string& english, const std::string& chinese);
    std::filesystem::path NewPathLocked() const;

    const LocalClock& clock_;
    Sleeper& sleeper_;
    RecorderMessages& messages_;
    const RecorderLimits limits_;

    // Guards the buffers, the state switch, CsvPath, the directory and the model name.
    mutable std::mutex mutex_;
    std::filesystem::path dataDirectory_;
    std::string modelName_;
    std::string portName_;
    std::filesystem::path csvPath_;
    Written written_;
    std::string rowBufferA_;
    std::string rowBufferB_;
    std::atomic<std::uint8_t> recordingState_{0};
    std::uint8_t lastActive_ = 1; // the state before Stop, so the final flush keeps row order
    std::uint64_t writerRounds_ = 0;
    std::condition_variable writerProgress_;
    std::atomic<bool> flushRequested_{false};

    std::string csvHeader_;                      // written by the main thread under the lock
    int headerModel_ = -1;                       // main thread
    CsvFormat nextFormat_ = CsvFormat::Designed; // main thread
    // Of the running recording, set by Start under the lock before its writer starts: the
    // format, and in the analysis format the header that began the file (unit clicks
    // rewrite it) and the row layout its columns name, so every row has its field count.
    CsvFormat format_ = CsvFormat::Designed;
    std::string recordingHeader_;
    int rowModel_ = -1;
    bool recording_ = false;
    std::atomic<int> languageFlag_{0};
    std::thread writer_;

    // Writer thread only (writers never overlap: Start joins the previous one and sets
    // them before the thread starts).
    OwnFile file_;
    std::string held_; // rows as the file takes them (CR LF), oldest first
    // The first line of held_ that must reach the file before anything else: a header the
    // file still lacks, or the rest of a row the file already has the start of.
    enum class Pinned { None, Header, RowRest };
    Pinned pinned_ = Pinned::None;
    bool failing_ = false;
    bool dropReported_ = false;
    std::uint64_t lostThisRecording_ = 0;
    std::atomic<std::uint64_t> heldSize_{0};
    std::atomic<std::uint64_t> lostRows_{0};
};

} // namespace orvanta::recording
