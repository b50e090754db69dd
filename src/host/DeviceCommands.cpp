#include "host/DeviceCommands.h"

#include "host/HostTexts.h"
#include "host/OutputItemBoxes.h"
#include "host/RecordingControl.h"

#include <algorithm>
#include <cstring>

namespace orvanta::host {

namespace {

using protocol::CommandCode;
using protocol::ReceiveState;
namespace sid = res::string_id;

constexpr int kReplyPeriod = 300;
// The poll worker's sleep per frequency index; index 0 stops polling.
constexpr int kPollIntervalTable[10] = {0, 1000, 200, 100, 50, 40, 20, 10, 5, 5};
constexpr std::uint8_t kCalibrationActions[3] = {0x08, 0x0A, 0x09};

// Standard decimal conversion: leading blanks skipped, stops at the first character
// that does not belong to a number, no number gives 0; "." whatever the locale.
float ParseFloat(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = protocol::ParseDecimal(begin, &end);
    return end == begin ? 0.0f : static_cast<float>(value);
}

void LittleEndian(std::uint32_t value, std::uint8_t out[4]) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

DeviceCommands::DeviceCommands(HostUi& ui, TimerService& timers, AppState& state,
                               serial::SerialLink& link, protocol::FrameReceiver& receiver,
                               recording::CaptureWriter& capture, protocol::PollWorker& pollWorker,
                               serial::BlockingCallQueue& mainCalls, OutputItemBoxes& itemBoxes,
                               CaptureNotes& notes, int languageFlag)
    : ui_(ui), timers_(timers), state_(state), link_(link), receiver_(receiver), capture_(capture),
      pollWorker_(pollWorker), mainCalls_(mainCalls), itemBoxes_(itemBoxes), notes_(notes),
      mainThread_(std::this_thread::get_id()) {
    for (int mode = 0; mode < 3; ++mode) {
        modeTexts_[mode] = LoadText(sid::kModeDefaultAnswer + mode, languageFlag);
    }
    successText_ = LoadText(sid::kOperationSucceeded, languageFlag);
    failureText_ = LoadText(sid::kOperationFailed, languageFlag);
}

void DeviceCommands::FillLists() {
    FillList(ui_, Dialog::Main, main_id::kModeList, {modeTexts_[0], modeTexts_[1], modeTexts_[2]});
    const protocol::ModelProfile& model = protocol::ModelRow(0);
    std::vector<std::string> frequencies;
    for (int i = 0; i < model.frequencyEntries; ++i) {
        frequencies.push_back(DecimalText(model.frequencies[static_cast<std::size_t>(i)]));
    }
    FillList(ui_, Dialog::Main, main_id::kFrequencyList, frequencies);
    std::vector<std::string> deviceBauds;
    for (std::uint32_t baud : model.deviceBauds) {
        deviceBauds.push_back(DecimalText(baud));
    }
    FillList(ui_, Dialog::Main, main_id::kDeviceBaudList, deviceBauds);

    const int language = state_.LanguageFlag;
    FillList(ui_, Dialog::DataPage, page_id::kCalibrationList,
             {LoadText(sid::kCalibrationStart, language), LoadText(sid::kCalibrationStop, language),
              LoadText(sid::kCalibrationGiveUp, language)});
    ui_.SetChecked(Dialog::DataPage, page_id::kDeclinationWrite, true);
}

// ---------------------------------------------------------------- sending

bool DeviceCommands::CallOnMain(const std::function<void()>& fn) {
    if (std::this_thread::get_id() == mainThread_) {
        fn();
        return true;
    }
    return mainCalls_.CallBlocking(fn);
}

void DeviceCommands::SendFrame(const protocol::CommandFrame& frame) {
    if (!state_.PortOpen || !link_.TalksToDevice()) {
        return; // a replay sends nothing, and its own frames leave no echo
    }
    const ReceiveState receiving = receiver_.State();
    if (state_.PollingActive && receiving != ReceiveState::Idle &&
        receiving != ReceiveState::ReplyTimedOut) {
        return;
    }
    if (link_.QueueSend(frame.bytes.data(), frame.length)) {
        capture_.Append(recording::CaptureDirection::HostToDevice, frame.bytes.data(),
                        frame.length);
    }
    receiver_.OnFrameSent(frame.bytes.data(), frame.length);
    timers_.StartTimer(kReplyTimer, kReplyPeriod);
}

void DeviceCommands::SendCommand(const protocol::CommandFrame& frame) {
    CallOnMain([this, &frame] { SendFrame(frame); });
}

void DeviceCommands::SendWriteCommand(CommandCode code, const std::uint8_t* bytes,
                                      std::uint8_t length) {
    SendCommand(protocol::BuildWriteCommand(code, std::span<const std::uint8_t>(bytes, length)));
}

void DeviceCommands::MakePending(PendingKind kind, const std::uint8_t* bytes, std::uint8_t length) {
    state_.Payload.Store(kind, bytes, length);
    state_.PendingCommand = static_cast<int>(kind);
    state_.AwaitingAck = true;
}

void DeviceCommands::OnReplyTimer() {
    timers_.KillTimer(kReplyTimer);
    receiver_.SetState(ReceiveState::ReplyTimedOut);
}

void DeviceCommands::ShowDeviceStatus(std::uint8_t status) {
    ApplyAcknowledged();
    std::string text;
    switch (status) {
    case 0:
        text = successText_;
        break;
    case 1:
        text = "Operation failure!!";
        break;
    case 4:
        text = "Command error!!";
        break;
    case 9:
        text = "Param error!!";
        break;
    default:
        text = failureText_;
        break;
    }
    ui_.ShowMessage(kMessageCaption, text, MessageIcon::None);
}

void DeviceCommands::ApplyAcknowledged() {
    state_.AwaitingAck = false;
    switch (static_cast<PendingKind>(state_.PendingCommand.load())) {
    case PendingKind::DeviceBaud: {
        int index = ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList);
        index = std::max(index, 0);
        if (index == 5 && (state_.ModelIndex == 1 || state_.ModelIndex == 2)) {
            index = 6;
        }
        ui_.SelectListItem(Dialog::Main, main_id::kBaudList, index);
        if (reopenLink_) {
            reopenLink_();
        }
        break;
    }
    case PendingKind::Gravity:
        if (state_.StagedGravity != state_.record.GravityValue) {
            state_.record.GravityValue = state_.StagedGravity;
            state_.record.GravityText = FixedText(state_.StagedGravity, 3);
            notes_.AppendStateNote();
        }
        break;
    case PendingKind::OutputItems:
        state_.AwaitItemMask = false;
        state_.record.DefaultItemMask = state_.PageItemMask;
        itemBoxes_.RefreshItemBoxes();
        // Not in the byte stream: a replay learns it from the capture's note.
        notes_.AppendStateNote();
        break;
    default:
        break;
    }
    state_.PendingCommand = static_cast<int>(PendingKind::None);
}

// ---------------------------------------------------------------- settings

void DeviceCommands::SetModeCaption(int mode) {
    ui_.SetText(Dialog::Main, main_id::kModeCaption, modeTexts_[std::clamp(mode, 0, 2)] + ":");
    // Called whenever the output mode changes, which the byte stream does not show.
    notes_.AppendCaptureNote({{recording::note_key::kMode, DecimalText(mode)}});
}

void DeviceCommands::ShowOutputMode(int mode) {
    ui_.SelectListItem(Dialog::Main, main_id::kModeList, mode);
    state_.OutputMode = mode;
    SetModeCaption(mode);
}

bool DeviceCommands::RefusedWithoutDevice() {
    if (link_.TalksToDevice()) {
        return false;
    }
    const bool english = state_.LanguageFlag == 1;
    ui_.ShowMessage(kMessageCaption,
                    remote_ ? (english ? "Not available for a remote device" : "对远程设备不可用")
                            : (english ? "Not available during a replay" : "回放时不可用"),
                    MessageIcon::Exclamation);
    return true;
}

void DeviceCommands::SendOutputMode() {
    if (!state_.PortOpen) {
        return;
    }
    std::uint8_t parameter[2] = {0, 0};
    int f = state_.FrequencyIndex;
    if (f < 0 || f > 9) {
        f = 0; // no valid frequency: stop polling
    }
    if (f == 0) {
        pollWorker_.Suspend();
        state_.PollingActive = false;
    } else if (state_.OutputMode == 2) {
        pollWorker_.Suspend();
        state_.PollingActive = false;
        const float ratio = static_cast<float>(
            static_cast<double>(state_.Frequency(9)) /
            static_cast<double>(std::max<std::uint32_t>(state_.Frequency(f), 1)));
        parameter[0] = 1;
        parameter[1] = static_cast<std::uint8_t>(static_cast<std::int64_t>(ratio + 0.2) & 0xFF);
    } else {
        pollWorker_.SetInterval(std::chrono::milliseconds(kPollIntervalTable[f]));
        pollWorker_.Resume();
        state_.PollingActive = true;
    }
    SendWriteCommand(CommandCode::SetOutputMode, parameter, 2);
}

void DeviceCommands::OnModeListChanged() {
    if (RefusedWithoutDevice()) {
        ui_.SelectListItem(Dialog::Main, main_id::kModeList, state_.OutputMode);
        return;
    }
    const int mode = std::clamp(ui_.ListSelection(Dialog::Main, main_id::kModeList), 0, 2);
    state_.OutputMode = mode;
    SetModeCaption(mode);
    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList, 3);
    state_.FrequencyIndex = 3;
    SendOutputMode();
    MakePending(PendingKind::OutputMode);
}

void DeviceCommands::OnFrequencyListChanged() {
    state_.FrequencyIndex = ui_.ListSelection(Dialog::Main, main_id::kFrequencyList);
}

void DeviceCommands::OnFrequencySet() {
    if (RefusedWithoutDevice()) {
        return;
    }
    SendOutputMode();
    MakePending(PendingKind::OutputMode);
}

void DeviceCommands::OnDeviceBaudSet() {
    if (RefusedWithoutDevice()) {
        return;
    }
    const int index = std::clamp(ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList), 0, 5);
    std::uint8_t bytes[4];
    LittleEndian(state_.HostBaudTable[static_cast<std::size_t>(index)], bytes);
    SendWriteCommand(CommandCode::SetDeviceBaud, bytes, 4);
    MakePending(PendingKind::DeviceBaud, bytes, 4);
}

void DeviceCommands::OnGravitySet() {
    if (RefusedWithoutDevice()) {
        return;
    }
    state_.StagedGravity = ParseFloat(ui_.Text(Dialog::Main, main_id::kGravityBox));
    std::uint8_t bytes[4];
    std::memcpy(bytes, &state_.StagedGravity, 4);
    SendWriteCommand(CommandCode::SetGravity, bytes, 4);
    MakePending(PendingKind::Gravity, bytes, 4);
}

void DeviceCommands::OnSave() {
    if (RefusedWithoutDevice()) {
        return;
    }
    SendCommand(protocol::BuildBareCommand(CommandCode::SaveSettings));
    MakePending(PendingKind::Save);
}

void DeviceCommands::OnItemSet() {
    if (RefusedWithoutDevice()) {
        return;
    }
    std::uint32_t mask = state_.PageItemMask;
    for (const ItemBox& box : kPageItemBoxes) {
        if (ui_.IsChecked(Dialog::DataPage, box.id)) {
            mask |= box.bit;
        } else {
            mask &= ~box.bit;
        }
    }
    state_.PageItemMask = mask;
    std::uint8_t bytes[4];
    LittleEndian(mask, bytes);
    SendWriteCommand(CommandCode::SetItemMask, bytes, 4);
    MakePending(PendingKind::OutputItems, bytes, 4);
}

void DeviceCommands::OnDeclinationRadio() {
    state_.DeclinationDirection =
        ui_.IsChecked(Dialog::DataPage, page_id::kDeclinationRead) ? 1 : 0;
}

void DeviceCommands::OnDeclinationOk() {
    if (RefusedWithoutDevice()) {
        return;
    }
    if (state_.DeclinationDirection != 0) {
        SendCommand(protocol::BuildBareCommand(CommandCode::QueryDeclination));
        MakePending(PendingKind::DeclinationRead);
        return;
    }
    state_.DeclinationValue = ParseFloat(ui_.Text(Dialog::DataPage, page_id::kDeclinationBox));
    std::uint8_t bytes[4];
    std::memcpy(bytes, &state_.DeclinationValue, 4);
    SendWriteCommand(CommandCode::SetDeclination, bytes, 4);
    MakePending(PendingKind::DeclinationWrite, bytes, 4);
}

void DeviceCommands::OnCalibrationSet() {
    if (RefusedWithoutDevice()) {
        return;
    }
    const int entry =
        std::clamp(ui_.ListSelection(Dialog::DataPage, page_id::kCalibrationList), 0, 2);
    const std::uint8_t action = kCalibrationActions[entry];
    SendCommand(protocol::BuildByteCommand(CommandCode::Calibrate, action));
    MakePending(PendingKind::Calibration, &action, 1);
}

// ---------------------------------------------------------------- poll worker

void DeviceCommands::PollWorkerStep() {
    if (!RepeatPending()) {
        PollStep();
    }
}

bool DeviceCommands::RepeatPending() {
    if (!state_.AwaitingAck) {
        return false;
    }
    // Kind and bytes are read as one pair: a setting made meanwhile replaces both.
    const PayloadBuffer::Value payload = state_.Payload.Load();
    switch (payload.kind) {
    case PendingKind::DeviceBaud:
        // The rate comes from the list as it stands now, which only the main thread reads.
        CallOnMain([this] {
            const int index =
                std::clamp(ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList), 0, 5);
            std::uint8_t bytes[4];
            LittleEndian(state_.HostBaudTable[static_cast<std::size_t>(index)], bytes);
            SendFrame(protocol::BuildWriteCommand(CommandCode::SetDeviceBaud, bytes));
        });
        break;
    case PendingKind::OutputMode:
        // Built on the main thread from the mode and frequency in force when it is sent: a
        // frame built here could carry a frequency the user changed meanwhile and, sent
        // after the newer command, put the device back at the old rate.
        CallOnMain([this] {
            if (state_.AwaitingAck &&
                static_cast<PendingKind>(state_.PendingCommand.load()) == PendingKind::OutputMode) {
                SendOutputMode();
            }
        });
        break;
    case PendingKind::Save:
        SendCommand(protocol::BuildBareCommand(CommandCode::SaveSettings));
        break;
    case PendingKind::Gravity:
        SendWriteCommand(CommandCode::SetGravity, payload.bytes.data(), 4);
        break;
    case PendingKind::DeclinationWrite:
        SendWriteCommand(CommandCode::SetDeclination, payload.bytes.data(), 4);
        break;
    case PendingKind::DeclinationRead:
        SendCommand(protocol::BuildBareCommand(CommandCode::QueryDeclination));
        break;
    case PendingKind::Calibration:
        SendCommand(protocol::BuildByteCommand(CommandCode::Calibrate, payload.bytes[0]));
        break;
    case PendingKind::OutputItems:
        SendWriteCommand(CommandCode::SetItemMask, payload.bytes.data(), 4);
        break;
    case PendingKind::None:
        break;
    }
    return true;
}

void DeviceCommands::PollStep() {
    auto& record = state_.record;
    switch (state_.OutputMode.load()) {
    case 0: {
        const std::uint32_t mask = record.DefaultItemMask;
        if (mask != 0) {
            CallOnMain([this, mask] {
                // The user may have changed the mode since the worker looked.
                if (state_.OutputMode == 0) {
                    itemBoxes_.SetItemBoxes(mask);
                }
                SendFrame(protocol::BuildBareCommand(CommandCode::PollDefault));
            });
        } else if (state_.ModelIndex != 1) {
            SendCommand(protocol::BuildBareCommand(CommandCode::QueryItemMask));
        }
        break;
    }
    case 1:
        CallOnMain([this, &record] {
            const std::uint32_t mask = itemBoxes_.ItemBoxMask();
            record.SpecifiedItemMask = mask;
            SendFrame(protocol::BuildMaskCommand(CommandCode::PollSpecified, mask));
        });
        break;
    default:
        break;
    }
}

} // namespace orvanta::host
