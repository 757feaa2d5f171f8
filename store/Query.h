#pragma once

// Internal to store/: the query language of Recordset::Open.

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

} // namespace store::detail
