#include "Connection.h"

#include "Database.h"
#include "StoreError.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
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

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The value of "Data Source" in an OLE DB connection string of "key=value" pairs separated by
// ';'. A value in double quotes runs to the closing quote (a doubled quote inside stands for
// one) and may hold ';'; any other value runs to the next ';' or the end, as it stands.
std::string dataSourceOf(const std::string& connectionString)
{
    const std::string& s = connectionString;
    std::size_t at = 0;
    while (at < s.size()) {
        while (at < s.size() && s[at] == ' ')
            ++at;
        const std::size_t equals = s.find('=', at);
        const std::size_t semicolon = s.find(';', at);
        if (equals == std::string::npos)
            return {};
        if (semicolon < equals) { // a piece without '=' says nothing
            at = semicolon + 1;
            continue;
        }
        const bool wanted = lower(s.substr(at, equals - at)) == "data source";
        std::string value;
        std::size_t next = equals + 1;
        if (next < s.size() && s[next] == '"') {
            ++next;
            while (next < s.size()) {
                if (s[next] == '"') {
                    if (next + 1 < s.size() && s[next + 1] == '"') {
                        value += '"';
                        next += 2;
                        continue;
                    }
                    ++next;
                    break;
                }
                value += s[next++];
            }
            next = s.find(';', next);
        } else {
            const std::size_t end = s.find(';', next);
            value = s.substr(next, end == std::string::npos ? std::string::npos : end - next);
            next = end;
        }
        if (wanted)
            return value;
        if (next == std::string::npos)
            break;
        at = next + 1;
    }
    return {};
}

// RC4 as Jet uses it to hide part of its first page.
void rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t length)
{
    unsigned char state[256];
    for (int i = 0; i < 256; ++i)
        state[i] = static_cast<unsigned char>(i);
    for (unsigned i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + key[i % keyLength]) & 0xff;
        std::swap(state[i], state[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < length; ++k) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        data[k] ^= state[(state[i] + state[j]) & 0xff];
    }
}

// The end of the sentence refusing a database that is encrypted or has a password, or null for
// an open one. The first page holds both facts in a stretch that Jet hides with RC4 under a fixed
// key: from 0x3e, the 4-byte key of the pages' own encryption (zero when they are plain), and from
// 0x42 the database password (20 bytes on Jet 3, 40 on Jet 4 and later, where it is also masked
// with the whole days of the creation date at 0x72). libmdb reads neither and would show
// encrypted pages as damage, or a protected file's content without its password.
const char* protection(const unsigned char* page, bool jet3, bool ace)
{
    static constexpr unsigned char key[] = {0xc7, 0xda, 0x39, 0x6b};
    unsigned char header[128];
    const std::size_t hidden = jet3 ? 126 : 128;
    std::memcpy(header, page + 0x18, hidden);
    rc4(key, sizeof key, header, hidden);
    auto h = [&header](std::size_t offset) { return header[offset - 0x18]; }; // page offsets

    if (h(0x3e) | h(0x3f) | h(0x40) | h(0x41))
        return ace ? " is protected by a password and encrypted; only a database without a "
                     "password can be read."
                   : " is encrypted; only a database that is not encrypted can be read.";
    unsigned char mask[4]{};
    if (!jet3) {
        double created = 0;
        std::memcpy(&created, header + (0x72 - 0x18), sizeof created);
        if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0) {
            const auto days =
                static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created)));
            for (int i = 0; i < 4; ++i)
                mask[i] = static_cast<unsigned char>(days >> (8 * i));
        }
    }
    const std::size_t length = jet3 ? 20 : 40;
    for (std::size_t i = 0; i < length; ++i)
        if ((h(0x42 + i) ^ mask[i % 4]) != 0)
            return " is protected by a password; only a database without a password can be "
                   "read.";
    return nullptr;
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
        throw StoreError(detail::damaged(
            path, "its length is not a whole number of pages; it may be truncated"));
    }
    db.pageCount = static_cast<unsigned long>(size / db.pageSize);
    // Page 2 holds the definition of the catalog table; a file without it has no tables at all.
    if (db.pageCount <= 2) {
        ::close(fd);
        throw StoreError(detail::damaged(path, "it is too short to hold any table"));
    }
    if (const char* why = protection(head, db.jet3, ace)) {
        ::close(fd);
        throw StoreError("The database file " + path + why);
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
        throw StoreError(detail::damaged(path, "it can't be opened as a Jet database"));
    }
    // The catalog is read once; reading it again would free the entries that open tables point to.
    if (!detail::readCatalog(db->mdb)) {
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
    // A path holding ';' or '"' is quoted, as connection strings quote values, so the parser
    // reads it back whole; any other path goes in as it stands.
    std::string source = databasePath;
    if (source.find_first_of(";\"") != std::string::npos) {
        source = "\"";
        for (char c : databasePath)
            source += c == '"' ? std::string("\"\"") : std::string(1, c);
        source += '"';
    }
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + source +
           ";JET OLEDB:Database Password=";
}

} // namespace store
