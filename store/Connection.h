#pragma once

#include <memory>
#include <string>
#include <vector>

namespace store {

class Recordset;

// The connection string that opens the database file at databasePath, with the empty password:
// "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;JET OLEDB:Database Password=".
std::string connectionStringFor(const std::string& databasePath);

// A read-only connection to one Jet database file, opened from a connection string of the form
// "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;JET OLEDB:Database Password=".
// The file is read through libmdb; the libmdb handle is owned here and closed by Close() or
// the destructor.
class Connection
{
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Throws StoreError naming the file and what is wrong with it (missing, not a Jet database,
    // damaged, no Data Source in the string).
    void Open(const std::string& connectionString);
    // 0 closed, 1 open.
    int State() const;
    // Closes the file; closing a closed connection throws StoreError.
    void Close();

    // The database path taken from the Data Source of the last Open (empty before).
    const std::string& dataSource() const;
    // Names of the user tables in the file, in catalog order (empty when closed). For tools and
    // tests that look at a file without knowing its tables.
    std::vector<std::string> tableNames() const;

  private:
    friend class Recordset;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace store
