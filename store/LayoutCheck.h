#pragma once

// Internal to store/: the checks a database file passes before libmdb opens it.

#include "Database.h"

namespace store::detail {

// libmdb trusts the file it is given; these checks refuse files whose basic layout is wrong
// before libmdb parses them, and give the player a sentence that says which kind of wrong it is:
// missing, not a regular file, not a Jet database, newer than this reader knows, not a whole
// number of pages, too short, encrypted or protected by a password, no catalog on page 2.
// Fills in db's jet3, pageSize and pageCount from db.path; throws StoreError.
void checkLayout(Database& db);

} // namespace store::detail
