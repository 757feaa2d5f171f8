#pragma once

#include <QString>

namespace support {

// True for every path the file system reports a modification time for (a file, a folder, a
// device), false for a missing, empty or unreachable path. Never throws, never reports.
bool FileExists(const QString& path) noexcept;

} // namespace support
