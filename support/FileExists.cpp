#include "FileExists.h"

#include <sys/stat.h>

namespace support {

bool FileExists(const QString& path) noexcept
{
    if (path.isEmpty())
        return false;
    try {
        // Only whether stat answers matters; the modification time itself is not used.
        struct stat info
        {
        };
        return ::stat(path.toLocal8Bit().constData(), &info) == 0;
    } catch (...) {
        return false;
    }
}

} // namespace support
