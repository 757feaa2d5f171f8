#include "PictureFiles.h"

#include "StoreError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

constexpr long kChunk = 100000;

std::function<void()>& eventYield()
{
    static std::function<void()> yield;
    return yield;
}

// A name counts as there when it is anything but a folder: a regular file, or a symbolic link,
// which is removed rather than followed.
bool nameTaken(const std::string& fileName)
{
    struct stat st
    {
    };
    return ::lstat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void setEventYield(std::function<void()> yield)
{
    eventYield() = std::move(yield);
}

void WriteFieldToFile(Field field, const std::string& fileName)
{
    try {
        if (nameTaken(fileName))
            RemoveFile(fileName);
    } catch (...) {
    }

    // Created fresh: O_TRUNC so no bytes of an old file survive behind the new ones should the
    // removal have failed, O_NOFOLLOW so a link planted at this name can't redirect the write.
    const int fd =
        ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return; // the picture load that follows reports the missing file

    long size = 0;
    try {
        size = field.ActualSize();
    } catch (...) {
        size = 0;
    }
    if (size < 0)
        size = 0;
    const long lead = size % kChunk;
    const long full = size / kChunk;

    // Remainder first, then whole chunks: each GetChunk continues where the last stopped.
    bool ok = true;
    auto copy = [&](long n) {
        if (!ok)
            return;
        try {
            ok = writeAll(fd, field.GetChunk(n));
        } catch (...) {
            ok = false; // the rest of a broken value is not worth reading
        }
    };
    copy(lead);
    for (long i = 0; i < full; ++i)
        copy(kChunk);
    // A picture that can't be read to its end leaves an empty file: the load that follows then
    // fails and is reported, where the part that was read would show as if it were the whole.
    if (!ok)
        while (::ftruncate(fd, 0) != 0 && errno == EINTR) {
        }
    ::close(fd);
}

void RemoveFile(const std::string& fileName)
{
    try {
        if (eventYield())
            eventYield()();
    } catch (...) {
    }
    if (::unlink(fileName.c_str()) == 0)
        return;
    try {
        ForceDeleteFile(fileName);
    } catch (...) {
    }
}

void ForceDeleteFile(const std::string& fileName)
{
    struct stat st
    {
    };
    if (::lstat(fileName.c_str(), &st) != 0)
        throw StoreError("The file " + fileName + " can't be deleted: " + std::strerror(errno) +
                         ".");
    // chmod follows links; a link's own permissions don't matter for deleting it anyway.
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
        ::chmod(fileName.c_str(), (st.st_mode & 07777) | S_IWUSR);
    if (::unlink(fileName.c_str()) != 0)
        throw StoreError("The file " + fileName + " can't be deleted: " + std::strerror(errno) +
                         ".");
}

} // namespace store
