#include "host/OutputItemBoxes.h"

namespace orvanta::host {

void OutputItemBoxes::RefreshItemBoxes() {
    const auto& record = state_.record;
    SetItemBoxes(state_.OutputMode == 1 ? record.SpecifiedItemMask.load()
                                        : record.DefaultItemMask.load());
}

void OutputItemBoxes::SetItemBoxes(std::uint32_t mask) {
    for (const ItemBox& box : kMainItemBoxes) {
        ui_.SetChecked(Dialog::Main, box.id, (mask & box.bit) != 0);
    }
}

std::uint32_t OutputItemBoxes::ItemBoxMask() const {
    std::uint32_t mask = 0;
    for (const ItemBox& box : kMainItemBoxes) {
        if (ui_.IsChecked(Dialog::Main, box.id)) {
            mask |= box.bit;
        }
    }
    return mask;
}

void OutputItemBoxes::LockOutputItemBox(int boxId) {
    if (state_.OutputMode != 1) {
        ui_.SetChecked(Dialog::Main, boxId, !ui_.IsChecked(Dialog::Main, boxId));
    }
}

} // namespace orvanta::host
