#include "recording/CaptureReplay.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvanta::recording {

namespace {
// A time stamp far in the future (a damaged clock) waits at most this long.
constexpr double kLongestWaitSeconds = 1e9;
} // namespace

std::optional<ReplaySpeed> ParseReplaySpeed(std::string_view text) {
    if (text == "max") {
        return ReplaySpeed{true, 1.0};
    }
    const std::string copy(text);
    char* end = nullptr;
    const double factor = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || !std::isfinite(factor) || factor < 0.001 || factor > 1e6) {
        return std::nullopt;
    }
    return ReplaySpeed{false, factor};
}

bool SystemReplayClock::WaitUntil(TimePoint at) {
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, at, [this] { return cancelled_; });
    return !cancelled_;
}

void SystemReplayClock::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_all();
}

void SystemReplayClock::Rearm() {
    std::lock_guard lock(mutex_);
    cancelled_ = false;
}

CaptureReplay::CaptureReplay(ReplayListener& listener, ReplayClock* clock)
    : listener_(listener),
      ownClock_(clock == nullptr ? std::make_unique<SystemReplayClock>() : nullptr),
      clock_(clock == nullptr ? *ownClock_ : *clock) {}

CaptureReplay::~CaptureReplay() {
    CloseLink();
}

bool CaptureReplay::OpenLink(serial::SerialPortOwner* owner, const std::string& devicePath,
                             std::uint32_t, char) {
    CloseLink();
    if (owner == nullptr || devicePath.empty()) {
        openError_ = "no capture file";
        return false;
    }
    openError_.clear();
    reader_ = CaptureReader::Open(devicePath, openError_);
    if (reader_ == nullptr) {
        return false;
    }
    owner_ = owner;
    path_ = devicePath;
    state_ = serial::PortState::Open;
    return true;
}

const CaptureNote& CaptureReplay::Note() const {
    static const CaptureNote kNone;
    return reader_ != nullptr ? reader_->Note() : kNone;
}

bool CaptureReplay::StartMonitor() {
    if (reader_ == nullptr || thread_.joinable()) {
        return false;
    }
    listener_.OnReplayStarting(reader_->Note());
    stopRequested_ = false;
    clock_.Rearm();
    running_ = true;
    state_ = serial::PortState::Monitoring;
    try {
        thread_ = std::thread(&CaptureReplay::Run, this);
    } catch (const std::system_error&) {
        running_ = false;
        state_ = serial::PortState::Open;
        return false;
    }
    return true;
}

bool CaptureReplay::QueueSend(const std::uint8_t*, std::size_t) {
    return false;
}

void CaptureReplay::CloseLink() {
    if (thread_.joinable()) {
        stopRequested_ = true;
        clock_.Cancel();
        // The replay thread may be blocked in a delivery only the owner's thread can run.
        while (running_) {
            owner_->DispatchPendingDelivery();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        thread_.join();
    }
    reader_.reset();
    state_ = serial::PortState::Closed;
}

bool CaptureReplay::WaitForRecord(std::int64_t timeNs) {
    if (stopRequested_) {
        return false;
    }
    if (speed_.asFastAsPossible) {
        return true;
    }
    // Records stamped earlier than one before them (the clock was set back) are not late;
    // a leap far ahead is a damaged stamp, played at once instead of waited for.
    if (timeNs - latestTimeNs_ > kLongestGapNs) {
        if (!leapTold_) {
            leapTold_ = true;
            listener_.OnTimeLeap(static_cast<double>(timeNs - latestTimeNs_) / 1e9);
        }
        leapedNs_ += timeNs - latestTimeNs_;
    }
    latestTimeNs_ = std::max(latestTimeNs_, timeNs);
    const double seconds =
        std::min(static_cast<double>(latestTimeNs_ - leapedNs_ - reader_->StartTimeNs()) / 1e9 /
                     speed_.factor,
                 kLongestWaitSeconds);
    const auto due = startedAt_ + std::chrono::duration_cast<ReplayClock::TimePoint::duration>(
                                      std::chrono::duration<double>(seconds));
    return clock_.WaitUntil(due);
}

void CaptureReplay::DeliverBlock(std::vector<std::uint8_t>& block, std::int64_t timeNs) {
    const auto count = static_cast<std::uint32_t>(block.size());
    block.push_back(0); // the port's blocks carry a zero byte behind the last one
    const std::int64_t monotonicNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(clock_.Now().time_since_epoch())
            .count();
    owner_->OnSerialBytes(block.data(), serial::SerialBlockInfo{path_, count, timeNs, monotonicNs});
    block.clear();
}

void CaptureReplay::Run() {
    startedAt_ = clock_.Now();
    latestTimeNs_ = reader_->StartTimeNs();
    leapedNs_ = 0;
    leapTold_ = false;
    CaptureRecord record;
    std::optional<CaptureRecord> readAhead;
    std::vector<std::uint8_t> block;
    bool stopped = false;
    for (;;) {
        if (readAhead) {
            record = std::move(*readAhead);
            readAhead.reset();
        } else if (reader_->Next(record) != CaptureReader::Step::Record) {
            break;
        }
        if (!WaitForRecord(record.timeNs)) {
            stopped = true;
            break;
        }
        switch (record.direction) {
        case CaptureDirection::DeviceToHost: {
            block.swap(record.bytes);
            std::int64_t blockTimeNs = record.timeNs; // of the last record joined
            if (speed_.asFastAsPossible) {
                if (backPressure_) {
                    backPressure_();
                }
                CaptureRecord next;
                while (block.size() < kJoinedBlockLimit &&
                       reader_->Next(next) == CaptureReader::Step::Record) {
                    if (next.direction != CaptureDirection::DeviceToHost ||
                        block.size() + next.bytes.size() > kJoinedBlockLimit) {
                        readAhead = std::move(next);
                        break;
                    }
                    block.insert(block.end(), next.bytes.begin(), next.bytes.end());
                    blockTimeNs = next.timeNs;
                }
            }
            DeliverBlock(block, blockTimeNs);
            break;
        }
        case CaptureDirection::HostToDevice:
            listener_.OnCapturedSend(record.bytes.data(), record.bytes.size());
            break;
        case CaptureDirection::Note:
            listener_.OnCapturedNote(ParseCaptureNote(std::string_view(
                reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size())));
            break;
        }
    }
    CaptureRecord rest;
    const bool damaged = !stopped && reader_->Next(rest) == CaptureReader::Step::Damaged;
    state_ = serial::PortState::Open;
    listener_.OnReplayEnded(
        ReplayEnd{stopped, damaged, reader_->RecordsRead(), reader_->DamageOffset()});
    running_ = false;
}

} // namespace orvanta::recording
