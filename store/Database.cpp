#include "Database.h"

#include "QuietLibrary.h"

namespace store::detail {

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

} // namespace store::detail
