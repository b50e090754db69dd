#pragma once

#include "devsim/DeviceBehaviour.h"
#include "devsim/DeviceProfile.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace orvanta::devsim {

// Faulty frames put on the line before every Nth data frame (fault injection).
enum class InjectedFault {
    None,
    OversizeHeader, // FF 00 57 02 01: a header announcing 529 bytes, nothing after it
    NoEndByte,      // a copy of the data frame without its end byte
    EmptyAck,       // an acknowledgement 01 with an empty payload (good checksum)
};

struct SimulatorOptions {
    Model model = Model::VK100;
    std::string linkPath;           // symbolic link to the live slave; empty for none
    std::uint32_t baud = 115200;    // line rate at power-up
    std::uint8_t autoDivider = 0;   // automatic output from the start with this divider
    std::uint32_t corruptEvery = 0; // flip one payload byte in every Nth data frame
    std::uint64_t seed = 1;
    // Fault injection. noiseSeconds: after each plug the line first carries random bytes
    // at the full line rate for this long (no automatic frames meanwhile; answers are
    // sent between pieces of noise). inject/injectEvery: a faulty frame before every Nth data
    // frame. settingAnswer: how setting commands are answered.
    double noiseSeconds = 0;
    InjectedFault inject = InjectedFault::None;
    std::uint32_t injectEvery = 0;
    SettingAnswer settingAnswer = SettingAnswer::Normal;
    // Pulled out dropAfterSeconds after the start (0: never), plugged back under a new pty
    // backAfterSeconds later (0: stays out).
    double dropAfterSeconds = 0;
    double backAfterSeconds = 0;
    // Called on the simulator's thread (and from Start) with each new slave path.
    std::function<void(const std::string& slavePath)> onServing;
    // Called on the simulator's thread with every piece of bytes written to the line.
    std::function<void(std::span<const std::uint8_t> bytes)> onWritten;
};

struct SimulatorCounters {
    std::uint64_t dataFramesSent = 0;
    std::uint64_t dataFramesCorrupted = 0;
    std::uint64_t noiseBytesSent = 0;
    std::uint64_t faultsInjected = 0;
};

// A VK100, VK200-210 or VN300 on a pseudo-terminal: answers commands, streams in automatic
// output, paces everything to its line rate, and can be unplugged and plugged back. Runs
// its own thread; every public method may be called from any other thread.
class DeviceSimulator {
public:
    explicit DeviceSimulator(SimulatorOptions options);
    ~DeviceSimulator();
    DeviceSimulator(const DeviceSimulator&) = delete;
    DeviceSimulator& operator=(const DeviceSimulator&) = delete;

    // Opens the first pty and starts serving; error says why not.
    bool Start(std::string& error);
    void Stop();

    std::string SlavePath() const; // empty while unplugged
    bool IsPlugged() const;
    // Drops the pty as a pulled-out device does (the slave path vanishes, hosts hang up).
    // Returns when done.
    void Unplug();
    // A new pty at the link path, with the saved settings as after a power cycle. Returns
    // when done; false when no pty could be opened.
    bool Plug();
    // Goes quiet with the line still open (quiet) or talks again: while quiet, no answers
    // and no streamed frames, while what is already on its way still leaves.
    void Hush(bool quiet = true) { m_hushed = quiet; }

    SimulatorCounters Counters() const;
    DeviceSettings Settings() const;
    std::uint32_t LineBaud() const;

private:
    enum class Request { None, Unplug, Plug, Stop };
    bool Perform(Request request);
    void Run();

    SimulatorOptions m_options;
    int m_wakeFd = -1;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    Request m_request = Request::None;
    bool m_requestResult = false;
    std::uint64_t m_requestSerial = 0, m_doneSerial = 0;
    std::string m_slavePath;
    std::string m_plugError;
    DeviceSettings m_settings;
    std::uint32_t m_lineBaud = 0;
    bool m_running = false;

    std::atomic<bool> m_hushed{false};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_corrupted{0};
    std::atomic<std::uint64_t> m_noiseBytes{0};
    std::atomic<std::uint64_t> m_injected{0};
};

} // namespace orvanta::devsim
