#pragma once

#include "host/AppState.h"
#include "host/HostUi.h"
#include "protocol/FrameReceiver.h"

#include <functional>

namespace orvanta::host {

// What the rate, status and echo timers show: the received-frame rate, the status row of
// the main window and the hex echo in the monitor box. Main thread only.
class StatusDisplay {
public:
    StatusDisplay(HostUi& ui, AppState& state, protocol::FrameReceiver& receiver)
        : ui_(ui), state_(state), receiver_(receiver) {}

    // The rate timer's tick: the rate of the second just ended, snapped to the model's
    // frequencies; a second without data frames also resets Miscount.
    void OnRateTimer();
    // The status timer's tick.
    void RefreshStatusLabels();
    // Moves the echo into the monitor box (the echo timer's tick): appended while the box
    // holds less than its limit, else replacing its content.
    void FlushEcho();

    // Called after every rate-timer tick.
    void SetRateTickListener(std::function<void()> listener) {
        rateTickListener_ = std::move(listener);
    }

private:
    HostUi& ui_;
    AppState& state_;
    protocol::FrameReceiver& receiver_;
    std::function<void()> rateTickListener_;
};

} // namespace orvanta::host
