#pragma once

#include "recording/CaptureReplay.h"
#include "serial/SerialErrorReporter.h"
#include "serial/SerialLink.h"

#include <functional>
#include <memory>
#include <string>

namespace orvanta::host {

// A device that another machine reads, watched through what that machine publishes: its
// blocks reach the owner as a port's do, the frames that machine sent and its notes reach
// the listener as a replay's do, and its going away and coming back reach the owner as a
// serial device's loss and return. It sends nothing (TalksToDevice is false). Threads: as
// SerialLink's.
class RemoteSource : public serial::SerialLink {
public:
    // Why the last OpenLink failed, in the language the source was made for.
    virtual std::string OpenError() const = 0;
};

// Makes the host's remote source; the listener and the reporter outlive it.
using RemoteSourceFactory = std::function<std::unique_ptr<RemoteSource>(
    recording::ReplayListener& listener, serial::SerialErrorReporter& reporter)>;

} // namespace orvanta::host
