#include "devsim/DeviceSimulator.h"

#include "devsim/CommandParser.h"
#include "devsim/DeviceFrame.h"
#include "devsim/LinePacer.h"
#include "devsim/PtyDevice.h"
#include "devsim/SensorGenerator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvanta::devsim {

namespace {

using Clock = std::chrono::steady_clock;

// A frame's bytes that have not all reached the line yet.
struct Pending {
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
    bool isData = false;
    bool corrupted = false;
    std::optional<std::uint32_t> baudAfter;
    bool noise = false;    // random bytes, counted by byte
    bool injected = false; // a faulty frame of the fault injection
};

// Random bytes are queued in pieces of this size while the noise lasts.
constexpr std::size_t kNoiseChunk = 64;

// A frame start that never completes is given up after this, as a device's receive
// time-out would.
constexpr auto kInputTimeout = std::chrono::milliseconds(100);
constexpr std::size_t kInputLimit = 65536;
// How long an unplug waits after the last write, so the host can read what was sent.
constexpr auto kLineSettle = std::chrono::milliseconds(20);

} // namespace

DeviceSimulator::DeviceSimulator(SimulatorOptions options) : m_options(std::move(options)) {}

DeviceSimulator::~DeviceSimulator() {
    Stop();
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
    }
}

bool DeviceSimulator::Start(std::string& error) {
    if (m_thread.joinable()) {
        return true;
    }
    if (m_wakeFd < 0) {
        m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wakeFd < 0) {
            error = "eventfd failed";
            return false;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_running = true;
        m_request = Request::None;
    }
    m_thread = std::thread([this] { Run(); });
    if (!Perform(Request::Plug)) {
        {
            std::lock_guard lock(m_mutex);
            error = m_plugError;
        }
        Stop();
        return false;
    }
    return true;
}

void DeviceSimulator::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    Perform(Request::Stop);
    m_thread.join();
}

bool DeviceSimulator::Perform(Request request) {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return m_request == Request::None || !m_running; });
    if (!m_running) {
        return false;
    }
    m_request = request;
    const std::uint64_t serial = ++m_requestSerial;
    const std::uint64_t one = 1;
    while (::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_done.wait(lock, [&] { return m_doneSerial >= serial || !m_running; });
    return m_doneSerial >= serial && m_requestResult;
}

std::string DeviceSimulator::SlavePath() const {
    std::lock_guard lock(m_mutex);
    return m_slavePath;
}

bool DeviceSimulator::IsPlugged() const {
    return !SlavePath().empty();
}

void DeviceSimulator::Unplug() {
    Perform(Request::Unplug);
}

bool DeviceSimulator::Plug() {
    return Perform(Request::Plug);
}

SimulatorCounters DeviceSimulator::Counters() const {
    return SimulatorCounters{m_sent.load(), m_corrupted.load(), m_noiseBytes.load(),
                             m_injected.load()};
}

DeviceSettings DeviceSimulator::Settings() const {
    std::lock_guard lock(m_mutex);
    return m_settings;
}

std::uint32_t DeviceSimulator::LineBaud() const {
    std::lock_guard lock(m_mutex);
    return m_lineBaud;
}

void DeviceSimulator::Run() {
    const DeviceSettings powerUp =
        PowerUpSettings(m_options.model, m_options.baud, m_options.autoDivider);
    DeviceBehaviour behaviour(m_options.model, powerUp, m_options.settingAnswer);
    const SensorGenerator generator(m_options.seed);
    LinePacer pacer(powerUp.baud);
    PtyDevice pty;
    std::deque<Pending> output;
    std::vector<std::uint8_t> input;
    std::optional<Clock::time_point> inputWaitingSince;
    Clock::time_point pluggedAt = Clock::now();
    Clock::time_point nextAutoFrame = pluggedAt;
    std::uint64_t dataFramesMade = 0;
    bool writeBlocked = false;
    std::mt19937_64 noiseSource(m_options.seed ^ 0x6E6F697365ull);
    Clock::time_point noiseUntil = pluggedAt;
    auto noiseActive = [&](Clock::time_point now) { return now < noiseUntil; };

    auto sampleAt = [&](Clock::time_point now) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - pluggedAt).count();
        return generator.Sample(static_cast<std::uint32_t>(elapsed),
                                std::chrono::system_clock::now(), behaviour.settings().gravity,
                                behaviour.profile().gpsStatus);
    };
    auto autoPeriod = [&] {
        const double rate = behaviour.AutoRate();
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(rate > 0 ? 1.0 / rate : 1.0));
    };
    auto enqueue = [&](DeviceReply reply) {
        Pending pending{std::move(reply.frame), 0, reply.isData, false, reply.baudAfter};
        if (pending.isData) {
            ++dataFramesMade;
            const std::uint32_t injectEvery = m_options.injectEvery;
            if (m_options.inject != InjectedFault::None && injectEvery != 0 &&
                dataFramesMade % injectEvery == 0) {
                Pending fault;
                fault.injected = true;
                switch (m_options.inject) {
                case InjectedFault::OversizeHeader:
                    fault.bytes = {0xFF, 0x00, 0x57, 0x02, 0x01};
                    break;
                case InjectedFault::NoEndByte:
                    fault.bytes.assign(pending.bytes.begin(), pending.bytes.end() - 1);
                    break;
                case InjectedFault::EmptyAck:
                    fault.bytes = BuildDeviceFrame(0x01, {});
                    break;
                case InjectedFault::None:
                    break;
                }
                output.push_back(std::move(fault));
            }
            const std::size_t payload = pending.bytes.size() - 8;
            const std::uint32_t every = m_options.corruptEvery;
            if (every != 0 && dataFramesMade % every == 0 && payload > 0) {
                const std::size_t index = (dataFramesMade / every - 1) % payload;
                pending.bytes[5 + index] ^= 0xFF; // the checksum was computed before
                pending.corrupted = true;
            }
        }
        output.push_back(std::move(pending));
    };
    auto publish = [&] {
        std::lock_guard lock(m_mutex);
        m_settings = behaviour.settings();
        m_lineBaud = pacer.baud();
    };
    Clock::time_point lastWriteAt{};
    auto unplug = [&] {
        // Bytes already on the line reach the host before the device goes: give its
        // reader a moment for the last piece written, as a cable would.
        if (pty.isOpen()) {
            std::this_thread::sleep_until(lastWriteAt + kLineSettle);
        }
        pty.Close();
        output.clear();
        input.clear();
        inputWaitingSince.reset();
        writeBlocked = false;
    };
    auto plug = [&](std::string& error) {
        unplug();
        behaviour.PowerCycle();
        pacer.SetBaud(behaviour.settings().baud);
        pacer.Reset();
        if (!pty.Open(behaviour.settings().baud, m_options.linkPath, error)) {
            return false;
        }
        pluggedAt = Clock::now();
        noiseUntil = pluggedAt + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(m_options.noiseSeconds));
        nextAutoFrame = pluggedAt + autoPeriod();
        return true;
    };

    const auto seconds = [](double s) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
    };
    std::optional<Clock::time_point> dropAt, backAt;
    if (m_options.dropAfterSeconds > 0) {
        dropAt = Clock::now() + seconds(m_options.dropAfterSeconds);
    }
    const auto setSlavePath = [&] {
        std::lock_guard lock(m_mutex);
        m_slavePath = pty.isOpen() ? pty.slavePath() : std::string();
    };

    publish();
    for (;;) {
        Clock::time_point now = Clock::now();
        std::optional<Clock::time_point> wakeAt;
        auto wakeBy = [&](Clock::time_point at) {
            if (!wakeAt || at < *wakeAt) {
                wakeAt = at;
            }
        };
        if (dropAt && now >= *dropAt) {
            dropAt.reset();
            unplug();
            setSlavePath();
            if (m_options.backAfterSeconds > 0) {
                backAt = now + seconds(m_options.backAfterSeconds);
            }
        }
        if (backAt && now >= *backAt) {
            backAt.reset();
            std::string error;
            if (plug(error)) {
                setSlavePath();
                if (m_options.onServing) {
                    m_options.onServing(pty.slavePath());
                }
            }
            publish();
            now = Clock::now(); // the times below count from the plug
        }
        for (const auto& at : {dropAt, backAt}) {
            if (at) {
                wakeBy(*at);
            }
        }
        if (pty.isOpen() && noiseActive(now)) {
            // The noise keeps the line busy: one piece waits whenever the line is free.
            if (std::none_of(output.begin(), output.end(),
                             [](const Pending& p) { return p.noise; })) {
                Pending noise;
                noise.noise = true;
                noise.bytes.resize(kNoiseChunk);
                for (auto& b : noise.bytes) {
                    b = static_cast<std::uint8_t>(noiseSource());
                }
                output.push_back(std::move(noise));
            }
            wakeBy(noiseUntil);
        }
        if (pty.isOpen()) {
            if (!output.empty() && !writeBlocked) {
                wakeBy(pacer.LineFreeAt());
            }
            if (behaviour.AutoRate() > 0) {
                wakeBy(nextAutoFrame);
            }
            if (inputWaitingSince) {
                wakeBy(*inputWaitingSince + kInputTimeout);
            }
        }
        timespec timeout{};
        timespec* timeoutPointer = nullptr;
        if (wakeAt) {
            const auto wait = std::max(Clock::duration::zero(), *wakeAt - now);
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
            timeoutPointer = &timeout;
        }
        pollfd waitSet[2] = {{m_wakeFd, POLLIN, 0},
                             {pty.isOpen() ? pty.master() : -1,
                              static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0}};
        if (::ppoll(waitSet, 2, timeoutPointer, nullptr) < 0 && errno != EINTR) {
            continue;
        }
        now = Clock::now();

        if (waitSet[0].revents & POLLIN) {
            std::uint64_t count;
            while (::read(m_wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
            }
            Request request;
            {
                std::lock_guard lock(m_mutex);
                request = m_request;
            }
            bool result = true;
            std::string error;
            std::optional<std::string> served;
            switch (request) {
            case Request::None:
                break;
            case Request::Unplug:
                unplug();
                break;
            case Request::Plug:
                result = plug(error);
                if (result) {
                    served = pty.slavePath();
                }
                break;
            case Request::Stop:
                unplug();
                break;
            }
            publish();
            if (served && m_options.onServing) {
                m_options.onServing(*served);
            }
            if (request != Request::None) {
                std::lock_guard lock(m_mutex);
                m_slavePath = pty.isOpen() ? pty.slavePath() : std::string();
                m_plugError = error;
                m_requestResult = result;
                m_request = Request::None;
                m_doneSerial = m_requestSerial;
                if (request == Request::Stop) {
                    m_running = false;
                }
            }
            m_done.notify_all();
            if (request == Request::Stop) {
                return;
            }
            now = Clock::now();
        }
        if (!pty.isOpen()) {
            continue;
        }
        if (waitSet[1].revents & POLLOUT) {
            writeBlocked = false;
        }

        if (waitSet[1].revents & POLLIN) {
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
            if (n > 0) {
                input.insert(input.end(), buffer, buffer + n);
                if (input.size() > kInputLimit) {
                    input.erase(input.begin(), input.end() - kInputLimit);
                }
            }
        }
        // Cut the host's bytes into commands and answer them.
        bool changed = false;
        while (!input.empty()) {
            const ParseStep step = ParseNextCommand(input);
            if (step.kind == ParseStep::Kind::NeedMore) {
                if (!inputWaitingSince) {
                    inputWaitingSince = now;
                } else if (now - *inputWaitingSince >= kInputTimeout) {
                    input.erase(input.begin());
                    inputWaitingSince.reset();
                    continue;
                }
                break;
            }
            inputWaitingSince.reset();
            input.erase(input.begin(), input.begin() + static_cast<long>(step.consumed));
            if (step.kind == ParseStep::Kind::Command && !m_hushed) {
                const SensorSample sample = sampleAt(now);
                const bool wasAuto = behaviour.AutoRate() > 0;
                for (auto& reply : behaviour.Handle(step.command, sample)) {
                    enqueue(std::move(reply));
                }
                if (!wasAuto && behaviour.AutoRate() > 0) {
                    nextAutoFrame = now + autoPeriod();
                }
                changed = true;
            }
        }
        if (input.empty()) {
            inputWaitingSince.reset();
        }
        // Publish before any answer leaves, so whoever reads the answer sees the new settings.
        if (changed) {
            publish();
            changed = false;
        }

        // Automatic output; a frame the line has no room for is not made.
        if (behaviour.AutoRate() > 0 && now >= nextAutoFrame && noiseActive(now)) {
            nextAutoFrame = now + autoPeriod(); // no frames while the line carries noise
        }
        if (behaviour.AutoRate() > 0 && now >= nextAutoFrame && !m_hushed) {
            const bool dataWaiting = std::any_of(output.begin(), output.end(),
                                                 [](const Pending& p) { return p.isData; });
            if (!dataWaiting) {
                enqueue(behaviour.AutoFrame(sampleAt(now)));
            }
            nextAutoFrame += autoPeriod();
            if (nextAutoFrame <= now) {
                nextAutoFrame = now + autoPeriod();
            }
        }

        // One chunk per turn, only once the line has carried the previous one.
        if (!output.empty() && !writeBlocked) {
            Pending& front = output.front();
            const std::size_t allowed = pacer.Allowance(now, front.bytes.size() - front.sent);
            if (allowed > 0) {
                const ssize_t n = ::write(pty.master(), front.bytes.data() + front.sent, allowed);
                if (n > 0) {
                    if (m_options.onWritten) {
                        m_options.onWritten(std::span<const std::uint8_t>(
                            front.bytes.data() + front.sent, static_cast<std::size_t>(n)));
                    }
                    pacer.Commit(now, static_cast<std::size_t>(n));
                    lastWriteAt = now;
                    front.sent += static_cast<std::size_t>(n);
                    if (front.noise) {
                        m_noiseBytes += static_cast<std::uint64_t>(n);
                    }
                    if (front.sent == front.bytes.size()) {
                        if (front.injected) {
                            ++m_injected;
                        }
                        if (front.isData) {
                            ++m_sent;
                            if (front.corrupted) {
                                ++m_corrupted;
                            }
                        }
                        if (front.baudAfter) {
                            pacer.SetBaud(*front.baudAfter);
                            changed = true;
                        }
                        output.pop_front();
                    }
                } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    writeBlocked = true;
                }
            }
        }
        if (changed) {
            publish();
        }
    }
}

} // namespace orvanta::devsim
