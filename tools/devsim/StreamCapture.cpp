#include "devsim/StreamCapture.h"

#include "devsim/DeviceFrame.h"
#include "devsim/PayloadEncoder.h"
#include "devsim/SensorGenerator.h"
#include "protocol/CommandFrame.h"
#include "recording/CaptureWriter.h"

#include <chrono>
#include <mutex>

namespace orvanta::devsim {

namespace {

class FirstMessage final : public recording::RecorderMessages {
public:
    void ShowMessage(const std::string&, const std::string& text) override {
        std::lock_guard lock(mutex_);
        if (text_.empty()) {
            text_ = text;
        }
    }
    std::string Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    std::mutex mutex_;
    std::string text_;
};

} // namespace

bool WriteStreamCapture(const std::filesystem::path& path, const StreamCaptureOptions& options,
                        std::string& error) {
    using recording::CaptureDirection;
    const DeviceProfile& profile = ProfileOf(options.model);
    const auto start = std::chrono::system_clock::now();
    const std::int64_t startNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    FirstMessage messages;
    recording::CaptureWriter writer(messages);
    writer.SetLanguageFlag(1);
    const recording::CaptureNote note = {{recording::note_key::kModel, std::string(profile.name)},
                                         {recording::note_key::kBaud, "921600"},
                                         {recording::note_key::kParity, "N"},
                                         {recording::note_key::kMode, "2"},
                                         {recording::note_key::kVersion, "orvanta-devsim"},
                                         {recording::note_key::kGravity, "9.8"}};
    if (!writer.Open(path, note, startNs)) {
        error = "cannot start the capture writer";
        return false;
    }
    const protocol::CommandFrame query =
        protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask);
    writer.Append(CaptureDirection::HostToDevice, query.bytes.data(), query.length, startNs);
    const std::uint8_t mask[4] = {static_cast<std::uint8_t>(options.itemMask),
                                  static_cast<std::uint8_t>(options.itemMask >> 8),
                                  static_cast<std::uint8_t>(options.itemMask >> 16),
                                  static_cast<std::uint8_t>(options.itemMask >> 24)};
    const auto reply = BuildDeviceFrame(0x52, mask);
    writer.Append(CaptureDirection::DeviceToHost, reply.data(), reply.size(), startNs + 2000000);

    const SensorGenerator generator(options.seed);
    const auto frames = static_cast<std::uint64_t>(options.seconds * options.framesPerSecond);
    const std::int64_t periodNs = 1000000000 / std::max<std::uint32_t>(options.framesPerSecond, 1);
    for (std::uint64_t i = 0; i < frames; ++i) {
        const std::int64_t offsetNs = 10000000 + static_cast<std::int64_t>(i) * periodNs;
        const SensorSample sample =
            generator.Sample(static_cast<std::uint32_t>(offsetNs / 1000000),
                             start + std::chrono::nanoseconds(offsetNs), 9.8f, profile.gpsStatus);
        const auto frame = BuildDeviceFrame(0x90, EncodeItems(options.itemMask, sample));
        writer.Append(CaptureDirection::DeviceToHost, frame.data(), frame.size(),
                      startNs + offsetNs);
    }
    writer.Close();
    error = messages.Text();
    return error.empty();
}

} // namespace orvanta::devsim
