#pragma once

#include "recording/CaptureFormat.h"

#include <cstddef>
#include <cstdint>

namespace orvanta::recording {

// Sees every record a capture writer is handed, whether or not a file is open: the same
// session, sent elsewhere as it happens. Called on the thread that appends (the host's main
// thread); it must not block.
class CaptureMirror {
public:
    virtual void MirrorRecord(CaptureDirection direction, const std::uint8_t* bytes,
                              std::size_t length, std::int64_t timeNs) = 0;

protected:
    ~CaptureMirror() = default;
};

} // namespace orvanta::recording
