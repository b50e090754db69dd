#pragma once

#include "serial/EventFd.h"
#include "serial/FailureRun.h"
#include "serial/LineSettings.h"
#include "serial/SerialError.h"
#include "serial/SerialErrorReporter.h"
#include "serial/SerialLink.h"
#include "serial/Tty.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvanta::serial {

// The program's serial port: opens a terminal device, runs a monitor thread that waits
// for input, a send request or a stop request, hands every received block to the owner and
// writes queued bytes. Closing puts the terminal back as the port found it. OpenLink,
// StartMonitor, QueueSend, CloseLink, LastOpenError and the destructor belong to the
// owner's thread (never the monitor thread); State and LineSettingsInForce may be called
// from any thread.
// Formerly `CSerialPort`.
class SerialPort : public SerialLink {
public:
    static constexpr std::uint32_t kSendBufferSize = 512;
    // Frames that may wait for the monitor at once; QueueSend refuses more.
    static constexpr std::size_t kMaxQueuedFrames = 64;

    // reporter shows the failure messages; null writes them to stderr.
    explicit SerialPort(SerialErrorReporter* reporter = nullptr);
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
    // Stops the monitor and closes the port. After a fatal error it only forgets the port;
    // the idle monitor then ends at the next OpenLink or at destruction.
    void CloseLink() override;

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
    // Marks the port broken: closes the descriptor so the device node is released.
    void MarkBroken();
    // Waits FailureRun::kRetryDelay, or less when a stop is asked for.
    void BackOff();
    enum class FailedStep { Wait, Read, Write };
    void HandleIoFailure(const SerialError& error, FailedStep step);
    void ReportApiFailure(const char* call, const SerialError& error);
    void Report(std::string_view caption, const std::string& text);

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
};

// "WARNING:  %s Failed with the following error: \n%s\nPort: %s\n" cut to the 200-character
// buffer of the message (199 bytes and no split character).
std::string ComposeApiFailureText(std::string_view call, std::string_view errorText,
                                  std::string_view devicePath);

// "%s ERROR_ACCESS_DENIED，%s Error Code:%d" and its ERROR_BAD_COMMAND twin.
std::string ComposeDeviceErrorText(std::string_view devicePath, std::string_view errorName,
                                   std::string_view call, int code);

} // namespace orvanta::serial
