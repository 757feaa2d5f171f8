#pragma once

#include "FieldValue.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace store {

// One column of a record set's current row. A cheap handle: copies refer to the same column and
// share its read position for GetChunk. It becomes invalid (throws StoreError) once the record set
// moves, closes or goes away.
class Field
{
  public:
    // The column's name; empty for a handle of no record set. Throws nothing.
    const std::string& name() const;

    // Each of these throws StoreError for an invalid handle (see above), one of no record set,
    // and one taken where there is no current row.

    // Null, or the number as stored. Also throws StoreError for a column that holds no number.
    FieldValue Value() const;
    // True when the current row holds no value in this field (numbers and pictures alike).
    bool IsNull() const;
    // The column's type as its Jet name: "byte", "integer", "long", "currency", "single",
    // "double", "decimal", "boolean", "date", "text", "memo", "long binary", "binary", "other".
    std::string TypeName() const;
    // Length of a binary value in bytes (0 for Null).
    long ActualSize() const;
    // The next up to n bytes of a binary value, continuing where the previous call stopped;
    // fewer at the end, none past it. Never holds more than about one chunk of the value.
    // Also throws StoreError for a column that holds no picture, a closed connection and a
    // damaged value.
    std::vector<unsigned char> GetChunk(long n);

  private:
    friend class Recordset;
    struct Impl;
    // The shared state; throws StoreError for a handle that never belonged to a record set.
    Impl& impl() const;
    std::shared_ptr<Impl> d;
};

} // namespace store
