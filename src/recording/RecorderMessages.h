#pragma once

#include <string>

namespace orvanta::recording {

// Where the recorder tells the user about file trouble. ShowMessage is called on the
// writer thread and must not wait for the main thread (queue the box there instead):
// the main thread may itself be waiting for the writer to end.
class RecorderMessages {
public:
    virtual ~RecorderMessages() = default;
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
};

} // namespace orvanta::recording
