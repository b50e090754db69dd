#include "recording/OwnFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace orvanta::recording {

namespace {

// Far more than any folder holds of one recording's names; only ends a pathological loop.
constexpr int kMaxNumber = 100000;

std::filesystem::path Numbered(const std::filesystem::path& path, int n) {
    if (n < 2) {
        return path;
    }
    std::filesystem::path numbered = path;
    numbered.replace_filename(path.stem().string() + "_" + std::to_string(n) +
                              path.extension().string());
    return numbered;
}

} // namespace

int OwnFile::Create(const std::filesystem::path& path) {
    Close();
    path_ = path;
    std::error_code ec;
    const auto parent = path.parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
        std::filesystem::create_directories(parent, ec);
        if (ec) {
            return ec.value() != 0 ? ec.value() : EIO;
        }
    }
    for (int n = 1; n <= kMaxNumber; ++n) {
        const auto candidate = Numbered(path, n);
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            const int error = errno;
            path_ = candidate;
            return error;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(candidate.c_str()); // ours, and empty
            path_ = candidate;
            return error;
        }
        fd_ = fd;
        path_ = candidate;
        device_ = st.st_dev;
        inode_ = st.st_ino;
        return 0;
    }
    return EEXIST;
}

void OwnFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool OwnFile::StillAtPath() const {
    if (fd_ < 0) {
        return false;
    }
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        // Only a name that is gone counts; a folder we may not search (EACCES) still holds
        // the file the descriptor writes to.
        return errno != ENOENT && errno != ENOTDIR;
    }
    return st.st_dev == device_ && st.st_ino == inode_;
}

std::uint64_t OwnFile::Size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

OwnFile::Appended OwnFile::Append(std::string_view data) {
    if (fd_ < 0) {
        return {EBADF, 0};
    }
    struct stat before {};
    const bool sized = ::fstat(fd_, &before) == 0;
    std::size_t done = 0;
    int error = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
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
    if (error == 0) {
        return {0, done};
    }
    if (done > 0 && (!sized || ::ftruncate(fd_, before.st_size) != 0)) {
        return {error, done}; // the part stays; the caller goes on after it
    }
    return {error, 0};
}

} // namespace orvanta::recording
