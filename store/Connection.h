#pragma once

#include <memory>
#include <string>
#include <vector>

namespace store {

class Recordset;

// The connection string that opens the database file at databasePath, with the empty password:
// "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;JET OLEDB:Database Password=". A path
// holding ';' or '"' goes in double quotes, a quote inside doubled; any other as it stands.
// Throws nothing but std::bad_alloc.
std::string connectionStringFor(const std::string& databasePath);

// A read-only connection to one database file of Jet 3, Jet 4 or Access 2007 to 2019 (ACE),
// opened from a connection string of the form
// "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;JET OLEDB:Database Password=",
// where the path may stand in double quotes as connectionStringFor puts it.
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
    // damaged, encrypted or protected by a password, no Data Source in the string).
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
