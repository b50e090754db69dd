#pragma once

#include "host/AppState.h"
#include "host/HostUi.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameReceiver.h"
#include "protocol/PollWorker.h"
#include "recording/CaptureWriter.h"
#include "serial/BlockingCallQueue.h"
#include "serial/SerialLink.h"

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace orvanta::host {

class CaptureNotes;
class OutputItemBoxes;

// What the other panels use of the device commands. Main thread only.
class CommandSender {
public:
    // Queues the frame on the link, echoes it and starts the reply timer; dropped while no
    // port is open, on a link without a device, and while polling waits for a reply.
    virtual void SendFrame(const protocol::CommandFrame& frame) = 0;
    // The mode list's handler: the output mode of its entry, sent and made pending.
    virtual void OnModeListChanged() = 0;
    // Shows mode as the output mode in force (list, state and caption); sends nothing.
    virtual void ShowOutputMode(int mode) = 0;
    // On a link without a device: tells the user that a command is not available.
    virtual bool RefusedWithoutDevice() = 0;

protected:
    ~CommandSender() = default;
};

// The device settings panel and the sending of command frames: the settings actions of the
// main window and the live data page, the pending setting with its acknowledgement, the
// reply timer, the output mode and the poll worker's step. It talks to the link only
// through SerialLink.
//
// Threads: main thread, except PollWorkerStep, which the poll worker runs; it reads only the
// state's atomic and guarded fields and hands every frame to the main thread, waiting there.
class DeviceCommands final : public CommandSender {
public:
    DeviceCommands(HostUi& ui, TimerService& timers, AppState& state, serial::SerialLink& link,
                   protocol::FrameReceiver& receiver, recording::CaptureWriter& capture,
                   protocol::PollWorker& pollWorker, serial::BlockingCallQueue& mainCalls,
                   OutputItemBoxes& itemBoxes, CaptureNotes& notes, int languageFlag);

    // The mode, frequency and device baud lists, and the live data page's calibration list
    // and declination radios.
    void FillLists();

    void SendFrame(const protocol::CommandFrame& frame) override;
    void OnModeListChanged() override;
    void ShowOutputMode(int mode) override;
    bool RefusedWithoutDevice() override;

    // Settings panel and live data page settings.
    void OnFrequencyListChanged();
    void OnFrequencySet();
    void OnDeviceBaudSet();
    void OnGravitySet();
    void OnSave();
    void OnItemSet();
    void OnDeclinationRadio();
    void OnDeclinationOk();
    void OnCalibrationSet();

    void SendOutputMode();
    void OnReplyTimer();
    // The device's acknowledgement: ApplyAcknowledged, then the status box.
    void ShowDeviceStatus(std::uint8_t status);
    void ApplyAcknowledged();
    // How the link is reopened at the host baud list's selection once an acknowledged
    // device baud has set it.
    void SetLinkReopener(std::function<void()> reopen) { reopenLink_ = std::move(reopen); }
    // The link watches a remote device (the refusals name it) rather than a replay.
    void SetRemoteSource(bool remote) { remote_ = remote; }

    // The poll worker's step (worker thread): repeats the pending setting, or polls.
    void PollWorkerStep();

private:
    bool RepeatPending();
    void PollStep();
    // Runs fn on the main thread and waits; on the main thread it runs at once.
    bool CallOnMain(const std::function<void()>& fn);
    // Hands a frame to SendFrame on the main thread, from either thread.
    void SendCommand(const protocol::CommandFrame& frame);
    void SendWriteCommand(protocol::CommandCode code, const std::uint8_t* bytes,
                          std::uint8_t length);
    // Makes the setting pending with the value its repetitions carry.
    void MakePending(PendingKind kind, const std::uint8_t* bytes = nullptr,
                     std::uint8_t length = 0);
    void SetModeCaption(int mode);

    HostUi& ui_;
    TimerService& timers_;
    AppState& state_;
    serial::SerialLink& link_;
    protocol::FrameReceiver& receiver_;
    recording::CaptureWriter& capture_;
    protocol::PollWorker& pollWorker_;
    serial::BlockingCallQueue& mainCalls_;
    OutputItemBoxes& itemBoxes_;
    CaptureNotes& notes_;
    std::thread::id mainThread_;
    std::function<void()> reopenLink_;
    bool remote_ = false;

    // In the language the program started with.
    std::string modeTexts_[3];
    std::string successText_;
    std::string failureText_;
};

} // namespace orvanta::host
