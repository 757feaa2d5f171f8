#include "Connection.h"

#include "Catalog.h"
#include "ConnectionImpl.h"
#include "ConnectionString.h"
#include "LayoutCheck.h"
#include "QuietLibrary.h"
#include "StoreError.h"

#include <unistd.h>

namespace store {

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() = default;

void Connection::Open(const std::string& connectionString)
{
    if (State() == 1)
        throw StoreError("The database connection is already open.");
    const std::string path = detail::dataSourceOf(connectionString);
    d->dataSource = path;
    if (path.empty())
        throw StoreError("The database connection names no database file (no Data Source).");

    auto db = std::make_shared<detail::Database>();
    db->path = path;
    detail::checkLayout(*db);

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

} // namespace store
