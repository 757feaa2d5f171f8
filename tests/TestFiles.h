#pragma once
// Files written and read whole, for the tests' setups and their checks.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testfiles {

// Writes `bytes` at `path`, over whatever was there; false when that fails.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The whole of a file, or "(unreadable)".
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace testfiles
