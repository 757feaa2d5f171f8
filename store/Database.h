#pragma once

// Internal to store/: the libmdb handle shared by a Connection and the record sets opened on it.

#include <glib.h>
#include <mdbtools.h>
#include <string>

namespace store::detail {

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

} // namespace store::detail
