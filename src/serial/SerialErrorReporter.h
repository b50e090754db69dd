#pragma once

#include <string_view>

namespace orvanta::serial {

// Shows the port's failure messages (its error boxes). Called on the monitor
// thread or on the thread that calls OpenLink; an implementation may block until the user
// has seen the message, as long as the owner's thread keeps dispatching.
class SerialErrorReporter {
public:
    // The caption of a message that uses the application's own standard box.
    static constexpr std::string_view kApplicationCaption{};

    virtual ~SerialErrorReporter() = default;
    virtual void Report(std::string_view caption, std::string_view text) = 0;
};

} // namespace orvanta::serial
