#include "recording/CaptureWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <pcap/pcap.h>
#include <system_error>

namespace orvanta::recording {

namespace {
constexpr const char* kCaption = "Message";
} // namespace

// libpcap writes the file format into a stream whose bytes land in a string, so the
// writer decides itself how they reach the disk (whole or not at all, kept on failure).
class CaptureWriter::Serialiser {
public:
    Serialiser() {
        dead_ = pcap_open_dead_with_tstamp_precision(
            kCaptureLinkType, static_cast<int>(kCaptureSnapLength), PCAP_TSTAMP_PRECISION_NANO);
        const cookie_io_functions_t functions{nullptr, &Serialiser::Write, nullptr, nullptr};
        FILE* stream = fopencookie(this, "w", functions);
        if (dead_ != nullptr && stream != nullptr) {
            dumper_ = pcap_dump_fopen(dead_, stream); // writes the file header
        }
        if (dumper_ == nullptr && stream != nullptr) {
            std::fclose(stream);
        }
    }
    ~Serialiser() {
        if (dumper_ != nullptr) {
            pcap_dump_close(dumper_);
        }
        if (dead_ != nullptr) {
            pcap_close(dead_);
        }
    }
    Serialiser(const Serialiser&) = delete;
    Serialiser& operator=(const Serialiser&) = delete;

    bool Ready() const { return dumper_ != nullptr; }
    void Add(std::int64_t timeNs, const std::uint8_t* data, std::uint32_t size) {
        pcap_pkthdr header{};
        header.ts.tv_sec = static_cast<time_t>(timeNs / 1000000000);
        header.ts.tv_usec = static_cast<suseconds_t>(timeNs % 1000000000); // nanoseconds
        if (header.ts.tv_usec < 0) {
            header.ts.tv_sec -= 1;
            header.ts.tv_usec += 1000000000;
        }
        header.caplen = size;
        header.len = size;
        pcap_dump(reinterpret_cast<u_char*>(dumper_), &header, data);
    }
    // Everything serialised since the last call.
    std::string Take() {
        pcap_dump_flush(dumper_);
        std::string out;
        out.swap(bytes_);
        return out;
    }

private:
    static ssize_t Write(void* cookie, const char* data, size_t size) {
        static_cast<Serialiser*>(cookie)->bytes_.append(data, size);
        return static_cast<ssize_t>(size);
    }

    pcap_t* dead_ = nullptr;
    pcap_dumper_t* dumper_ = nullptr;
    std::string bytes_;
};

CaptureWriter::CaptureWriter(RecorderMessages& messages, CaptureLimits limits)
    : messages_(messages), limits_(limits) {}

CaptureWriter::~CaptureWriter() {
    Close();
}

StartResult CaptureWriter::Open(const std::filesystem::path& path, const CaptureNote& note) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Open(path, note, static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec);
}

StartResult CaptureWriter::Open(const std::filesystem::path& path, const CaptureNote& noteLines,
                                std::int64_t startTimeNs) {
    Close();
    auto serialiser = std::make_unique<Serialiser>();
    if (!serialiser->Ready()) {
        return StartResult::Failed(StartResult::Outcome::NoSerialiser, path);
    }
    const int error = file_.Create(path);
    {
        std::lock_guard lock(mutex_);
        path_ = file_.Path();
    }
    if (error != 0) {
        const std::string reason = std::generic_category().message(error);
        Tell("Unable to write the capture file: " + file_.Path().string() + " (" + reason + ")",
             "无法写入原始数据文件: " + file_.Path().string() + " (" + reason + ")");
        return StartResult::Failed(StartResult::Outcome::FileNotCreated, file_.Path(), error);
    }
    serialiser_ = std::move(serialiser);
    // The file header and the note make the first piece, which is never dropped.
    std::string note = FormatCaptureNote(noteLines);
    note.insert(note.begin(), static_cast<char>(CaptureDirection::Note));
    serialiser_->Add(startTimeNs, reinterpret_cast<const std::uint8_t*>(note.data()),
                     static_cast<std::uint32_t>(std::min(note.size(), kCaptureSnapLength)));
    fileHead_ = serialiser_->Take();
    held_.clear();
    held_.push_back({fileHead_, 1});
    heldTotal_ = fileHead_.size();
    pinned_ = Pinned::Head;
    failing_ = false;
    dropReported_ = false;
    lostThisCapture_ = 0;
    baseRealNs_ = startTimeNs;
    baseSteady_ = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(mutex_);
        queue_ = {};
        closing_ = false;
    }
    try {
        writer_ = std::thread(&CaptureWriter::WriterLoop, this);
    } catch (const std::system_error&) {
        serialiser_.reset();
        file_.Close();
        std::error_code ec;
        std::filesystem::remove(file_.Path(), ec); // ours and still empty
        return StartResult::Failed(StartResult::Outcome::NoThread, file_.Path());
    }
    return StartResult::Made(file_.Path());
}

std::filesystem::path CaptureWriter::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

std::int64_t CaptureWriter::NowNs() const {
    return baseRealNs_ + std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::steady_clock::now() - baseSteady_)
                             .count();
}

std::int64_t CaptureWriter::TimeAtMonotonic(std::int64_t monotonicNs) const {
    if (serialiser_ == nullptr) {
        const auto since = [](auto now) {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch())
                .count();
        };
        return since(std::chrono::system_clock::now()) +
               (monotonicNs - since(std::chrono::steady_clock::now()));
    }
    const std::int64_t baseSteadyNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(baseSteady_.time_since_epoch())
            .count();
    return baseRealNs_ + (monotonicNs - baseSteadyNs);
}

void CaptureWriter::Append(CaptureDirection direction, const std::uint8_t* bytes,
                           std::size_t length) {
    if (serialiser_ != nullptr) {
        Append(direction, bytes, length, NowNs());
    } else if (mirror_ != nullptr) {
        mirror_->MirrorRecord(direction, bytes, length,
                              std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count());
    }
}

void CaptureWriter::Append(CaptureDirection direction, const std::uint8_t* bytes,
                           std::size_t length, std::int64_t timeNs) {
    if (mirror_ != nullptr) {
        mirror_->MirrorRecord(direction, bytes, length, timeNs);
    }
    if (serialiser_ == nullptr) {
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        std::size_t done = 0;
        do {
            const std::size_t part = std::min(length - done, kCaptureSnapLength - 1);
            queue_.data.push_back(static_cast<std::uint8_t>(direction));
            queue_.data.insert(queue_.data.end(), bytes + done, bytes + done + part);
            queue_.times.push_back(timeNs);
            queue_.sizes.push_back(static_cast<std::uint32_t>(part + 1));
            done += part;
        } while (done < length);
        wake = queue_.data.size() >= limits_.wakeBytes;
    }
    if (wake) {
        wake_.notify_one();
    }
}

void CaptureWriter::Close() {
    if (!writer_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    wake_.notify_one();
    writer_.join();
    serialiser_.reset();
}

void CaptureWriter::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, limits_.period,
                       [this] { return closing_ || queue_.data.size() >= limits_.wakeBytes; });
        Batch batch;
        std::swap(batch, queue_);
        const bool last = closing_;
        lock.unlock();
        Serialise(batch);
        WriteHeld();
        if (last) {
            // Close runs on the only thread that appends, so nothing came since.
            GiveUpHeld();
            file_.Close();
            return;
        }
        lock.lock();
    }
}

void CaptureWriter::Serialise(const Batch& batch) {
    if (batch.times.empty()) {
        return;
    }
    const std::uint8_t* at = batch.data.data();
    for (std::size_t i = 0; i < batch.times.size(); ++i) {
        serialiser_->Add(batch.times[i], at, batch.sizes[i]);
        at += batch.sizes[i];
    }
    held_.push_back({serialiser_->Take(), batch.times.size()});
    heldTotal_ += held_.back().bytes.size();
}

// Makes sure file_ is open at the capture's name; false when it cannot be created now.
bool CaptureWriter::EnsureFile() {
    if (file_.IsOpen() && !file_.StillAtPath()) {
        // Removed, or its folder moved or replaced: a new file, which must start with the
        // file header and the note to be read as a capture.
        file_.Close();
        if (pinned_ == Pinned::RecordRest) { // its start went with the old file
            heldTotal_ -= held_.front().bytes.size();
            lostThisCapture_ += held_.front().records;
            lostRecords_ += held_.front().records;
            held_.pop_front();
        }
        if (pinned_ != Pinned::Head) {
            held_.push_front({fileHead_, 0});
            heldTotal_ += fileHead_.size();
            pinned_ = Pinned::Head;
        }
    }
    if (file_.IsOpen()) {
        return true;
    }
    if (file_.Create(Path()) != 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    path_ = file_.Path();
    return true;
}

void CaptureWriter::WriteHeld() {
    if (held_.empty()) {
        return;
    }
    OwnFile::Appended appended{EIO, 0};
    if (EnsureFile()) {
        std::string data;
        data.reserve(heldTotal_);
        for (const Piece& piece : held_) {
            data += piece.bytes;
        }
        appended = file_.Append(data);
        std::size_t kept = appended.kept;
        while (kept > 0 && kept >= held_.front().bytes.size()) {
            kept -= held_.front().bytes.size();
            heldTotal_ -= held_.front().bytes.size();
            held_.pop_front();
            pinned_ = Pinned::None;
        }
        if (kept > 0) {
            held_.front().bytes.erase(0, kept); // its start is in the file: the rest comes next
            heldTotal_ -= kept;
            pinned_ = Pinned::RecordRest;
        }
    }
    const std::string path = Path().string();
    if (appended.error == 0) {
        if (failing_) {
            failing_ = false;
            Tell("The capture file is being written again: " + path,
                 "原始数据文件已恢复写入: " + path);
        }
        dropReported_ = false;
        return;
    }
    if (!failing_) {
        failing_ = true;
        Tell("Unable to write the capture file: " + path, "无法写入原始数据文件: " + path);
    }
    if (heldTotal_ > limits_.heldBytes) {
        DropOldest();
        if (!dropReported_) {
            dropReported_ = true;
            Tell("Unwritten data exceeded 40 MiB, the oldest records were dropped: " + path,
                 "未写入的数据超过40 MiB，最早的记录已丢弃: " + path);
        }
    }
}

void CaptureWriter::DropOldest() {
    // The oldest records go first; a pinned first piece stays.
    const std::size_t keep = pinned_ != Pinned::None ? 1 : 0;
    while (heldTotal_ > limits_.heldBytes && held_.size() > keep) {
        auto oldest = held_.begin() + static_cast<long>(keep);
        heldTotal_ -= oldest->bytes.size();
        lostThisCapture_ += oldest->records;
        lostRecords_ += oldest->records;
        held_.erase(oldest);
    }
}

// The end of a capture: what could not be written is lost, and the user hears how much.
void CaptureWriter::GiveUpHeld() {
    for (const Piece& piece : held_) {
        lostThisCapture_ += piece.records;
        lostRecords_ += piece.records;
    }
    held_.clear();
    heldTotal_ = 0;
    pinned_ = Pinned::None;
    if (lostThisCapture_ > 0) {
        const std::string path = Path().string();
        const std::string records = std::to_string(lostThisCapture_);
        Tell(records + " records could not be written and were lost: " + path,
             records + "条记录未能写入，已丢失: " + path);
    }
}

void CaptureWriter::Tell(const std::string& english, const std::string& chinese) {
    messages_.ShowMessage(kCaption, languageFlag_.load() == 1 ? english : chinese);
}

} // namespace orvanta::recording
