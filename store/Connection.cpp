#include "Connection.h"

#include "Database.h"
#include "StoreError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace store {

namespace detail {

QuietLibrary::QuietLibrary()
{
    m_sink = open_memstream(&m_buffer, &m_size);
    if (m_sink) {
        std::fflush(stdout);
        m_savedOut = stdout;
        m_savedErr = stderr;
        stdout = m_sink;
        stderr = m_sink;
    }
}

QuietLibrary::~QuietLibrary()
{
    if (m_sink) {
        stdout = m_savedOut;
        stderr = m_savedErr;
        std::fclose(m_sink);
    }
    std::free(m_buffer);
}

std::string QuietLibrary::text()
{
    if (!m_sink)
        return {};
    std::fflush(m_sink);
    return std::string(m_buffer ? m_buffer : "", m_size);
}

Database::~Database()
{
    if (mdb) {
        QuietLibrary quiet;
        mdb_close(mdb);
    }
}

std::string damaged(const std::string& path, const std::string& what)
{
    return "The database file " + path + " is damaged (" + what + ").";
}

bool usableTable(const MdbTableDef* table)
{
    // Access itself allows 255 fields and 32 indexes per table.
    return table && table->num_cols >= 1 && table->num_cols <= MDB_MAX_COLS &&
           table->num_real_idxs <= 256 && table->num_idxs <= 256 && table->usage_map &&
           table->map_sz >= 1 &&
           table->usage_map[0] <=
               1 // of another map type libmdb scans every page and loses the row's page
           && !(table->usage_map[0] == 0 && table->map_sz < 5);
}

bool readCatalog(MdbHandle* mdb)
{
    if (mdb->catalog)
        mdb_free_catalog(mdb);
    mdb->catalog = g_ptr_array_new();
    mdb->num_catalog = 0;

    // The catalog is itself a table, MSysObjects, whose definition is always on page 2.
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    g_strlcpy(objects.object_name, "MSysObjects", sizeof objects.object_name);
    MdbTableDef* table = mdb_read_table(&objects);
    if (!table)
        return false;
    if (!usableTable(table) || !mdb_read_columns(table)) {
        mdb_free_tabledef(table);
        return false;
    }
    const std::size_t size = std::max<std::size_t>(mdb->bind_size, MDB_BIND_SIZE) + 1;
    std::vector<char> id(size), name(size), type(size), flags(size);
    char idName[] = "Id", nameName[] = "Name", typeName[] = "Type", flagsName[] = "Flags";
    if (mdb_bind_column_by_name(table, idName, id.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table, nameName, name.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table, typeName, type.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table, flagsName, flags.data(), nullptr) == -1) {
        mdb_free_tabledef(table);
        return false;
    }
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
        entry->mdb = mdb;
        // Bounded: a damaged name longer than the entry's field must not run past it.
        g_strlcpy(entry->object_name, name.data(), sizeof entry->object_name);
        entry->object_type = static_cast<int>(std::strtol(type.data(), nullptr, 10) & 0x7f);
        entry->table_pg =
            static_cast<unsigned long>(std::strtol(id.data(), nullptr, 10) & 0x00ffffff);
        entry->flags = static_cast<int>(std::strtol(flags.data(), nullptr, 10));
        g_ptr_array_add(mdb->catalog, entry);
        mdb->num_catalog++;
    }
    mdb_free_tabledef(table);
    return true;
}

} // namespace detail

namespace {

constexpr char kProviderKey[] = "data source=";

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The value of "Data Source=" in an OLE DB connection string: up to the next ';' or the end.
std::string dataSourceOf(const std::string& connectionString)
{
    const std::string low = lower(connectionString);
    std::size_t at = 0;
    while ((at = low.find(kProviderKey, at)) != std::string::npos) {
        // Only a key at the start or after a ';' counts, so "xdata source=" is not taken.
        std::size_t before = at;
        while (before > 0 && low[before - 1] == ' ')
            --before;
        if (before == 0 || low[before - 1] == ';')
            break;
        at += 1;
    }
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + sizeof(kProviderKey) - 1;
    const std::size_t end = connectionString.find(';', begin);
    return connectionString.substr(begin,
                                   end == std::string::npos ? std::string::npos : end - begin);
}

// libmdb trusts the file it is given; these checks refuse files whose basic layout is wrong before
// libmdb parses them, and give the player a sentence that says which kind of wrong it is.
void checkLayout(detail::Database& db)
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
    unsigned char catalog[8]{};
    ssize_t gotCatalog = 0;

    static constexpr unsigned char jetMagic[] = "\x00\x01\x00\x00Standard Jet DB";
    static constexpr unsigned char aceMagic[] = "\x00\x01\x00\x00Standard ACE DB";
    if (got < 0x20) {
        ::close(fd);
        throw StoreError(path + " is not a Jet (Access) database file.");
    }
    if (std::memcmp(head, aceMagic, sizeof aceMagic - 1) == 0) {
        ::close(fd);
        throw StoreError(
            path +
            " is an Access 2007 or newer database, not a Jet (Access 97/2000) database file.");
    }
    if (std::memcmp(head, jetMagic, sizeof jetMagic - 1) != 0) {
        ::close(fd);
        throw StoreError(path + " is not a Jet (Access) database file.");
    }
    const unsigned version = head[0x14];
    if (version == 0) {
        db.jet3 = true;
        db.pageSize = 2048;
    } else if (version == 1) {
        db.pageSize = 4096;
    } else {
        ::close(fd);
        throw StoreError(path + " is a newer Access database than Jet 4, which is not supported.");
    }
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size % db.pageSize != 0) {
        ::close(fd);
        throw StoreError(detail::damaged(
            path, "its length is not a whole number of pages; it may be truncated"));
    }
    db.pageCount = static_cast<unsigned long>(size / db.pageSize);
    // Page 2 holds the definition of the catalog table; a file without it has no tables at all.
    if (db.pageCount <= 2) {
        ::close(fd);
        throw StoreError(detail::damaged(path, "it is too short to hold any table"));
    }
    gotCatalog = ::pread(fd, catalog, sizeof catalog, off_t(2) * db.pageSize);
    ::close(fd);
    if (gotCatalog != static_cast<ssize_t>(sizeof catalog) || catalog[0] != MDB_PAGE_TABLE)
        throw StoreError(detail::damaged(path, "the table of contents is missing"));
}

} // namespace

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() = default;

void Connection::Open(const std::string& connectionString)
{
    if (State() == 1)
        throw StoreError("The database connection is already open.");
    const std::string path = dataSourceOf(connectionString);
    d->dataSource = path;
    if (path.empty())
        throw StoreError("The database connection names no database file (no Data Source).");

    auto db = std::make_shared<detail::Database>();
    db->path = path;
    checkLayout(*db);

    // mdb_open looks a relative name up along $MDBPATH too; the file checked above is the one
    // meant.
    std::string absolute = path;
    if (absolute.front() != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd))
            absolute = std::string(cwd) + "/" + absolute;
    }
    detail::QuietLibrary quiet;
    db->mdb = mdb_open(absolute.c_str(), MDB_NOFLAGS);
    if (!db->mdb) {
        db->lastLibraryMessage = quiet.text();
        throw StoreError(detail::damaged(path, "it can't be opened as a Jet database"));
    }
    // The catalog is read once; reading it again would free the entries that open tables point to.
    if (!detail::readCatalog(db->mdb)) {
        db->lastLibraryMessage = quiet.text();
        throw StoreError(detail::damaged(path, "its table of contents can't be read"));
    }
    db->open = true;
    d->db = std::move(db);
}

int Connection::State() const
{
    return d->db && d->db->open ? 1 : 0;
}

void Connection::Close()
{
    if (State() == 0)
        throw StoreError("The database connection is already closed.");
    // Record sets still holding the database see `open` drop and refuse further reads; the
    // libmdb handle itself goes when the last of them lets go.
    d->db->open = false;
    d->db.reset();
}

std::vector<std::string> Connection::tableNames() const
{
    std::vector<std::string> names;
    if (State() == 0 || !d->db->mdb->catalog)
        return names;
    GPtrArray* catalog = d->db->mdb->catalog;
    for (unsigned i = 0; i < catalog->len; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        // System tables (MSys...) are flagged in the catalog; the game never reads them.
        if (e->object_type == MDB_TABLE && !mdb_is_system_table(e))
            names.emplace_back(e->object_name);
    }
    return names;
}

const std::string& Connection::dataSource() const
{
    return d->dataSource;
}

std::string connectionStringFor(const std::string& databasePath)
{
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + databasePath +
           ";JET OLEDB:Database Password=";
}

} // namespace store
