#include "host/ModelView.h"

#include "config/ConfigValues.h"
#include "host/DeviceCommands.h"
#include "host/HostTexts.h"
#include "host/OutputItemBoxes.h"
#include "host/RecordingControl.h"

#include <algorithm>

namespace orvanta::host {

namespace {

constexpr const char* kApplicationName = "Orvanta";

// The data page captions a model gives the controls it shares with the others.
struct Caption {
    int control;
    int stringId;
};
namespace sid = res::string_id;
constexpr Caption kVk100Captions[] = {{page_id::kCaption1110, sid::kCaptionWeekNumber},
                                      {page_id::kCaption1105, sid::kCaptionExtFix},
                                      {page_id::kCaption1109, sid::kCaptionGpsFix}};
constexpr Caption kVn300Captions[] = {{page_id::kCaption1110, sid::kCaptionVelocity},
                                      {page_id::kCaption1105, sid::kCaptionPosition},
                                      {page_id::kCaption1109, sid::kCaptionRtk}};

} // namespace

void ModelView::OnModelListChanged() {
    ApplyModelView(ui_.ListSelection(Dialog::Main, main_id::kModelList));
    state_.ModelName = std::string(protocol::ModelRow(state_.ModelIndex).name);
    recorder_.SetModelName(state_.ModelName);
    // A played capture's model is not the user's device.
    if (link_.TalksToDevice()) {
        (void)config_.WriteString(config::config_key::kModel, state_.ModelName);
    }
    ApplyModel();
}

void ModelView::ApplyModelView(int index) {
    const auto setCaptions = [this](const auto& captions) {
        for (const Caption& caption : captions) {
            ui_.SetText(Dialog::DataPage, caption.control,
                        LoadText(caption.stringId, state_.LanguageFlag));
        }
    };
    const auto showAll = [this](const auto& ids, Dialog dialog, bool visible) {
        for (int id : ids) {
            ui_.SetVisible(dialog, id, visible);
        }
    };
    switch (index) {
    case 0:
        state_.ModelIndex = 0;
        showAll(kModelListM, Dialog::Main, true);
        showAll(kModelListD, Dialog::DataPage, true);
        setCaptions(kVk100Captions);
        break;
    case 1:
        state_.ModelIndex = 1;
        if (state_.ChartItem != 1 && state_.ChartItem != 2) {
            state_.ChartItem = 0;
        }
        ui_.SelectChartItem(state_.ChartItem);
        showAll(kModelListM, Dialog::Main, false);
        break;
    case 2:
        state_.ModelIndex = 2;
        showAll(kModelListM, Dialog::Main, true);
        showAll(kVn300HiddenMain, Dialog::Main, false);
        showAll(kModelListD, Dialog::DataPage, false);
        setCaptions(kVn300Captions);
        break;
    default:
        state_.ModelIndex = 0;
        showAll(kModelListM, Dialog::Main, true);
        break;
    }
}

void ModelView::ApplyModel() {
    const int modelIndex = state_.ModelIndex;
    const protocol::ModelProfile& model = protocol::ModelRow(modelIndex);
    const auto reportRefused = [this](bool inserted) {
        if (!inserted) {
            ui_.ShowMessage(kApplicationName, "Build baud error!", MessageIcon::None);
        }
    };

    int frequencyIndex = ui_.ListSelection(Dialog::Main, main_id::kFrequencyList);
    frequencyIndex = std::max(frequencyIndex, 0);
    ui_.ClearList(Dialog::Main, main_id::kFrequencyList);

    auto& record = state_.record;
    if (model.queryItemMask) {
        state_.AwaitItemMask = false;
        record.DefaultItemMask = 0;
        itemBoxes_.RefreshItemBoxes();
        record.SpecifiedItemMask = 0;
        state_.AwaitItemMask = model.awaitItemMask;
        state_.AwaitGravity = model.awaitGravity;
        commands_.SendFrame(protocol::BuildBareCommand(protocol::CommandCode::QueryItemMask));
    } else {
        state_.AwaitGravity = model.awaitGravity;
        state_.AwaitItemMask = model.awaitItemMask;
        record.DefaultItemMask = model.itemMask;
        itemBoxes_.RefreshItemBoxes();
        record.SpecifiedItemMask = model.itemMask;
    }
    recorder_.SetCsvHeader(std::string(model.csvHeader), modelIndex);

    for (std::size_t i = 0; i < model.frequencies.size(); ++i) {
        state_.FrequencyTable[i] = model.frequencies[i];
    }
    for (int i = 0; i < model.frequencyEntries; ++i) {
        reportRefused(
            ui_.InsertListItem(Dialog::Main, main_id::kFrequencyList, i,
                               DecimalText(model.frequencies[static_cast<std::size_t>(i)])));
    }
    ui_.SelectListItem(Dialog::Main, main_id::kFrequencyList, frequencyIndex);

    int deviceBaudIndex = std::max(ui_.ListSelection(Dialog::Main, main_id::kDeviceBaudList), 0);
    ui_.ClearList(Dialog::Main, main_id::kDeviceBaudList);
    for (std::size_t i = 0; i < model.deviceBauds.size(); ++i) {
        state_.HostBaudTable[i] = model.deviceBauds[i];
        reportRefused(ui_.InsertListItem(Dialog::Main, main_id::kDeviceBaudList,
                                         static_cast<int>(i), DecimalText(model.deviceBauds[i])));
    }
    ui_.SelectListItem(Dialog::Main, main_id::kDeviceBaudList, deviceBaudIndex);
    // The host list names the rates it really opens with.
    for (std::size_t i = 0; i < model.deviceBauds.size(); ++i) {
        ui_.SetListItemText(Dialog::Main, main_id::kBaudList, static_cast<int>(i),
                            DecimalText(state_.HostBaudTable[i]));
    }
    // The masks were reset outside the byte stream: a replay learns it from the note.
    notes_.AppendStateNote();
}

} // namespace orvanta::host
