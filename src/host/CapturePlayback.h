#pragma once

#include "host/AppState.h"
#include "host/HostUi.h"
#include "protocol/FrameReceiver.h"
#include "recording/CaptureFormat.h"
#include "recording/CaptureWriter.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace orvanta::host {

class CommandSender;
class ModelView;
class OutputItemBoxes;
class RecordingControl;

// What a replayed capture holds besides the device's bytes: the settings its notes name,
// put in force through the panels' own handlers as the user's choices were, and the frames
// the host sent, echoed and awaited as when they were sent. Main thread only.
class CapturePlayback {
public:
    // modelFromCapture: whether the note the replay starts from puts its model in force.
    CapturePlayback(HostUi& ui, AppState& state, protocol::FrameReceiver& receiver,
                    recording::CaptureWriter& capture, ModelView& models, CommandSender& commands,
                    OutputItemBoxes& itemBoxes, RecordingControl& recording, bool modelFromCapture)
        : ui_(ui), state_(state), receiver_(receiver), capture_(capture), models_(models),
          commands_(commands), itemBoxes_(itemBoxes), recording_(recording),
          modelFromCapture_(modelFromCapture) {}

    // The note the replay starts from.
    void ApplyStartNote(const recording::CaptureNote& note);
    // The start note's settings again, except its model: at start-up the model's defaults
    // replace them after the replay has begun.
    void ReapplyStartNote();
    // Puts the model (withModel), output mode, masks, gravity and units a note names in force.
    void ApplyCaptureNote(const recording::CaptureNote& note, bool withModel);
    // A replayed command frame: echoed and awaited as when it was sent.
    void ReplaySentFrame(const std::uint8_t* bytes, std::size_t length);

private:
    HostUi& ui_;
    AppState& state_;
    protocol::FrameReceiver& receiver_;
    recording::CaptureWriter& capture_;
    ModelView& models_;
    CommandSender& commands_;
    OutputItemBoxes& itemBoxes_;
    RecordingControl& recording_;
    const bool modelFromCapture_;
    std::optional<recording::CaptureNote> startNote_;
};

} // namespace orvanta::host
