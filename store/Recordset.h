#pragma once

#include "Field.h"

#include <memory>
#include <string>
#include <vector>

namespace store {

class Connection;

// The data-access arguments the game passes, by their meaning. Every record set here is static,
// read-only and held in memory, which is what these ask for, so they are accepted and ignored:
// any other value gives the same record set.
inline constexpr int kClientCursor = 3;   // setCursorLocation: the cursor lives with the reader
inline constexpr int kStaticCursor = 3;   // Open's cursor type: the rows don't change under it
inline constexpr int kOptimisticLock = 3; // Open's lock type: rows are locked only when written

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

    // Accepted and ignored (see kClientCursor). Throws nothing.
    void setCursorLocation(int location);

    // cursorType and lockType are accepted and ignored (see kStaticCursor, kOptimisticLock).
    // Throws StoreError for a query outside the language above, an open record set, a closed
    // connection, an unknown table or field, a where or order by field that holds no number,
    // and a damaged table.
    void Open(const std::string& query, Connection& connection, int cursorType, int lockType);
    int State() const; // 0 closed, 1 open; throws nothing
    void Close();      // throws StoreError on a closed record set

    void MoveFirst(); // throws StoreError when closed or there is no row
    void MoveNext();  // throws StoreError when closed or already past the last row
    // True once MoveNext has passed the last row (and for an empty result or a closed record
    // set). Named Eof because EOF is a macro of the C library. Throws nothing.
    bool Eof() const;

    // The named field of the current row; throws StoreError for an unknown name or a closed
    // record set. Without a current row (an empty result, past the end) the field is still
    // given, and reading its value or size throws.
    Field Fields(const std::string& name);
    // Names of all fields of the open record set's table, in table order; throws StoreError on
    // a closed record set.
    std::vector<std::string> fieldNames() const;

  private:
    friend class Field;
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace store
