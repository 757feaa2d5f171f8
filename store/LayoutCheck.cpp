#include "LayoutCheck.h"

#include "FileProtection.h"
#include "StoreError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store::detail {

void checkLayout(Database& db)
{
    const std::string& path = db.path;
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw StoreError("The database file " + path + " was not found.");
        throw StoreError("The database file " + path + " can't be read: " + std::strerror(errno) +
                         ".");
    }
    if (!S_ISREG(st.st_mode))
        throw StoreError(path + " is not a database file (it is not a regular file).");

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw StoreError("The database file " + path + " can't be read: " + std::strerror(errno) +
                         ".");
    unsigned char head[2048]{};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);

    static constexpr unsigned char jetMagic[] = "\x00\x01\x00\x00Standard Jet DB";
    static constexpr unsigned char aceMagic[] = "\x00\x01\x00\x00Standard ACE DB";
    if (got < 0x20) {
        ::close(fd);
        throw StoreError(path + " is not a Jet (Access) database file.");
    }
    const bool ace = std::memcmp(head, aceMagic, sizeof aceMagic - 1) == 0;
    if (!ace && std::memcmp(head, jetMagic, sizeof jetMagic - 1) != 0) {
        ::close(fd);
        throw StoreError(path + " is not a Jet (Access) database file.");
    }
    // Access 2007 to 2019 (versions 2 to 6) keep the Jet 4 layout under their own name.
    const unsigned version = head[0x14];
    if (!ace && version == 0) {
        db.jet3 = true;
        db.pageSize = 2048;
    } else if ((!ace && version == 1) || (ace && version >= 2 && version <= 6)) {
        db.pageSize = 4096;
    } else {
        ::close(fd);
        throw StoreError(ace ? path + " is a newer Access database than Access 2019, which is "
                                      "not supported."
                             : path + " is a newer Access database than Jet 4, which is not "
                                      "supported.");
    }
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size % db.pageSize != 0) {
        ::close(fd);
        throw StoreError(
            damaged(path, "its length is not a whole number of pages; it may be truncated"));
    }
    db.pageCount = static_cast<unsigned long>(size / db.pageSize);
    // Page 2 holds the definition of the catalog table; a file without it has no tables at all.
    if (db.pageCount <= 2) {
        ::close(fd);
        throw StoreError(damaged(path, "it is too short to hold any table"));
    }
    if (const char* why = protectionOf(head, db.jet3, ace)) {
        ::close(fd);
        throw StoreError("The database file " + path + why);
    }
    unsigned char catalog[8]{};
    const ssize_t gotCatalog = ::pread(fd, catalog, sizeof catalog, off_t(2) * db.pageSize);
    ::close(fd);
    if (gotCatalog != static_cast<ssize_t>(sizeof catalog) || catalog[0] != MDB_PAGE_TABLE)
        throw StoreError(damaged(path, "the table of contents is missing"));
}

} // namespace store::detail
