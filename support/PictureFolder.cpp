#include "PictureFolder.h"

#include <QByteArray>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace support {
namespace {

bool writable(const QByteArray& folder)
{
    return !folder.isEmpty() && ::access(folder.constData(), W_OK | X_OK) == 0;
}

// A folder only this player can reach: a real folder (not a link), owned by them, closed to group
// and others. Created so when missing; its parent is created with the usual mode if need be.
bool privateFolder(const QByteArray& folder, bool createParent)
{
    if (createParent) {
        const QByteArray parent = folder.left(folder.lastIndexOf('/'));
        if (::mkdir(parent.constData(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info
    {
    };
    if (::lstat(folder.constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QByteArray environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? QByteArray(value) : QByteArray();
}

} // namespace

QString PictureFolder(const QString& programFolder) noexcept
{
    try {
        if (writable(programFolder.toLocal8Bit()))
            return programFolder;
        const QByteArray runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.startsWith('/') && privateFolder(runtime + "/tavrello", false))
            return QString::fromLocal8Bit(runtime + "/tavrello");
        const QByteArray home = environment("HOME");
        if (home.startsWith('/') && privateFolder(home + "/.cache/tavrello", true))
            return QString::fromLocal8Bit(home + "/.cache/tavrello");
    } catch (...) {
    }
    return programFolder;
}

} // namespace support
