#pragma once

#include "config/ConfigFile.h"
#include "host/AppState.h"
#include "host/HostUi.h"
#include "recording/CsvRecorder.h"
#include "serial/SerialLink.h"

namespace orvanta::host {

class CaptureNotes;
class CommandSender;
class OutputItemBoxes;

// The device model in force: the model list's handler, ApplyModel (the model's masks,
// frequencies, device bauds and CSV header) and ApplyModelView (the controls the model shows
// and the captions it gives them). Main thread only.
class ModelView {
public:
    ModelView(HostUi& ui, AppState& state, recording::CsvRecorder& recorder,
              config::ConfigFile& config, const serial::SerialLink& link, CommandSender& commands,
              OutputItemBoxes& itemBoxes, CaptureNotes& notes)
        : ui_(ui), state_(state), recorder_(recorder), config_(config), link_(link),
          commands_(commands), itemBoxes_(itemBoxes), notes_(notes) {}

    void OnModelListChanged();
    void ApplyModel();
    // Sets ModelIndex (0 for an index outside the model table) and shows, hides and
    // relabels the controls for it.
    void ApplyModelView(int index);

private:
    HostUi& ui_;
    AppState& state_;
    recording::CsvRecorder& recorder_;
    config::ConfigFile& config_;
    const serial::SerialLink& link_;
    CommandSender& commands_;
    OutputItemBoxes& itemBoxes_;
    CaptureNotes& notes_;
};

} // namespace orvanta::host
