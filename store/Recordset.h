#pragma once

#include "Field.h"

#include <memory>
#include <string>
#include <vector>

namespace store {

class Connection;

// A static, read-only result of one query over a Connection. The query language is
//   select * from <table> [where <column> = <integer>] [order by <column>]
// (keywords in any case); anything else throws StoreError. Opening reads only the small
// (non-binary) columns of the matching rows; long binary values are read only through
// Field::GetChunk.
class Recordset
{
  public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    int CursorLocation() const;
    void setCursorLocation(int location);

    void Open(const std::string& query, Connection& connection, int cursorType, int lockType);
    int State() const; // 0 closed, 1 open
    void Close();      // throws StoreError on a closed record set

    void MoveFirst(); // throws StoreError when there is no row
    void MoveNext();  // throws StoreError when already past the last row
    // True once MoveNext has passed the last row (and for an empty result).
    // Named Eof because EOF is a macro of the C library.
    bool Eof() const;

    // The named field of the current row; throws StoreError for an unknown name or a closed
    // record set. Without a current row (an empty result, past the end) the field is still
    // given, and reading its value or size throws.
    Field Fields(const std::string& name);
    // Names of all fields of the open record set's table, in table order.
    std::vector<std::string> fieldNames() const;

  private:
    friend class Field;
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace store
