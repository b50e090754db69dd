#include "recording/CsvRecorder.h"

#include "recording/WriteWhole.h"

#include <system_error>

namespace orvanta::recording {
namespace {

using namespace std::chrono_literals;

constexpr auto kFlushPeriod = 4000ms;
constexpr auto kHandOverPause = 1200ms;
constexpr const char* kCaption = "Message";

// Rows end in a line feed in memory; the file gets CR LF, as a text-mode write would.
std::string ToCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 16);
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// path with "_2", "_3" ... before its extension: the first that names no file.
std::filesystem::path FreeNumberedPath(const std::filesystem::path& path) {
    for (int n = 2;; ++n) {
        std::filesystem::path numbered = path;
        numbered.replace_filename(path.stem().string() + "_" + std::to_string(n) +
                                  path.extension().string());
        std::error_code ec;
        if (!std::filesystem::exists(numbered, ec)) {
            return numbered;
        }
    }
}

bool LargerThan(const std::filesystem::path& path, std::uint64_t limit) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size > limit;
}

} // namespace

CsvRecorder::CsvRecorder(const LocalClock& clock, Sleeper& sleeper, RecorderMessages& messages,
                         RecorderLimits limits)
    : clock_(clock), sleeper_(sleeper), messages_(messages), limits_(limits) {}

CsvRecorder::~CsvRecorder() {
    Shutdown();
}

void CsvRecorder::SetDataDirectory(const std::filesystem::path& directory) {
    std::lock_guard lock(mutex_);
    dataDirectory_ = directory;
}

std::filesystem::path CsvRecorder::DataDirectory() const {
    std::lock_guard lock(mutex_);
    return dataDirectory_;
}

void CsvRecorder::SetModelName(const std::string& modelName) {
    std::lock_guard lock(mutex_);
    modelName_ = modelName;
}

std::string CsvRecorder::ModelName() const {
    std::lock_guard lock(mutex_);
    return modelName_;
}

void CsvRecorder::SetCsvHeader(const std::string& header) {
    csvHeader_ = header;
}

std::filesystem::path CsvRecorder::NewPathLocked() const {
    return BuildCsvPath(dataDirectory_, modelName_, clock_.Now());
}

std::filesystem::path CsvRecorder::RebuildCsvPath() {
    std::lock_guard lock(mutex_);
    csvPath_ = NewPathLocked();
    return csvPath_;
}

std::filesystem::path CsvRecorder::CsvPath() const {
    std::lock_guard lock(mutex_);
    return csvPath_;
}

bool CsvRecorder::Start() {
    if (recording_) {
        return true;
    }
    JoinWriter(); // one writer per recording: the last one may still be flushing
    {
        std::lock_guard lock(mutex_);
        csvPath_ = NewPathLocked();
        rowBufferA_ = csvHeader_;
        rowBufferB_.clear();
        lastActive_ = 1;
        recordingState_ = 1;
        flushRequested_ = false;
    }
    sleeper_.Rearm();
    try {
        writer_ = std::thread(&CsvRecorder::WriterLoop, this);
    } catch (const std::system_error&) {
        std::lock_guard lock(mutex_);
        recordingState_ = 0;
        rowBufferA_.clear();
        return false;
    }
    recording_ = true;
    return true;
}

void CsvRecorder::Stop() {
    if (!recording_) {
        return;
    }
    recording_ = false;
    {
        std::lock_guard lock(mutex_);
        lastActive_ = recordingState_.load();
        recordingState_ = 0;
    }
    writerProgress_.notify_all();
    sleeper_.Interrupt(); // the writer flushes now instead of at its next wake-up
}

void CsvRecorder::Shutdown() {
    Stop();
    JoinWriter();
}

void CsvRecorder::JoinWriter() {
    if (writer_.joinable()) {
        writer_.join();
    }
}

void CsvRecorder::AppendToActive(const std::string& text) {
    std::lock_guard lock(mutex_);
    switch (recordingState_.load()) {
    case 1:
        rowBufferA_ += text;
        break;
    case 2:
        rowBufferB_ += text;
        break;
    default:
        break;
    }
}

void CsvRecorder::AppendRow(const ItemTexts& items, int modelIndex) {
    if (recordingState_.load() == 0) {
        return;
    }
    AppendRow(items, modelIndex, clock_.Now());
}

void CsvRecorder::AppendRow(const ItemTexts& items, int modelIndex, const LocalTime& time) {
    if (recordingState_.load() == 0) {
        return;
    }
    AppendToActive(BuildRow(items, modelIndex, time));
}

void CsvRecorder::RewriteHeaderForAngleUnit(int angleUnit) {
    csvHeader_ = RewriteAngleUnit(csvHeader_, angleUnit);
    AppendToActive(csvHeader_);
}

void CsvRecorder::RewriteHeaderForAccelUnit(int accelUnit) {
    csvHeader_ = RewriteAccelUnit(csvHeader_, accelUnit);
    AppendToActive(csvHeader_);
}

void CsvRecorder::WaitForWriter() {
    std::unique_lock lock(mutex_);
    while (recordingState_.load() != 0 &&
           rowBufferA_.size() + rowBufferB_.size() > limits_.backlogBytes) {
        const std::uint64_t round = writerRounds_;
        flushRequested_ = true;
        lock.unlock();
        sleeper_.Wake();
        lock.lock();
        writerProgress_.wait(lock,
                             [&] { return writerRounds_ != round || recordingState_.load() == 0; });
    }
}

void CsvRecorder::EndWriterRound() {
    {
        std::lock_guard lock(mutex_);
        ++writerRounds_;
    }
    writerProgress_.notify_all();
}

void CsvRecorder::WriterLoop() {
    while (recordingState_.load() != 0) {
        bool requested = flushRequested_.exchange(false);
        if (!requested) {
            sleeper_.SleepFor(kFlushPeriod);
            requested = flushRequested_.exchange(false);
        }
        std::string* retired = nullptr;
        {
            std::lock_guard lock(mutex_);
            const auto state = recordingState_.load();
            if (state == 1 && !rowBufferA_.empty()) {
                recordingState_ = 2;
                retired = &rowBufferA_;
            } else if (state == 2 && !rowBufferB_.empty()) {
                recordingState_ = 1;
                retired = &rowBufferB_;
            }
        }
        if (retired == nullptr) {
            EndWriterRound();
            continue;
        }
        // The hand-over pause stays; the lock is what makes the take-over safe. A round
        // asked for by WaitForWriter skips it: its producer waits meanwhile.
        if (!requested) {
            sleeper_.SleepFor(kHandOverPause);
        }
        std::string block;
        {
            std::lock_guard lock(mutex_);
            block.swap(*retired);
        }
        AppendToCsvFile(std::move(block));
        EndWriterRound();
    }
    // Stopped: what is still gathered goes out now, older buffer first.
    std::string rest;
    {
        std::lock_guard lock(mutex_);
        std::string& older = lastActive_ == 1 ? rowBufferB_ : rowBufferA_;
        std::string& newer = lastActive_ == 1 ? rowBufferA_ : rowBufferB_;
        rest = std::move(older);
        rest += newer;
        rowBufferA_.clear();
        rowBufferB_.clear();
    }
    AppendToCsvFile(std::move(rest));
    EndWriterRound();
}

void CsvRecorder::AppendToCsvFile(std::string text) {
    held_ += text;
    heldSize_ = held_.size();
    if (held_.empty()) {
        return;
    }
    std::filesystem::path path = CsvPath();
    if (LargerThan(path, limits_.rollOverBytes)) { // no disk access under the lock
        std::filesystem::path next;
        {
            std::lock_guard lock(mutex_);
            next = NewPathLocked();
        }
        if (next == path) {
            // Named in the same second as the full file (a replay at full speed fills 40 MiB
            // in less): a numbered name, so the rows do not go on in the full file.
            next = FreeNumberedPath(path);
        }
        std::lock_guard lock(mutex_);
        if (csvPath_ == path) {
            csvPath_ = next; // continued without a header
        }
        path = csvPath_;
    }
    const std::string data = ToCrLf(held_);
    int error = WriteWhole(path, data);
    if (error != 0) {
        {
            std::lock_guard lock(mutex_);
            csvPath_ = NewPathLocked();
            path = csvPath_;
        }
        error = WriteWhole(path, data);
    }
    if (error == 0) {
        held_.clear();
        heldSize_ = 0;
        failureReported_ = false;
        dropReported_ = false;
        return;
    }
    const bool english = languageFlag_.load() == 1;
    if (!failureReported_) {
        failureReported_ = true;
        messages_.ShowMessage(kCaption,
                              (english ? "Unable to write the data file: " : "无法写入数据文件: ") +
                                  path.string());
    }
    if (held_.size() > limits_.heldBytes) {
        DropOldestHeldRows();
        if (!dropReported_) {
            dropReported_ = true;
            messages_.ShowMessage(
                kCaption,
                (english ? "Unwritten data exceeded 40 MiB, the oldest rows were dropped: "
                         : "未写入的数据超过40 MiB，最早的数据行已丢弃: ") +
                    path.string());
        }
    }
}

void CsvRecorder::DropOldestHeldRows() {
    const std::size_t excess = held_.size() - static_cast<std::size_t>(limits_.heldBytes);
    // Cut at a line end so that the rows kept are whole.
    const std::size_t lineEnd = held_.find('\n', excess - 1);
    if (lineEnd == std::string::npos) {
        held_.clear();
    } else {
        held_.erase(0, lineEnd + 1);
    }
    heldSize_ = held_.size();
}

} // namespace orvanta::recording
