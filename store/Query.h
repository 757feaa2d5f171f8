#pragma once

// Internal to store/: the query language of Recordset::Open.

#include "FieldValue.h"

#include <cstdint>
#include <optional>
#include <string>

namespace store::detail {

struct Query
{
    std::string table;
    std::optional<std::string> whereColumn;
    std::int64_t whereValue = 0;
    std::optional<std::string> orderColumn;
};

// Parses "select * from <table> [where <column> = <integer>] [order by <column>]", keywords in
// any case, names plain or in [brackets]. Throws StoreError naming the query for anything else.
Query parseQuery(const std::string& text);

// Whether a row whose where field holds `value` is in the result: the where clause compares with
// a whole number, exactly whatever the column's type. Throws nothing but std::bad_alloc.
bool matchesWhere(const FieldValue& value, std::int64_t wanted);

// The order of order by: ascending, Null before every number as in Access. Throws nothing but
// std::bad_alloc.
bool orderedBefore(const FieldValue& a, const FieldValue& b);

} // namespace store::detail
