#pragma once

// Internal to store/: reading the database path back out of a connection string. Making one is
// connectionStringFor, in Connection.h, which the game uses.

#include <string>

namespace store::detail {

// The value of "Data Source" in an OLE DB connection string of "key=value" pairs separated by
// ';', or empty when there is none. A value in double quotes runs to the closing quote (a
// doubled quote inside stands for one) and may hold ';'; any other value runs to the next ';' or
// the end, as it stands. Keys are matched without regard to case.
std::string dataSourceOf(const std::string& connectionString);

} // namespace store::detail
