#include "recording/WriteWhole.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace orvanta::recording {

int WriteWhole(const std::filesystem::path& path, std::string_view data, FileStart start) {
    std::error_code ec;
    const auto parent = path.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
        std::filesystem::create_directories(parent, ec);
        if (ec) {
            return ec.value() != 0 ? ec.value() : EIO;
        }
    }
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | (start == FileStart::Replace ? O_TRUNC : O_APPEND);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        return errno;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    std::size_t done = 0;
    int error = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            break;
        }
        if (n == 0) {
            error = EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error != 0 && done > 0 && sized) {
        if (::ftruncate(fd, before.st_size) != 0) {
            // The partial block stays; the retry appends it again after it.
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

} // namespace orvanta::recording
