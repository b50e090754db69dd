#include "recording/CsvRecorder.h"

#include "serial/ArrivalClock.h"

#include <algorithm>
#include <system_error>

namespace orvanta::recording {
namespace {

using namespace std::chrono_literals;

// Rows wait at most this long (plus the write) before a crash could no longer take them.
constexpr auto kFlushPeriod = 250ms;
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

protocol::ArrivalTime ArrivalNow() {
    const serial::ClockReading now = serial::SystemArrivalClock().Now();
    return {now.realtimeNs, now.monotonicNs};
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

void CsvRecorder::SetPortName(const std::string& portName) {
    std::lock_guard lock(mutex_);
    portName_ = portName;
}

std::string CsvRecorder::ModelName() const {
    std::lock_guard lock(mutex_);
    return modelName_;
}

void CsvRecorder::SetCsvHeader(const std::string& header, int modelIndex) {
    std::lock_guard lock(mutex_);
    csvHeader_ = header;
    headerModel_ = modelIndex;
}

std::string CsvRecorder::FileHeaderLocked() const {
    return format_ == CsvFormat::Designed ? csvHeader_ : BuildUtf8Header(recordingHeader_);
}

std::filesystem::path CsvRecorder::NewPathLocked() const {
    return BuildCsvPath(dataDirectory_, modelName_, clock_.Now(), portName_);
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

CsvRecorder::Written CsvRecorder::WrittenSoFar() const {
    std::lock_guard lock(mutex_);
    return written_;
}

StartResult CsvRecorder::Start() {
    if (recording_) {
        return StartResult::Made(CsvPath());
    }
    JoinWriter(); // one writer per recording: the last one may still be flushing
    std::filesystem::path wanted;
    {
        std::lock_guard lock(mutex_);
        wanted = NewPathLocked();
    }
    if (const int error = file_.Create(wanted); error != 0) {
        const std::string reason = std::generic_category().message(error);
        {
            std::lock_guard lock(mutex_);
            csvPath_ = file_.Path();
        }
        Tell("Unable to write the data file: " + file_.Path().string() + " (" + reason + ")",
             "无法写入数据文件: " + file_.Path().string() + " (" + reason + ")");
        return StartResult::Failed(StartResult::Outcome::FileNotCreated, file_.Path(), error);
    }
    bool headed = false;
    {
        std::lock_guard lock(mutex_);
        csvPath_ = file_.Path();
        written_.files.push_back(file_.Path());
        format_ = nextFormat_;
        recordingHeader_ = csvHeader_;
        rowModel_ = headerModel_;
        rowBufferA_ = FileHeaderLocked();
        headed = !rowBufferA_.empty();
        rowBufferB_.clear();
        lastActive_ = 1;
        recordingState_ = 1;
        flushRequested_ = false;
    }
    held_.clear();
    heldSize_ = 0;
    pinned_ = headed ? Pinned::Header : Pinned::None; // it opens buffer A
    failing_ = false;
    dropReported_ = false;
    lostThisRecording_ = 0;
    sleeper_.Rearm();
    try {
        writer_ = std::thread(&CsvRecorder::WriterLoop, this);
    } catch (const std::system_error&) {
        {
            std::lock_guard lock(mutex_);
            recordingState_ = 0;
            rowBufferA_.clear();
        }
        const auto path = file_.Path();
        file_.Close();
        std::error_code ec;
        std::filesystem::remove(path, ec); // ours and still empty
        return StartResult::Failed(StartResult::Outcome::NoThread, path);
    }
    recording_ = true;
    return StartResult::Made(file_.Path());
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
    AppendToActiveLocked(text);
}

void CsvRecorder::AppendToActiveLocked(const std::string& text) {
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

void CsvRecorder::AppendRow(const ItemTexts& items, int modelIndex,
                            const protocol::ArrivalTime& arrival) {
    if (recordingState_.load() == 0) {
        return;
    }
    AppendRowAt(items, modelIndex, clock_.At(arrival.realtimeNs), arrival);
}

void CsvRecorder::AppendRow(const ItemTexts& items, int modelIndex) {
    if (recordingState_.load() == 0) {
        return;
    }
    AppendRow(items, modelIndex, ArrivalNow());
}

void CsvRecorder::AppendRow(const ItemTexts& items, int modelIndex, const LocalTime& time) {
    if (recordingState_.load() == 0) {
        return;
    }
    AppendRowAt(items, modelIndex, time, ArrivalNow());
}

void CsvRecorder::AppendRowAt(const ItemTexts& items, int modelIndex, const LocalTime& time,
                              const protocol::ArrivalTime& arrival) {
    if (format_ == CsvFormat::Designed) {
        AppendToActive(BuildRow(items, modelIndex, time));
        return;
    }
    AppendToActive(BuildUtf8Row(items, rowModel_ >= 0 ? rowModel_ : modelIndex, time, arrival));
}

void CsvRecorder::RewriteHeaderForAngleUnit(int angleUnit) {
    std::lock_guard lock(mutex_);
    csvHeader_ = RewriteAngleUnit(csvHeader_, angleUnit);
    recordingHeader_ = RewriteAngleUnit(recordingHeader_, angleUnit);
    AppendToActiveLocked(FileHeaderLocked());
}

void CsvRecorder::RewriteHeaderForAccelUnit(int accelUnit) {
    std::lock_guard lock(mutex_);
    csvHeader_ = RewriteAccelUnit(csvHeader_, accelUnit);
    recordingHeader_ = RewriteAccelUnit(recordingHeader_, accelUnit);
    AppendToActiveLocked(FileHeaderLocked());
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
        if (!flushRequested_.exchange(false)) {
            sleeper_.SleepFor(kFlushPeriod);
            flushRequested_ = false; // this round serves the request
        }
        // The lock makes the take-over safe, so no hand-over pause is needed.
        std::string block;
        {
            std::lock_guard lock(mutex_);
            const auto state = recordingState_.load();
            if (state == 1 && !rowBufferA_.empty()) {
                recordingState_ = 2;
                block.swap(rowBufferA_);
            } else if (state == 2 && !rowBufferB_.empty()) {
                recordingState_ = 1;
                block.swap(rowBufferB_);
            }
        }
        if (!block.empty() || !held_.empty()) {
            AppendToCsvFile(std::move(block));
        }
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
    GiveUpHeldRows();
    file_.Close();
    EndWriterRound();
}

// Makes sure file_ is the file the rows go to, path being CsvPath() as the round began;
// false when it cannot be created now (tried again next round, at the same name).
bool CsvRecorder::OpenFileFor(std::filesystem::path& path) {
    // A row the file has the start of is finished there before anything moves on.
    const bool mayMove = pinned_ != Pinned::RowRest;
    if (file_.IsOpen() && !file_.StillAtPath()) {
        // Removed, or its folder moved or replaced: a new file at the name, which starts
        // with the header like any file that begins a recording's rows.
        file_.Close();
        if (pinned_ == Pinned::RowRest) {
            const std::size_t end = held_.find('\n'); // its start went with the old file
            held_.erase(0, end == std::string::npos ? held_.size() : end + 1);
            ++lostThisRecording_;
            ++lostRows_;
        }
        if (pinned_ != Pinned::Header) {
            std::lock_guard lock(mutex_);
            held_.insert(0, ToCrLf(FileHeaderLocked()));
            pinned_ = Pinned::Header;
        }
        heldSize_ = held_.size();
    } else if (file_.IsOpen() && mayMove && file_.Path() != path) {
        file_.Close(); // a new CsvPath (Browse): continued there without a header
    } else if (file_.IsOpen() && mayMove && file_.Size() > limits_.rollOverBytes) {
        file_.Close(); // continued in a new file without a header
        std::lock_guard lock(mutex_);
        if (csvPath_ == path) {
            csvPath_ = NewPathLocked();
        }
        path = csvPath_;
    }
    if (file_.IsOpen()) {
        return true;
    }
    // Taken names give the next number, so this never appends to a file it did not make.
    const int error = file_.Create(path);
    if (error == 0) {
        std::lock_guard lock(mutex_);
        written_.files.push_back(file_.Path());
        if (csvPath_ == path) {
            csvPath_ = file_.Path();
        }
        path = file_.Path();
    }
    return error == 0;
}

void CsvRecorder::AppendToCsvFile(std::string text) {
    held_ += ToCrLf(text);
    heldSize_ = held_.size();
    if (held_.empty()) {
        return;
    }
    std::filesystem::path path = CsvPath();
    if (OpenFileFor(path)) {
        const OwnFile::Appended appended = file_.Append(held_);
        if (appended.kept > 0) {
            const std::size_t firstLineEnd = held_.find('\n');
            const bool pastFirstLine =
                firstLineEnd == std::string::npos || appended.kept > firstLineEnd;
            const auto lines = static_cast<std::uint64_t>(std::count(
                held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(appended.kept), '\n'));
            {
                std::lock_guard lock(mutex_);
                written_.rows += lines - (pinned_ == Pinned::Header && pastFirstLine ? 1 : 0);
                written_.bytes += appended.kept;
            }
            held_.erase(0, appended.kept);
            heldSize_ = held_.size();
            if (held_.empty()) {
                pinned_ = Pinned::None;
            } else if (pastFirstLine || pinned_ == Pinned::None) {
                pinned_ = Pinned::RowRest; // a part stayed: the rest of its row comes next
            }
        }
        if (appended.error == 0) {
            if (failing_) {
                failing_ = false;
                Tell("The data file is being written again: " + file_.Path().string(),
                     "数据文件已恢复写入: " + file_.Path().string());
            }
            dropReported_ = false;
            return;
        }
    }
    path = file_.Path(); // the name written to or tried
    if (!failing_) {
        failing_ = true;
        Tell("Unable to write the data file: " + path.string(),
             "无法写入数据文件: " + path.string());
    }
    if (held_.size() > limits_.heldBytes) {
        DropOldestHeldRows();
        if (!dropReported_) {
            dropReported_ = true;
            Tell("Unwritten data exceeded 40 MiB, the oldest rows were dropped: " + path.string(),
                 "未写入的数据超过40 MiB，最早的数据行已丢弃: " + path.string());
        }
    }
}

void CsvRecorder::DropOldestHeldRows() {
    // A pinned first line stays; rows go from after it, cut at a line end so the rows kept
    // are whole.
    std::size_t from = 0;
    if (pinned_ != Pinned::None) {
        const std::size_t end = held_.find('\n');
        from = end == std::string::npos ? held_.size() : end + 1;
    }
    const std::size_t excess = held_.size() - static_cast<std::size_t>(limits_.heldBytes);
    const std::size_t lineEnd = held_.find('\n', from + excess - 1);
    const std::size_t to = lineEnd == std::string::npos ? held_.size() : lineEnd + 1;
    const auto rows = static_cast<std::uint64_t>(std::count(
        held_.begin() + static_cast<long>(from), held_.begin() + static_cast<long>(to), '\n'));
    held_.erase(from, to - from);
    heldSize_ = held_.size();
    lostThisRecording_ += rows;
    lostRows_ += rows;
}

// The end of a recording: what could not be written is lost, and the user hears how much.
void CsvRecorder::GiveUpHeldRows() {
    if (!held_.empty()) {
        auto rows = static_cast<std::uint64_t>(std::count(held_.begin(), held_.end(), '\n'));
        if (pinned_ == Pinned::Header && rows > 0) {
            --rows; // a header, not a row
        }
        lostThisRecording_ += rows;
        lostRows_ += rows;
        held_.clear();
        heldSize_ = 0;
        pinned_ = Pinned::None;
    }
    if (lostThisRecording_ > 0) {
        const std::string path = file_.Path().string();
        const std::string rows = std::to_string(lostThisRecording_);
        Tell(rows + " rows could not be written and were lost: " + path,
             rows + "行数据未能写入，已丢失: " + path);
    }
}

void CsvRecorder::Tell(const std::string& english, const std::string& chinese) {
    messages_.ShowMessage(kCaption, languageFlag_.load() == 1 ? english : chinese);
}

} // namespace orvanta::recording
