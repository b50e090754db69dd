#include "serial/SerialError.h"

#include <cerrno>
#include <cstring>

namespace orvanta::serial {

SerialErrorKind ClassifyErrno(int errnoValue) {
    switch (errnoValue) {
    case 0:
        return SerialErrorKind::None;
    case EACCES:
    case EBUSY:
    case EPERM:
        return SerialErrorKind::AccessDenied;
    case ENXIO:
    case EIO:
    case ENODEV:
    case ENOENT:
    case ESHUTDOWN: // some USB serial drivers, once the adapter is gone
        return SerialErrorKind::DeviceGone;
    case EBADF:
        return SerialErrorKind::InvalidHandle;
    default:
        return SerialErrorKind::OsFailure;
    }
}

SerialError SerialError::FromErrno(int errnoValue) {
    SerialError error;
    error.kind = ClassifyErrno(errnoValue);
    if (error.kind == SerialErrorKind::None) {
        error.kind = SerialErrorKind::OsFailure;
    }
    error.errnoValue = errnoValue;
    char buffer[256];
    // The GNU strerror_r returns its text, which may or may not live in buffer.
    error.text = strerror_r(errnoValue, buffer, sizeof buffer);
    return error;
}

SerialError SerialError::Bad(std::string text) {
    SerialError error;
    error.kind = SerialErrorKind::BadArgument;
    error.errnoValue = EINVAL;
    error.text = std::move(text);
    return error;
}

SerialError SerialError::NotATerminal() {
    SerialError error = FromErrno(ENOTTY);
    error.kind = SerialErrorKind::NotATerminal;
    return error;
}

} // namespace orvanta::serial
