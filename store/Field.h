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
    const std::string& name() const;

    // Null, or the number as stored. Throws StoreError for a binary column or an invalid handle.
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
    std::vector<unsigned char> GetChunk(long n);

  private:
    friend class Recordset;
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace store
