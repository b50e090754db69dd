#pragma once

#include "serial/SerialError.h"

#include <string>
#include <string_view>

// The texts the serial port shows the user, in Linux terms: the port's path, the step that
// failed in plain words, the system's error text and the errno name. Pure functions; any
// thread.
namespace orvanta::serial {

// The numbers are the host's LanguageFlag values.
enum class Language { Chinese = 0, English = 1 };

struct SerialMessage {
    std::string caption;
    std::string text;
};

// "EIO", "ENXIO"...; "errno N" for a value the C library does not name.
std::string ErrnoName(int errnoValue);

// The box of a step that the device refused (AccessDenied).
SerialMessage AccessDeniedMessage(PortStep step, std::string_view devicePath,
                                  const SerialError& error, Language language);
// The box of any other failure of a step.
SerialMessage FailureMessage(PortStep step, std::string_view devicePath, const SerialError& error,
                             Language language);
// "Device lost: PATH. Waiting for it to come back."
SerialMessage DeviceLostMessage(std::string_view devicePath, Language language);

} // namespace orvanta::serial
