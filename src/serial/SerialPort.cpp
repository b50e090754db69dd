#include "serial/SerialPort.h"

#include "serial/Tty.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <vector>

namespace orvanta::serial {

namespace {

constexpr std::string_view kWaitCaption = "COM WaitCommEvent Error";
constexpr std::string_view kReadCaption = "COM ReadFile Error";
constexpr std::string_view kWriteCaption = "COM WriteFile Error";
constexpr std::string_view kApiFailureCaption = "Application Error";

// Drops a UTF-8 sequence that the cut left incomplete.
void TrimPartialCharacter(std::string& text) {
    std::size_t end = text.size();
    std::size_t start = end;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
    }
    if (start == 0) {
        return;
    }
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    std::size_t needed = 1;
    if ((lead & 0xE0) == 0xC0) {
        needed = 2;
    } else if ((lead & 0xF0) == 0xE0) {
        needed = 3;
    } else if ((lead & 0xF8) == 0xF0) {
        needed = 4;
    }
    if (lead >= 0x80 && end - (start - 1) < needed) {
        text.resize(start - 1);
    }
}

} // namespace

std::string ComposeApiFailureText(std::string_view call, std::string_view errorText,
                                  std::string_view devicePath) {
    char buffer[200];
    std::snprintf(buffer, sizeof buffer,
                  "WARNING:  %.*s Failed with the following error: \n%.*s\nPort: %.*s\n",
                  static_cast<int>(call.size()), call.data(), static_cast<int>(errorText.size()),
                  errorText.data(), static_cast<int>(devicePath.size()), devicePath.data());
    std::string text(buffer);
    TrimPartialCharacter(text);
    return text;
}

std::string ComposeDeviceErrorText(std::string_view devicePath, std::string_view errorName,
                                   std::string_view call, int code) {
    std::string text;
    text.append(devicePath).append(" ").append(errorName).append("\xEF\xBC\x8C"); // U+FF0C
    text.append(call).append(" Error Code:").append(std::to_string(code));
    return text;
}

CSerialPort::CSerialPort(SerialErrorReporter* reporter) : m_pReporter(reporter) {
    m_bEventsReady = m_hStopEvent.Create() && m_hSendEvent.Create();
}

CSerialPort::~CSerialPort() {
    CloseLink();
    // A broken port's monitor is still waiting on its events.
    StopMonitor();
}

bool CSerialPort::OpenLink(SerialPortOwner* owner, const std::string& devicePath,
                           std::uint32_t baud, char parity) {
    if (owner == nullptr || devicePath.empty() || baud == 0) {
        return false;
    }
    if (m_bMonitorRunning || m_hMonitorThread.joinable()) {
        const bool wasRunning = m_bMonitorRunning;
        StopMonitor();
        if (wasRunning) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (!m_bEventsReady) {
        m_bEventsReady = m_hStopEvent.Create() && m_hSendEvent.Create();
        if (!m_bEventsReady) {
            return false;
        }
    }
    m_hSendEvent.Reset();
    m_hStopEvent.Reset();

    m_failureRun = {};

    tty::ConfigureResult configured;
    {
        std::lock_guard lock(m_csLink);
        m_hOwnerWnd = owner;
        m_sendQueue.clear();
        m_devicePath = devicePath;
        m_nSendBufferSize = kSendBufferSize;
        ReleaseDevice(kBrokenPort);

        int fd = -1;
        m_lastOpenError = tty::Open(devicePath, fd);
        if (m_lastOpenError) {
            return false;
        }
        m_hComm = fd;
        configured = tty::Configure(fd, baud, ParityFromLetter(parity), m_savedTerminal);
        m_lineSettings = configured.computed;
        if (configured.error) {
            m_lastOpenError = configured.error;
            ReleaseDevice(kBrokenPort);
        } else {
            tty::Flush(fd, true, true);
        }
    }
    if (configured.error) {
        ReportApiFailure(configured.failedCall, configured.error);
        return false;
    }
    return true;
}

bool CSerialPort::StartMonitor() {
    if (m_hComm < 0) {
        return false;
    }
    if (m_hMonitorThread.joinable()) {
        if (m_bMonitorRunning) {
            return true;
        }
        m_hMonitorThread.join();
    }
    // Set before the thread runs, so a CloseLink right after this call still stops it.
    m_bMonitorRunning = true;
    m_hMonitorThread = std::thread([this] { MonitorLoop(); });
    return true;
}

bool CSerialPort::QueueSend(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0) {
        return false;
    }
    {
        std::lock_guard lock(m_csLink);
        if (m_hComm == kNoPort || length > m_nSendBufferSize ||
            m_sendQueue.size() >= kMaxQueuedFrames) {
            return false;
        }
        m_sendQueue.emplace_back(bytes, bytes + length);
    }
    m_hSendEvent.Signal();
    return true;
}

void CSerialPort::CloseLink() {
    if (m_hComm == kBrokenPort) {
        m_hComm = kNoPort;
        return;
    }
    StopMonitor();
    {
        std::lock_guard lock(m_csLink);
        ReleaseDevice(kNoPort);
        m_sendQueue.clear();
        m_nSendBufferSize = 0;
    }
    m_hStopEvent.Reset();
    m_hSendEvent.Reset();
}

PortState CSerialPort::State() const {
    const int fd = m_hComm;
    if (fd == kNoPort) {
        return PortState::Closed;
    }
    if (fd == kBrokenPort) {
        return PortState::Broken;
    }
    return m_bMonitorRunning ? PortState::Monitoring : PortState::Open;
}

LineParameters CSerialPort::LineSettingsInForce() const {
    std::lock_guard lock(m_csLink);
    return m_lineSettings;
}

std::string CSerialPort::DevicePath() const {
    std::lock_guard lock(m_csLink);
    return m_devicePath;
}

void CSerialPort::StopMonitor() {
    if (!m_hMonitorThread.joinable()) {
        m_bMonitorRunning = false;
        return;
    }
    if (std::this_thread::get_id() == m_hMonitorThread.get_id()) {
        // Called from inside a delivery handled on the monitor thread: the loop ends when
        // the call returns; the thread is joined later.
        m_hStopEvent.Signal();
        return;
    }
    // The monitor may be blocked in a delivery that only the owner's thread can complete.
    while (m_bMonitorRunning) {
        m_hStopEvent.Signal();
        if (m_hOwnerWnd != nullptr) {
            m_hOwnerWnd->DispatchPendingDelivery();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    m_hMonitorThread.join();
}

void CSerialPort::MonitorLoop() {
    m_bMonitorRunning = true;
    {
        std::lock_guard lock(m_csLink);
        const int fd = m_hComm;
        if (fd >= 0) {
            tty::Flush(fd, true, true);
        }
    }
    for (;;) {
        const int fd = m_hComm;
        pollfd waitSet[3] = {{m_hStopEvent.fd(), POLLIN, 0},
                             {m_hSendEvent.fd(), POLLIN, 0},
                             {fd >= 0 ? fd : -1, POLLIN, 0}};
        const int r = ::poll(waitSet, 3, -1);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            const FailureRun::Verdict verdict = m_failureRun.OnFailure(FailureRun::Clock::now());
            if (verdict.report) {
                Report(SerialErrorReporter::kApplicationCaption, "Receive Error!");
            }
            if (verdict.broken) {
                MarkBroken();
            }
            BackOff();
            continue;
        }
        if (waitSet[0].revents != 0) {
            {
                std::lock_guard lock(m_csLink);
                ReleaseDevice(kNoPort);
            }
            m_bMonitorRunning = false;
            return;
        }
        if (waitSet[1].revents != 0) {
            SendQueued();
            continue;
        }
        const short events = waitSet[2].revents;
        if (events == 0) {
            continue;
        }
        if (events & POLLNVAL) {
            HandleIoFailure(SerialError::FromErrno(EBADF), FailedStep::Wait);
            continue;
        }
        std::size_t delivered = 0;
        if (events & POLLIN) {
            delivered = DrainInput();
        }
        if (m_hComm < 0) {
            continue;
        }
        if (events & (POLLHUP | POLLERR)) {
            HandleIoFailure(SerialError::FromErrno(EIO), FailedStep::Wait);
            continue;
        }
        if (delivered > 0 && m_hOwnerWnd != nullptr) {
            std::string path = DevicePath();
            m_hOwnerWnd->OnSerialEventChar(path);
        }
    }
}

std::size_t CSerialPort::DrainInput() {
    std::size_t delivered = 0;
    while (!m_hStopEvent.IsSignalled()) {
        std::size_t queued = 0;
        SerialError error;
        {
            std::lock_guard lock(m_csLink);
            const int fd = m_hComm;
            if (fd < 0) {
                return delivered;
            }
            error = tty::BytesQueued(fd, queued);
        }
        if (error) {
            HandleIoFailure(error, FailedStep::Read);
            return delivered;
        }
        if (queued == 0) {
            return delivered;
        }
        std::vector<std::uint8_t> block(queued + 1, 0);
        std::size_t got = 0;
        std::string path;
        {
            std::lock_guard lock(m_csLink);
            const int fd = m_hComm;
            if (fd < 0) {
                return delivered;
            }
            error = tty::Read(fd, block.data(), queued, got);
            path = m_devicePath;
        }
        if (got > 0) {
            m_failureRun.OnSuccess();
            block[got] = 0;
            m_hOwnerWnd->OnSerialBytes(block.data(),
                                       SerialBlockInfo{path, static_cast<std::uint32_t>(got)});
            ++delivered;
        }
        if (error) {
            HandleIoFailure(error, FailedStep::Read);
            return delivered;
        }
        if (got == 0) {
            return delivered;
        }
    }
    return delivered;
}

bool CSerialPort::WaitWritable(int fd) {
    for (;;) {
        pollfd waitSet[2] = {{m_hStopEvent.fd(), POLLIN, 0}, {fd, POLLOUT, 0}};
        const int r = ::poll(waitSet, 2, -1);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (waitSet[0].revents != 0) {
            return false;
        }
        if (waitSet[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            HandleIoFailure(SerialError::FromErrno(waitSet[1].revents & POLLNVAL ? EBADF : EIO),
                            FailedStep::Write);
            return false;
        }
        if (waitSet[1].revents & POLLOUT) {
            return true;
        }
    }
}

void CSerialPort::SendQueued() {
    m_hSendEvent.Reset();
    for (;;) {
        // One frame at a time is taken out, so a QueueSend during a long write waits its turn.
        std::vector<std::uint8_t> frame;
        {
            std::lock_guard lock(m_csLink);
            if (m_hComm < 0 || m_sendQueue.empty()) {
                return;
            }
            frame = std::move(m_sendQueue.front());
            m_sendQueue.pop_front();
        }
        std::size_t done = 0;
        while (done < frame.size()) {
            std::size_t written = 0;
            SerialError error;
            int fd;
            {
                std::lock_guard lock(m_csLink);
                fd = m_hComm;
                if (fd < 0) {
                    return;
                }
                error = tty::Write(fd, frame.data() + done, frame.size() - done, written);
            }
            if (error) {
                HandleIoFailure(error, FailedStep::Write);
                return;
            }
            done += written;
            if (done < frame.size() && written == 0 && !WaitWritable(fd)) {
                return;
            }
        }
        m_failureRun.OnSuccess();
    }
}

void CSerialPort::ReleaseDevice(int next) {
    const int fd = m_hComm;
    if (fd >= 0) {
        tty::Close(fd, m_savedTerminal);
    }
    m_savedTerminal = {};
    m_hComm = next;
}

void CSerialPort::MarkBroken() {
    std::lock_guard lock(m_csLink);
    if (m_hComm >= 0) {
        ReleaseDevice(kBrokenPort);
    }
}

void CSerialPort::BackOff() {
    const auto until = FailureRun::Clock::now() + FailureRun::kRetryDelay;
    for (auto now = FailureRun::Clock::now(); now < until; now = FailureRun::Clock::now()) {
        pollfd stop{m_hStopEvent.fd(), POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        if (::poll(&stop, 1, static_cast<int>(left.count())) > 0) {
            return;
        }
    }
}

void CSerialPort::HandleIoFailure(const SerialError& error, FailedStep step) {
    std::string_view caption;
    const char* call;
    switch (step) {
    case FailedStep::Wait:
        caption = kWaitCaption;
        call = "WaitCommEvent()";
        break;
    case FailedStep::Read:
        caption = kReadCaption;
        call = "ReadFile()";
        break;
    default:
        caption = kWriteCaption;
        call = "WriteFile()";
        break;
    }
    const std::string path = DevicePath();
    switch (error.kind) {
    case SerialErrorKind::None:
        return;
    case SerialErrorKind::InvalidHandle:
        MarkBroken();
        return;
    case SerialErrorKind::AccessDenied:
        MarkBroken();
        Report(caption,
               ComposeDeviceErrorText(path, "ERROR_ACCESS_DENIED", call, error.errnoValue));
        return;
    case SerialErrorKind::DeviceGone:
        MarkBroken();
        Report(caption, ComposeDeviceErrorText(path, "ERROR_BAD_COMMAND", call, error.errnoValue));
        return;
    default:
        break;
    }
    // A failed wait leaves nothing to wait on; a failed read or write keeps the port until
    // the failures have gone on for too long.
    if (step == FailedStep::Wait) {
        MarkBroken();
        ReportApiFailure(call, error);
        return;
    }
    const FailureRun::Verdict verdict = m_failureRun.OnFailure(FailureRun::Clock::now());
    if (verdict.report) {
        ReportApiFailure(call, error);
    }
    if (verdict.broken) {
        MarkBroken();
    } else {
        BackOff();
    }
}

void CSerialPort::ReportApiFailure(const char* call, const SerialError& error) {
    Report(kApiFailureCaption, ComposeApiFailureText(call, error.text, DevicePath()));
}

void CSerialPort::Report(std::string_view caption, const std::string& text) {
    if (m_pReporter != nullptr) {
        m_pReporter->Report(caption, text);
        return;
    }
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(),
                 text.c_str());
}

} // namespace orvanta::serial
