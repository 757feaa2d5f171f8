#pragma once
// A file that appears under its name complete or not at all: written under a temporary name in
// the same folder, renamed into place by commit(). Dropped unfinished, it leaves nothing behind.
// Every file tavrello-pack and the generator write goes through it: the database, pictures,
// manifests.

#include <QByteArray>
#include <QString>

namespace pack {

class AtomicFile
{
  public:
    // Throws InputError when the folder is missing or `path` exists and `replace` is false.
    AtomicFile(const QString& path, bool replace);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const { return m_fd; }
    // Appends all of bytes. Throws std::runtime_error when the disk fails us.
    void write(const QByteArray& bytes);
    // Flushes to disk and moves the file into place. Throws std::runtime_error when the disk
    // fails us, InputError when someone else created the file meanwhile.
    void commit();

  private:
    void discard();

    QString m_path;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_replace;
};

// Writes a whole file through an AtomicFile: path then holds all of bytes, or is as it was.
// Throws as AtomicFile does.
void writeWholeFile(const QString& path, const QByteArray& bytes, bool replace);

} // namespace pack
