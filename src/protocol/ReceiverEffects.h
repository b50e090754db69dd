#pragma once

#include "protocol/ArrivalTime.h"

#include <cstdint>
#include <string_view>

namespace orvanta::protocol {

// What the frame receiver does outside itself. The host implements it on the main
// thread; the receiver calls it from inside FeedBytes, so no method may feed bytes back.
class ReceiverEffects {
public:
    virtual ~ReceiverEffects() = default;

    // The model in force now; it decides how a GPS status byte is read.
    virtual int CurrentModelIndex() const = 0;

    // An acknowledgement arrived: post its status (payload byte 0) to the main window.
    virtual void PostDeviceStatus(std::uint8_t status) = 0;
    // A frame was completed, good or bad.
    virtual void KillReplyTimer() = 0;
    // A data frame was decoded into the record: append a CSV row when recording. arrival is
    // the time of the block that completed the frame.
    virtual void DataFrameDecoded(const ArrivalTime& arrival) = 0;
    // An auto-output data frame (0x90) arrived.
    virtual void SetAutoOutputSeen() = 0;

    // The item-mask reply set DefaultItemMask.
    virtual void ClearAwaitItemMask() = 0;
    virtual void RefreshItemBoxes() = 0;
    // The gravity reply set GravityValue and GravityText.
    virtual void ClearAwaitGravity() = 0;
    // The declination reply: "%.3f" and the degree sign, UTF-8, for the declination box.
    virtual void ShowDeclination(std::string_view text) = 0;

    // Any reply other than an acknowledgement or a data frame ends the pending setting:
    // clear AwaitingAck and PendingCommand.
    virtual void EndPendingCommand() = 0;
};

} // namespace orvanta::protocol
