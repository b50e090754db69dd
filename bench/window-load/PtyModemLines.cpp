// Preloaded into a serial terminal by bench/window-load.sh. A pseudo-terminal has no modem
// lines; QSerialPort asks for them right after opening a port and closes it again when the
// request fails, so a Qt terminal could not show the simulator's stream. Here the modem-line
// requests that a terminal does not know succeed, with DSR, CTS and carrier on.
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    const int result = real(fd, request, argument);
    const bool modemLines =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (result == -1 && errno == ENOTTY && modemLines) {
        if (request == TIOCMGET) {
            *static_cast<int*>(argument) = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
        }
        return 0;
    }
    return result;
}
