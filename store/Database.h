#pragma once

// Internal to store/: the libmdb handle shared by a Connection and the record sets opened on it,
// and the guard that keeps libmdb's own messages off the player's terminal.

#include <cstdio>
#include <glib.h>
#include <mdbtools.h>
#include <string>

namespace store::detail {

// libmdb reports problems with fprintf(stderr, ...) and then returns NULL or 0, and on some
// damaged files dumps page bytes to stdout. While one of these guards lives, the C library's
// stdout and stderr streams point at a memory buffer instead, which is dropped unread: a failure
// reaches the player as the StoreError that follows it, in words a player can act on.
// The game is single-threaded around the store, as libmdb requires anyway.
class QuietLibrary
{
  public:
    QuietLibrary();
    ~QuietLibrary();
    QuietLibrary(const QuietLibrary&) = delete;
    QuietLibrary& operator=(const QuietLibrary&) = delete;

  private:
    FILE* m_savedOut = nullptr;
    FILE* m_savedErr = nullptr;
    FILE* m_sink = nullptr;
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
};

// One opened database file. Shared between the Connection and its record sets so that a record
// set outliving Connection::Close() never touches a freed handle: the handle is closed when the
// last holder lets go, and `open` tells the record sets that the connection is gone.
struct Database
{
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    MdbHandle* mdb = nullptr;
    std::string path;
    bool open = false;
    bool jet3 = false;
    unsigned pageSize = 0;
    unsigned long pageCount = 0;
};

// The sentence for a damaged file, used by everything that finds the damage.
std::string damaged(const std::string& path, const std::string& what);

// Checks a table definition just read by mdb_read_table before libmdb goes further with it:
// libmdb walks the table's pages through its usage map without checking that the map was found or
// is long enough for its own header; it reads the fields' definitions from an offset computed
// from the index count (an int that overflows) and cracks rows into a 256-entry array whatever
// the field count says. False for a definition that would take libmdb out of bounds.
bool usableTable(const MdbTableDef* table);

// Fills mdb->catalog with the file's objects like mdb_read_catalog, but without their property
// lists: libmdb's parser of those loops forever on a zero-length record, and the game needs no
// properties. False when the catalog table can't be read.
bool readCatalog(MdbHandle* mdb);

} // namespace store::detail

#include "Connection.h"

#include <memory>

namespace store {

struct Connection::Impl
{
    std::shared_ptr<detail::Database> db;
    std::string dataSource;
};

} // namespace store
