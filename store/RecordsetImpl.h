#pragma once

// Internal to store/: the state of an open record set, shared with the Field handles taken from
// it (which hold it weakly and check its generation before every read).

#include "Recordset.h"
#include "StoreError.h"
#include "StoredValue.h"
#include "TableScan.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace store {

struct Recordset::Impl
{
    // Frees the table and forgets the rows; every Field taken so far becomes invalid.
    void release()
    {
        table.reset();
        rows.clear();
        fields.clear();
        open = false;
        ++generation;
    }

    void requireOpen() const
    {
        if (!open)
            throw StoreError("The record set is closed.");
    }

    void requireRow() const
    {
        requireOpen();
        if (current >= rows.size())
            throw StoreError(rows.empty()
                                 ? "There is no current row: the record set is empty."
                                 : "There is no current row: the record set is past its last row.");
    }

    std::size_t columnIndex(const std::string& name) const
    {
        if (const std::optional<std::size_t> index = table->columnIndex(name))
            return *index;
        throw StoreError("The table " + table->name() + " has no field named " + name + ".");
    }

    // The column a where or order by clause of `query` names, which must hold numbers. Throws
    // StoreError for an unknown field and one of another type.
    std::optional<std::size_t> numericColumn(const std::optional<std::string>& name,
                                             const std::string& query) const
    {
        if (!name)
            return std::nullopt;
        const std::size_t index = columnIndex(*name);
        const int type = table->columns()[index].type;
        if (!detail::isNumeric(type))
            throw StoreError("The database query \"" + query + "\" can't be run: the field " +
                             *name + " holds " + detail::typeWord(type) + ", not a number.");
        return index;
    }

    // Another row became current: the fields taken for the last one are no longer valid.
    void moved()
    {
        ++generation;
        fields.clear();
    }

    std::unique_ptr<detail::TableScan> table;
    std::vector<detail::Row> rows; // the result, in its order
    std::size_t current = 0;
    std::uint64_t generation = 0;
    bool open = false;
    std::vector<std::shared_ptr<Field::Impl>> fields; // per column, for the current row
};

} // namespace store
