#pragma once

#include "protocol/ArrivalTime.h"
#include "protocol/FrameReceiver.h"
#include "recording/CaptureMirror.h"

namespace orvanta::host {

// Follows the session as the host runs it, for a publisher beside the recorder: every
// capture record (blocks received, frames sent, notes) through the CaptureMirror, each
// decoded data frame, and the rate timer's tick. Main thread; no call may block.
class SessionObserver : public recording::CaptureMirror {
public:
    // frame.payload is valid only during the call.
    virtual void DataFrameDecoded(const protocol::FrameReceiver::DataFrame& frame,
                                  const protocol::ArrivalTime& arrival) = 0;
    // Once a second, after the rate and Miscount were updated.
    virtual void RateTick() = 0;

protected:
    ~SessionObserver() = default;
};

} // namespace orvanta::host
