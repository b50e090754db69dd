#pragma once

#include "host/AppState.h"
#include "host/HostUi.h"

#include <cstdint>

namespace orvanta::host {

// The thirteen output-item check boxes of the main window: they show the item mask of the
// output mode in force, except in specified answer output, where the user picks the items
// the poll asks for. Main thread only.
class OutputItemBoxes {
public:
    OutputItemBoxes(HostUi& ui, const AppState& state) : ui_(ui), state_(state) {}

    // From SpecifiedItemMask in specified answer output, else from DefaultItemMask.
    void RefreshItemBoxes();
    void SetItemBoxes(std::uint32_t mask);
    // The bits of the checked boxes.
    std::uint32_t ItemBoxMask() const;
    // A click on a box (the click has toggled it): undone unless the user picks the items.
    void LockOutputItemBox(int boxId);

private:
    HostUi& ui_;
    const AppState& state_;
};

} // namespace orvanta::host
