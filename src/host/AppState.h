#pragma once

#include "protocol/MeasurementRecord.h"
#include "protocol/ModelTable.h"
#include "protocol/WaveformHistory.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace orvanta::host {

// The setting that waits for the device's next reply.
enum class PendingKind : int {
    None = 0,
    DeviceBaud = 1,
    OutputMode = 3,
    Save = 4,
    Gravity = 5,
    DeclinationWrite = 6,
    DeclinationRead = 7,
    Calibration = 8,
    OutputItems = 10,
};

// The pending setting's kind and the value it carries (4 bytes; 1 for a calibration,
// none for the others), kept as one pair: written on the main thread, read whole by the
// poll worker, so a repeat never sends one setting's kind with another's bytes.
class PayloadBuffer {
public:
    struct Value {
        PendingKind kind = PendingKind::None;
        std::array<std::uint8_t, 4> bytes{};
        std::uint8_t length = 0;
    };

    void Store(PendingKind kind, const std::uint8_t* bytes, std::uint8_t length) {
        std::lock_guard lock(mutex_);
        value_ = {};
        value_.kind = kind;
        for (std::uint8_t i = 0; i < length && i < value_.bytes.size(); ++i) {
            value_.bytes[i] = bytes[i];
        }
        value_.length = length;
    }
    Value Load() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

private:
    mutable std::mutex mutex_;
    Value value_;
};

// What the next OpenLink uses; refreshed from the lists before each open.
struct LinkSettings {
    std::string port;
    std::uint32_t baud = 0;
    char parity = 'N';
};

// The program-wide data of the main window: the measurement record, the model in force,
// the link, the pending setting and the polling choices. Owned by the host; main thread
// unless a field is atomic or guarded (those the poll worker also touches).
struct AppState {
    protocol::MeasurementRecord record;
    protocol::WaveformHistory history;

    // Device model.
    std::atomic<int> ModelIndex{0};
    std::string ModelName = "VK100";
    std::string ProtocolName = "ASCII";
    std::array<std::atomic<std::uint32_t>, 10> FrequencyTable{};
    // The first six entries are the model's DeviceBaudTable.
    std::array<std::uint32_t, 7> HostBaudTable{9600, 19200, 38400, 57600, 115200, 230400, 256000};

    // Link.
    LinkSettings Link;
    std::atomic<bool> PortOpen{false};
    unsigned ScanIndex = 0;
    int ScanSkipPosition = -1; // the configured port, tried before the scan began
    bool AwaitItemMask = true;
    bool AwaitGravity = true;
    bool AutoOutputSeen = false;

    // The pending setting.
    std::atomic<bool> AwaitingAck{false};
    std::atomic<int> PendingCommand{static_cast<int>(PendingKind::None)};
    PayloadBuffer Payload;
    float StagedGravity = 0.0f;

    // Polling.
    std::atomic<bool> PollingActive{false};
    std::atomic<int> FrequencyIndex{0};
    std::atomic<int> OutputMode{0};

    // Display.
    std::string RateText = "0";
    int ChartItem = 0;
    int LanguageFlag = 1;

    // The live data page's settings.
    std::uint32_t PageItemMask = 0;
    int DeclinationDirection = 0;
    float DeclinationValue = 0.0f;

    std::uint32_t Frequency(int index) const {
        return (index >= 0 && index < 10) ? FrequencyTable[static_cast<std::size_t>(index)].load()
                                          : 0;
    }
    protocol::FrequencyTable FrequencySnapshot() const {
        protocol::FrequencyTable table{};
        for (std::size_t i = 0; i < table.size(); ++i) {
            table[i] = FrequencyTable[i].load();
        }
        return table;
    }
};

} // namespace orvanta::host
