#pragma once

#include "serial/ArrivalClock.h"
#include "serial/DeviceIdentity.h"
#include "serial/DeviceWatcher.h"
#include "serial/EventFd.h"
#include "serial/FailureRun.h"
#include "serial/LineSettings.h"
#include "serial/SerialError.h"
#include "serial/SerialErrorReporter.h"
#include "serial/SerialLink.h"
#include "serial/SerialMessages.h"
#include "serial/Tty.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvanta::serial {

// Where the port finds devices again and in which language it speaks.
struct PortEnvironment {
    Language language = Language::English;
    std::string sysfsRoot = "/sys";
    std::string deviceDir = "/dev";
    // Stamps every block read; null: the system's clocks. Must outlive the port.
    const ArrivalClock* clock = nullptr;
};

// The program's serial port: opens a terminal device, runs a monitor thread that waits
// for input, a send request or a stop request, hands every received block to the owner and
// writes queued bytes. While bytes flow it reads once per kGatherTime. Closing puts the
// terminal back as the port found it, and lets the owner take in what the monitor handed
// over before the close returns. A device that
// vanishes breaks the port at once; the monitor then waits for it to come back and tells
// the owner, who reopens. OpenLink, StartMonitor, QueueSend, CloseLink, Reopen,
// FindLostDevice, LastOpenError and the destructor belong to the owner's thread (never the
// monitor thread); State, IsWaitingForDevice and LineSettingsInForce may be called from
// any thread.
// Formerly `CSerialPort`.
class SerialPort : public SerialLink {
public:
    static constexpr std::uint32_t kSendBufferSize = 512;
    // Frames that may wait for the monitor at once; QueueSend refuses more.
    static constexpr std::size_t kMaxQueuedFrames = 64;
    // After a read the monitor lets bytes gather this long before it reads again: the
    // owner is then handed one block per round instead of one per frame.
    static constexpr std::chrono::milliseconds kGatherTime{10};

    // reporter shows the failure messages; null writes them to stderr.
    explicit SerialPort(SerialErrorReporter* reporter = nullptr, PortEnvironment environment = {});
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens and configures the device; true when it is open. False without an owner, with
    // an empty path or baud 0 (nothing changes then), when the device cannot be opened
    // (missing, not a terminal, held by someone else, no rights; LastOpenError says which)
    // or when it refuses the line settings (reported, and the device is closed again). The
    // owner must outlive the open port.
    bool OpenLink(SerialPortOwner* owner, const std::string& devicePath, std::uint32_t baud,
                  char parity) override;
    // Starts the monitor thread after a successful OpenLink; false when no port is open.
    bool StartMonitor() override;
    // Copies the bytes for the monitor thread to write after the frames queued before;
    // false when no port is open, the length is 0 or above kSendBufferSize, or
    // kMaxQueuedFrames frames are still waiting. Whether the write succeeds is not reported.
    bool QueueSend(const std::uint8_t* bytes, std::size_t length) override;
    // Stops the monitor and closes the port; after a lost device it also ends the waiting.
    void CloseLink() override;

    // Whether the port is Broken because its device vanished, and waits for it.
    bool IsWaitingForDevice() const { return m_deviceLost; }
    // Where the lost device is now (see FindDevice); nothing when it is not back yet, or no
    // device was lost.
    std::optional<std::string> FindLostDevice() const;
    // Opens the lost device where it is now, with the owner, baud and parity of the last
    // open, and starts the monitor. False when it is not back or cannot be opened yet
    // (LastOpenError says why); the port then stays Broken and keeps waiting.
    bool Reopen();

    // Why the last OpenLink that reached the device failed; kind None after a success.
    const SerialError& LastOpenError() const { return m_lastOpenError; }

    PortState State() const override;
    // The line settings the port computed for the driver at the last OpenLink.
    LineParameters LineSettingsInForce() const;
    std::string DevicePath() const override;
    bool TalksToDevice() const override { return true; }

private:
    static constexpr int kNoPort = -1;     // closed
    static constexpr int kBrokenPort = -2; // the counterpart of the invalid-handle value

    void StopMonitor();
    void MonitorLoop();
    // Returns the number of blocks delivered.
    std::size_t DrainInput();
    void SendQueued();
    bool WaitWritable(int fd);

    // Puts the terminal back as it was found, closes it and sets m_fd to next;
    // m_linkMutex held.
    void ReleaseDevice(int next);
    // Marks the port broken: closes the descriptor so the device node is released. True
    // when the port was open until now.
    bool MarkBroken();
    // Waits FailureRun::kRetryDelay, or less when a stop is asked for.
    void BackOff();
    void HandleIoFailure(const SerialError& error, PortStep step);
    void OnDeviceGone();
    // While the lost device is awaited: arms the watcher; after a burst of changes (or at
    // once), tells the owner when the device is back. Monitor thread.
    void WatchForDevice(bool changed);
    void ReportFailure(PortStep step, const SerialError& error);
    void Report(const SerialMessage& message);

    std::thread m_monitorThread;
    mutable std::mutex m_linkMutex; // serialises the port calls, the send buffer and the path
    std::atomic<bool> m_monitorRunning{false};
    EventFd m_stopEvent;
    std::atomic<int> m_fd{kNoPort};
    EventFd m_sendEvent;
    LineParameters m_lineSettings;
    SerialPortOwner* m_owner = nullptr;
    std::string m_devicePath;
    // Frames wait here in order until the monitor has written them: with a single buffer a
    // frame queued before the monitor wrote the previous one replaced it, and a setting
    // followed at once by a poll never reached the device.
    std::deque<std::vector<std::uint8_t>> m_sendQueue;
    std::uint32_t m_sendBufferSize = 0; // largest frame; 0 while no port is open
    SerialErrorReporter* m_reporter;
    bool m_eventsReady = false;
    tty::SavedTerminal m_savedTerminal; // guarded by m_linkMutex
    SerialError m_lastOpenError;
    FailureRun m_failureRun; // monitor thread; reset by OpenLink while no monitor runs
    const PortEnvironment m_environment;
    SystemArrivalClock m_systemClock;
    const ArrivalClock& m_clock; // monitor thread
    // Of the last successful open; guarded by m_linkMutex.
    DeviceIdentity m_identity;
    std::uint32_t m_baud = 0;
    char m_parity = 'N';
    std::atomic<bool> m_deviceLost{false};
    DeviceWatcher m_deviceWatcher;          // monitor thread
    std::vector<std::uint8_t> m_readBuffer; // monitor thread
};

} // namespace orvanta::serial
