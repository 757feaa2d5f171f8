#include "AtomicFile.h"

#include "InputError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace pack {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Ctrl-C in the middle of a build must not leave the temporary file behind. Only one build runs
// per process, so one slot is enough; the handler may only call async-signal-safe functions.
char g_pending[4096];
volatile std::sig_atomic_t g_havePending = 0;

extern "C" void removePendingAndDie(int sig)
{
    if (g_havePending)
        ::unlink(g_pending);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void watch(const QByteArray& temporary)
{
    if (static_cast<std::size_t>(temporary.size()) >= sizeof g_pending)
        return;
    std::memcpy(g_pending, temporary.constData(), static_cast<std::size_t>(temporary.size()) + 1);
    g_havePending = 1;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, removePendingAndDie);
    // Past a file size limit, a failed write is easier to clean up after than a dead process.
    std::signal(SIGXFSZ, SIG_IGN);
}

void unwatch()
{
    g_havePending = 0;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ})
        std::signal(sig, SIG_DFL);
}

} // namespace

AtomicFile::AtomicFile(const QString& path, bool replace) : m_path(path), m_replace(replace)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        throw InputError(path, QStringLiteral("folder %1 does not exist").arg(folder.filePath()));
    if (!folder.isDir())
        throw InputError(path, QStringLiteral("%1 is not a folder").arg(folder.filePath()));
    if (info.isDir())
        throw InputError(path, "is a folder");
    if (info.exists() || info.isSymLink()) {
        if (!replace)
            throw InputError(path, "already exists (use --force to replace it)");
    }
    m_temporary = QFile::encodeName(
        QDir(info.absolutePath()).filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    m_fd = ::mkstemp(m_temporary.data());
    if (m_fd < 0)
        throw InputError(path, "cannot create a file beside it: " + systemError());
    watch(m_temporary);
    // mkstemp makes the file private; the database should get the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_fd, 0666 & ~mask);
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_temporary.constData());
        unwatch();
    }
}

void AtomicFile::write(const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + written,
                                  static_cast<std::size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error((m_path + ": cannot write: " + systemError()).toStdString());
        written += n;
    }
}

void AtomicFile::commit()
{
    if (m_fd < 0)
        throw InputError(m_path, "nothing to commit");
    // The rename must not be able to reach the disk before the data does.
    if (::fdatasync(m_fd) != 0) {
        const QString why = systemError();
        discard();
        throw std::runtime_error((m_path + ": cannot write: " + why).toStdString());
    }
    const QByteArray target = QFile::encodeName(m_path);
    int result;
    if (m_replace) {
        result = ::rename(m_temporary.constData(), target.constData());
    } else {
        // Refuse, rather than replace, a file that appeared while we were writing.
        result = ::renameat2(AT_FDCWD, m_temporary.constData(), AT_FDCWD, target.constData(),
                             RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = ::link(m_temporary.constData(), target.constData());
            if (result == 0)
                ::unlink(m_temporary.constData());
        }
    }
    if (result != 0) {
        if (errno == EEXIST) {
            discard();
            throw InputError(m_path, "appeared while it was being written; left alone");
        }
        const QString why = systemError();
        discard();
        throw std::runtime_error((m_path + ": cannot move into place: " + why).toStdString());
    }
    ::close(m_fd);
    m_fd = -1;
    unwatch();
}

void writeWholeFile(const QString& path, const QByteArray& bytes, bool replace)
{
    AtomicFile file(path, replace);
    file.write(bytes);
    file.commit();
}

} // namespace pack
