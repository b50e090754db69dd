#pragma once

#include "recording/CaptureReader.h"
#include "serial/SerialLink.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace orvanta::recording {

struct ReplaySpeed {
    bool asFastAsPossible = false;
    double factor = 1.0; // the captured intervals are divided by this
};

// "max", or a number from 0.001 to 1000000. Pure; any thread.
std::optional<ReplaySpeed> ParseReplaySpeed(std::string_view text);

// The clock a replay keeps time with; injected so tests step it. WaitUntil is called by
// the replay thread, Cancel and Rearm by the thread that starts and stops the replay.
class ReplayClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~ReplayClock() = default;
    virtual TimePoint Now() const = 0;
    // Waits until `at`; false when Cancel ended the wait (and every later one, until Rearm).
    virtual bool WaitUntil(TimePoint at) = 0;
    virtual void Cancel() = 0;
    virtual void Rearm() = 0;
};

class SystemReplayClock final : public ReplayClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    bool WaitUntil(TimePoint at) override;
    void Cancel() override;
    void Rearm() override;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool cancelled_ = false;
};

// How a replay ended.
struct ReplayEnd {
    bool stopped = false; // CloseLink came before the end of the capture
    bool damaged = false;
    std::uint64_t recordsRead = 0; // the note included
    std::uint64_t damageOffset = 0;
};

// What a replay hands over besides the device's blocks. OnReplayStarting comes on the
// owner's thread, from StartMonitor; the others on the replay thread. OnCapturedSend and
// OnCapturedNote return only once the owner's thread has handled them, as the owner's block
// deliveries do, so everything arrives in the capture's order. OnReplayEnded must not wait
// for the owner's thread (queue it there).
class ReplayListener {
public:
    virtual ~ReplayListener() = default;
    // The note at the capture's start, before any of its records is played.
    virtual void OnReplayStarting(const CaptureNote& note) = 0;
    virtual void OnCapturedSend(const std::uint8_t* bytes, std::size_t length) = 0;
    virtual void OnCapturedNote(const CaptureNote& note) = 0;
    virtual void OnReplayEnded(const ReplayEnd& end) = 0;
    // The captured time leapt ahead by more than kLongestGapNs between two records (a
    // damaged time stamp); the leap is played without waiting. Once per replay.
    virtual void OnTimeLeap(double seconds) { (void)seconds; }
};

// Plays a capture as a serial port would deliver it: each device-to-host record goes as one
// block to the owner's OnSerialBytes, host-to-device records and later notes to the
// listener, at the captured intervals divided by the speed factor. As fast as possible,
// neighbouring device blocks are joined (the receiver does not see block borders) and the
// back-pressure call runs before each block. It takes no frames to send.
//
// Threads: as a serial port's (SerialLink), and SetSpeed, SetBackPressure, OpenError and
// Note belong to the owner's thread too; the replay thread calls the owner, the listener
// and the back-pressure call.
class CaptureReplay final : public serial::SerialLink {
public:
    // Blocks joined at full speed stay below this.
    static constexpr std::size_t kJoinedBlockLimit = 65536;
    // A longer jump ahead between two records is taken as a damaged time stamp.
    static constexpr std::int64_t kLongestGapNs = 10'000'000'000;

    // clock null: the steady clock.
    explicit CaptureReplay(ReplayListener& listener, ReplayClock* clock = nullptr);
    ~CaptureReplay() override; // CloseLink()
    CaptureReplay(const CaptureReplay&) = delete;
    CaptureReplay& operator=(const CaptureReplay&) = delete;

    void SetSpeed(ReplaySpeed speed) { speed_ = speed; }
    void SetBackPressure(std::function<void()> call) { backPressure_ = std::move(call); }

    // Opens the capture at devicePath and reads its note (baud and parity mean nothing
    // here); false, with the reason in OpenError, when the file is not a capture. Each
    // open plays the capture from its start.
    bool OpenLink(serial::SerialPortOwner* owner, const std::string& devicePath, std::uint32_t baud,
                  char parity) override;
    // Hands the note to the listener, then plays the records after it; false when nothing
    // is open or it has been played.
    bool StartMonitor() override;
    // A replay sends nothing: always false.
    bool QueueSend(const std::uint8_t* bytes, std::size_t length) override;
    // Ends the replay thread and closes the file. While waiting it runs the owner's pending
    // delivery, in which the replay thread may be blocked.
    void CloseLink() override;
    // Monitoring while records are being played; Open once they all have been.
    serial::PortState State() const override { return state_.load(); }
    std::string DevicePath() const override { return path_; }
    bool TalksToDevice() const override { return false; }

    const std::string& OpenError() const { return openError_; }
    const CaptureNote& Note() const;

private:
    void Run();
    // Waits until the record at timeNs is due; false when stopped.
    bool WaitForRecord(std::int64_t timeNs);
    // Stamped timeNs (the capture's time of its last record) and the replay clock's now.
    void DeliverBlock(std::vector<std::uint8_t>& block, std::int64_t timeNs);

    ReplayListener& listener_;
    std::unique_ptr<SystemReplayClock> ownClock_;
    ReplayClock& clock_;
    std::string path_;
    std::string openError_;
    std::unique_ptr<CaptureReader> reader_;
    ReplaySpeed speed_;
    std::function<void()> backPressure_;
    serial::SerialPortOwner* owner_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<serial::PortState> state_{serial::PortState::Closed};

    // Replay thread only.
    ReplayClock::TimePoint startedAt_{};
    std::int64_t latestTimeNs_ = 0;
    std::int64_t leapedNs_ = 0; // captured time played without waiting
    bool leapTold_ = false;
};

} // namespace orvanta::recording
