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

SerialPort::SerialPort(SerialErrorReporter* reporter) : m_reporter(reporter) {
    m_eventsReady = m_stopEvent.Create() && m_sendEvent.Create();
}

SerialPort::~SerialPort() {
    CloseLink();
    // A broken port's monitor is still waiting on its events.
    StopMonitor();
}

bool SerialPort::OpenLink(SerialPortOwner* owner, const std::string& devicePath, std::uint32_t baud,
                          char parity) {
    if (owner == nullptr || devicePath.empty() || baud == 0) {
        return false;
    }
    if (m_monitorRunning || m_monitorThread.joinable()) {
        const bool wasRunning = m_monitorRunning;
        StopMonitor();
        if (wasRunning) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (!m_eventsReady) {
        m_eventsReady = m_stopEvent.Create() && m_sendEvent.Create();
        if (!m_eventsReady) {
            return false;
        }
    }
    m_sendEvent.Reset();
    m_stopEvent.Reset();

    m_failureRun = {};

    tty::ConfigureResult configured;
    {
        std::lock_guard lock(m_linkMutex);
        m_owner = owner;
        m_sendQueue.clear();
        m_devicePath = devicePath;
        m_sendBufferSize = kSendBufferSize;
        ReleaseDevice(kBrokenPort);

        int fd = -1;
        m_lastOpenError = tty::Open(devicePath, fd);
        if (m_lastOpenError) {
            return false;
        }
        m_fd = fd;
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

bool SerialPort::StartMonitor() {
    if (m_fd < 0) {
        return false;
    }
    if (m_monitorThread.joinable()) {
        if (m_monitorRunning) {
            return true;
        }
        m_monitorThread.join();
    }
    // Set before the thread runs, so a CloseLink right after this call still stops it.
    m_monitorRunning = true;
    m_monitorThread = std::thread([this] { MonitorLoop(); });
    return true;
}

bool SerialPort::QueueSend(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0) {
        return false;
    }
    {
        std::lock_guard lock(m_linkMutex);
        if (m_fd == kNoPort || length > m_sendBufferSize ||
            m_sendQueue.size() >= kMaxQueuedFrames) {
            return false;
        }
        m_sendQueue.emplace_back(bytes, bytes + length);
    }
    m_sendEvent.Signal();
    return true;
}

void SerialPort::CloseLink() {
    if (m_fd == kBrokenPort) {
        m_fd = kNoPort;
        return;
    }
    StopMonitor();
    {
        std::lock_guard lock(m_linkMutex);
        ReleaseDevice(kNoPort);
        m_sendQueue.clear();
        m_sendBufferSize = 0;
    }
    m_stopEvent.Reset();
    m_sendEvent.Reset();
}

PortState SerialPort::State() const {
    const int fd = m_fd;
    if (fd == kNoPort) {
        return PortState::Closed;
    }
    if (fd == kBrokenPort) {
        return PortState::Broken;
    }
    return m_monitorRunning ? PortState::Monitoring : PortState::Open;
}

LineParameters SerialPort::LineSettingsInForce() const {
    std::lock_guard lock(m_linkMutex);
    return m_lineSettings;
}

std::string SerialPort::DevicePath() const {
    std::lock_guard lock(m_linkMutex);
    return m_devicePath;
}

void SerialPort::StopMonitor() {
    if (!m_monitorThread.joinable()) {
        m_monitorRunning = false;
        return;
    }
    if (std::this_thread::get_id() == m_monitorThread.get_id()) {
        // Called from inside a delivery handled on the monitor thread: the loop ends when
        // the call returns; the thread is joined later.
        m_stopEvent.Signal();
        return;
    }
    // The monitor may be blocked in a delivery that only the owner's thread can complete.
    while (m_monitorRunning) {
        m_stopEvent.Signal();
        if (m_owner != nullptr) {
            m_owner->DispatchPendingDelivery();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    m_monitorThread.join();
}

void SerialPort::MonitorLoop() {
    m_monitorRunning = true;
    {
        std::lock_guard lock(m_linkMutex);
        const int fd = m_fd;
        if (fd >= 0) {
            tty::Flush(fd, true, true);
        }
    }
    for (;;) {
        const int fd = m_fd;
        pollfd waitSet[3] = {{m_stopEvent.fd(), POLLIN, 0},
                             {m_sendEvent.fd(), POLLIN, 0},
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
                std::lock_guard lock(m_linkMutex);
                ReleaseDevice(kNoPort);
            }
            m_monitorRunning = false;
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
        if (m_fd < 0) {
            continue;
        }
        if (events & (POLLHUP | POLLERR)) {
            HandleIoFailure(SerialError::FromErrno(EIO), FailedStep::Wait);
            continue;
        }
        if (delivered > 0 && m_owner != nullptr) {
            std::string path = DevicePath();
            m_owner->OnSerialEventChar(path);
        }
    }
}

std::size_t SerialPort::DrainInput() {
    std::size_t delivered = 0;
    while (!m_stopEvent.IsSignalled()) {
        std::size_t queued = 0;
        SerialError error;
        {
            std::lock_guard lock(m_linkMutex);
            const int fd = m_fd;
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
            std::lock_guard lock(m_linkMutex);
            const int fd = m_fd;
            if (fd < 0) {
                return delivered;
            }
            error = tty::Read(fd, block.data(), queued, got);
            path = m_devicePath;
        }
        if (got > 0) {
            m_failureRun.OnSuccess();
            block[got] = 0;
            m_owner->OnSerialBytes(block.data(),
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

bool SerialPort::WaitWritable(int fd) {
    for (;;) {
        pollfd waitSet[2] = {{m_stopEvent.fd(), POLLIN, 0}, {fd, POLLOUT, 0}};
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

void SerialPort::SendQueued() {
    m_sendEvent.Reset();
    for (;;) {
        // One frame at a time is taken out, so a QueueSend during a long write waits its turn.
        std::vector<std::uint8_t> frame;
        {
            std::lock_guard lock(m_linkMutex);
            if (m_fd < 0 || m_sendQueue.empty()) {
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
                std::lock_guard lock(m_linkMutex);
                fd = m_fd;
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

void SerialPort::ReleaseDevice(int next) {
    const int fd = m_fd;
    if (fd >= 0) {
        tty::Close(fd, m_savedTerminal);
    }
    m_savedTerminal = {};
    m_fd = next;
}

void SerialPort::MarkBroken() {
    std::lock_guard lock(m_linkMutex);
    if (m_fd >= 0) {
        ReleaseDevice(kBrokenPort);
    }
}

void SerialPort::BackOff() {
    const auto until = FailureRun::Clock::now() + FailureRun::kRetryDelay;
    for (auto now = FailureRun::Clock::now(); now < until; now = FailureRun::Clock::now()) {
        pollfd stop{m_stopEvent.fd(), POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        if (::poll(&stop, 1, static_cast<int>(left.count())) > 0) {
            return;
        }
    }
}

void SerialPort::HandleIoFailure(const SerialError& error, FailedStep step) {
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

void SerialPort::ReportApiFailure(const char* call, const SerialError& error) {
    Report(kApiFailureCaption, ComposeApiFailureText(call, error.text, DevicePath()));
}

void SerialPort::Report(std::string_view caption, const std::string& text) {
    if (m_reporter != nullptr) {
        m_reporter->Report(caption, text);
        return;
    }
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(),
                 text.c_str());
}

} // namespace orvanta::serial
