#include "serial/SerialPort.h"

#include "serial/Tty.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <vector>

namespace orvanta::serial {

SerialPort::SerialPort(SerialErrorReporter* reporter, PortEnvironment environment)
    : m_reporter(reporter), m_environment(std::move(environment)),
      m_clock(m_environment.clock != nullptr ? *m_environment.clock : m_systemClock) {
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
    m_deviceWatcher.Close(); // no monitor runs now; one that still waits arms it again

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
        ReportFailure(configured.failedStep, configured.error);
        return false;
    }
    DeviceIdentity identity =
        IdentifyDevice(devicePath, m_environment.sysfsRoot, m_environment.deviceDir);
    {
        std::lock_guard lock(m_linkMutex);
        m_identity = std::move(identity);
        m_baud = baud;
        m_parity = parity;
    }
    m_deviceLost = false;
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
    // A broken port's monitor may be waiting for the lost device: that ends here too.
    m_deviceLost = false;
    StopMonitor();
    m_deviceWatcher.Close();
    {
        std::lock_guard lock(m_linkMutex);
        ReleaseDevice(kNoPort);
        m_sendQueue.clear();
        m_sendBufferSize = 0;
    }
    m_stopEvent.Reset();
    m_sendEvent.Reset();
}

std::optional<std::string> SerialPort::FindLostDevice() const {
    if (!m_deviceLost) {
        return std::nullopt;
    }
    DeviceIdentity identity;
    {
        std::lock_guard lock(m_linkMutex);
        identity = m_identity;
    }
    return FindDevice(identity, m_environment.sysfsRoot, m_environment.deviceDir);
}

bool SerialPort::Reopen() {
    const std::optional<std::string> found = FindLostDevice();
    if (!found) {
        return false;
    }
    SerialPortOwner* owner;
    std::uint32_t baud;
    char parity;
    {
        std::lock_guard lock(m_linkMutex);
        owner = m_owner;
        baud = m_baud;
        parity = m_parity;
    }
    if (OpenLink(owner, *found, baud, parity)) {
        return StartMonitor();
    }
    // OpenLink stopped the monitor that waited; wait again, for a later change (udev
    // granting the rights a moment after the node appeared).
    if (m_deviceLost && !m_monitorThread.joinable()) {
        m_monitorRunning = true;
        m_monitorThread = std::thread([this] { MonitorLoop(); });
    }
    return false;
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
    // What the monitor handed over and the owner has not taken yet is still delivered.
    if (m_owner != nullptr) {
        m_owner->DispatchPendingDelivery();
    }
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
    // While bytes flow the device is read once per gathering time, not once per frame;
    // stop and send requests are answered at once meanwhile.
    using Clock = std::chrono::steady_clock;
    Clock::time_point gatherUntil{};
    const auto delivered = [this, &gatherUntil] {
        gatherUntil = Clock::now() + kGatherTime;
        if (m_owner != nullptr) {
            std::string path = DevicePath();
            m_owner->OnSerialEventChar(path);
        }
    };
    for (;;) {
        const int fd = m_fd;
        if (fd < 0 && m_deviceLost && !m_deviceWatcher.IsOpen()) {
            WatchForDevice(false);
        }
        int timeout = -1;
        int watched = fd >= 0 ? fd : (m_deviceLost ? m_deviceWatcher.fd() : -1);
        if (fd >= 0 && gatherUntil != Clock::time_point{}) {
            const auto left = gatherUntil - Clock::now();
            if (left > Clock::duration::zero()) {
                timeout =
                    static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
                watched = -1; // poll skips it
            } else {
                // Read at once, without a wait that would find the bytes there anyway; the
                // device is waited for only when nothing came.
                gatherUntil = {};
                if (DrainInput() > 0 && m_fd >= 0) {
                    delivered();
                }
                continue;
            }
        }
        pollfd waitSet[3] = {
            {m_stopEvent.fd(), POLLIN, 0}, {m_sendEvent.fd(), POLLIN, 0}, {watched, POLLIN, 0}};
        const int r = ::poll(waitSet, 3, timeout);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            const FailureRun::Verdict verdict = m_failureRun.OnFailure(FailureRun::Clock::now());
            if (verdict.report) {
                Report({std::string(SerialErrorReporter::kApplicationCaption), "Receive Error!"});
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
        if (fd < 0) {
            WatchForDevice(true);
            continue;
        }
        if (events & POLLNVAL) {
            HandleIoFailure(SerialError::FromErrno(EBADF), PortStep::Wait);
            continue;
        }
        std::size_t blocks = 0;
        if (events & POLLIN) {
            blocks = DrainInput();
        }
        if (m_fd < 0) {
            continue;
        }
        if (events & (POLLHUP | POLLERR)) {
            HandleIoFailure(SerialError::FromErrno(EIO), PortStep::Wait);
            continue;
        }
        if (blocks > 0) {
            delivered();
        }
    }
}

std::size_t SerialPort::DrainInput() {
    // One read per wake-up, of all the bytes queued then: what comes meanwhile waits for
    // the next round, which the gathering would delay anyway.
    std::size_t queued = 0;
    SerialError error;
    {
        std::lock_guard lock(m_linkMutex);
        const int fd = m_fd;
        if (fd < 0) {
            return 0;
        }
        error = tty::BytesQueued(fd, queued);
    }
    if (error) {
        HandleIoFailure(error, PortStep::Read);
        return 0;
    }
    if (queued == 0) {
        return 0;
    }
    // One buffer for every read: the owner copies what it keeps during the call.
    std::vector<std::uint8_t>& block = m_readBuffer;
    block.assign(queued + 1, 0);
    std::size_t got = 0;
    std::string path;
    {
        std::lock_guard lock(m_linkMutex);
        const int fd = m_fd;
        if (fd < 0) {
            return 0;
        }
        error = tty::Read(fd, block.data(), queued, got);
        path = m_devicePath;
    }
    // Taken at once: the owner's thread may handle the block much later.
    const ClockReading arrival = m_clock.Now();
    if (error) {
        HandleIoFailure(error, PortStep::Read);
        return 0;
    }
    if (got == 0) {
        return 0;
    }
    m_failureRun.OnSuccess();
    block[got] = 0;
    m_owner->OnSerialBytes(block.data(), SerialBlockInfo{path, static_cast<std::uint32_t>(got),
                                                         arrival.realtimeNs, arrival.monotonicNs});
    return 1;
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
                            PortStep::Write);
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
                HandleIoFailure(error, PortStep::Write);
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

bool SerialPort::MarkBroken() {
    std::lock_guard lock(m_linkMutex);
    if (m_fd < 0) {
        return false;
    }
    ReleaseDevice(kBrokenPort);
    return true;
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

void SerialPort::HandleIoFailure(const SerialError& error, PortStep step) {
    switch (error.kind) {
    case SerialErrorKind::None:
        return;
    case SerialErrorKind::InvalidHandle:
        MarkBroken();
        return;
    case SerialErrorKind::AccessDenied:
        MarkBroken();
        ReportFailure(step, error);
        return;
    case SerialErrorKind::DeviceGone:
        OnDeviceGone();
        return;
    default:
        break;
    }
    // A failed wait leaves nothing to wait on; a failed read or write keeps the port until
    // the failures have gone on for too long.
    if (step == PortStep::Wait) {
        MarkBroken();
        ReportFailure(step, error);
        return;
    }
    const FailureRun::Verdict verdict = m_failureRun.OnFailure(FailureRun::Clock::now());
    if (verdict.report) {
        ReportFailure(step, error);
    }
    if (verdict.broken) {
        MarkBroken();
    } else {
        BackOff();
    }
}

void SerialPort::OnDeviceGone() {
    // The read, the hang-up and the write of one loss all end here; the user hears once.
    if (!MarkBroken()) {
        return;
    }
    m_deviceLost = true;
    const std::string path = DevicePath();
    if (m_owner == nullptr || !m_owner->OnDeviceLost(path)) {
        Report(DeviceLostMessage(path, m_environment.language));
    }
}

void SerialPort::WatchForDevice(bool changed) {
    if (!m_deviceWatcher.IsOpen()) {
        DeviceIdentity identity;
        {
            std::lock_guard lock(m_linkMutex);
            identity = m_identity;
        }
        // Without inotify the device is still looked for whenever the monitor wakes.
        (void)m_deviceWatcher.Open(WatchFolders(identity, m_environment.deviceDir));
    } else if (changed && !m_deviceWatcher.WaitForQuiet(m_stopEvent.fd())) {
        return;
    }
    if (const std::optional<std::string> found = FindLostDevice(); found && m_owner != nullptr) {
        m_owner->OnDeviceBack(*found);
    }
}

void SerialPort::ReportFailure(PortStep step, const SerialError& error) {
    const std::string path = DevicePath();
    Report(error.kind == SerialErrorKind::AccessDenied
               ? AccessDeniedMessage(step, path, error, m_environment.language)
               : FailureMessage(step, path, error, m_environment.language));
}

void SerialPort::Report(const SerialMessage& message) {
    if (m_reporter != nullptr) {
        m_reporter->Report(message.caption, message.text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
}

} // namespace orvanta::serial
