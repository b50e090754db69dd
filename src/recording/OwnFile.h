#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace orvanta::recording {

// A file this run created and appends to. It is only ever created new (O_EXCL), so two
// recorders never write one file and no run appends to a file it did not make.
// One thread at a time.
class OwnFile {
public:
    struct Appended {
        int error = 0;        // 0 or an errno value
        std::size_t kept = 0; // bytes of data now in the file: all of it, or none
    };

    OwnFile() = default;
    ~OwnFile() { Close(); }
    OwnFile(const OwnFile&) = delete;
    OwnFile& operator=(const OwnFile&) = delete;

    // Creates path, or when that name is taken the first free one with "_2", "_3" ...
    // before the extension; missing folders are made. Returns 0 or an errno value; Path()
    // is then the name used, or the one that could not be created.
    int Create(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::filesystem::path& Path() const { return path_; }

    // False once the path no longer leads to this file (removed, its folder moved or
    // replaced): whatever is written then must go to a file made afresh.
    bool StillAtPath() const;
    std::uint64_t Size() const;

    // Appends all of data or nothing: a short write (a full disk) is cut back so the file
    // ends where it did. Should the cut fail, kept tells how much stayed, so the caller
    // goes on from exactly there and nothing is written twice.
    Appended Append(std::string_view data);

private:
    int fd_ = -1;
    std::filesystem::path path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

} // namespace orvanta::recording
