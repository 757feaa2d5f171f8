#include "Recordset.h"

#include "Connection.h"
#include "ConnectionImpl.h"
#include "FieldImpl.h"
#include "Query.h"
#include "RecordsetImpl.h"
#include "StoreError.h"

#include <algorithm>
#include <optional>

namespace store {

Recordset::Recordset() : d(std::make_shared<Impl>()) {}

Recordset::~Recordset() = default;

void Recordset::setCursorLocation(int) {}

void Recordset::Open(const std::string& query, Connection& connection, int, int)
{
    // 1. A query of the language understood, run by a closed record set on an open connection.
    if (d->open)
        throw StoreError("The record set is already open.");
    const detail::Query q = detail::parseQuery(query);
    if (connection.State() != 1)
        throw StoreError("The database connection is not open.");

    // 2. The table's definition, checked before libmdb goes further with it. The new state
    // replaces this record set's only when all went well, so a failed Open leaves it closed.
    auto fresh = std::make_shared<Impl>();
    fresh->table = std::make_unique<detail::TableScan>(connection.d->db, q.table);

    // 3. The where and order by fields, which must hold numbers.
    const std::optional<std::size_t> whereIndex = fresh->numericColumn(q.whereColumn, query);
    const std::optional<std::size_t> orderIndex = fresh->numericColumn(q.orderColumn, query);

    // 4. Every row, checked and decoded; those the where clause wants are kept.
    fresh->table->forEachRow([&](detail::Row&& row) {
        if (!whereIndex || detail::matchesWhere(row.cells[*whereIndex].value, q.whereValue))
            fresh->rows.push_back(std::move(row));
    });

    // 5. In order by's order; rows of equal keys keep the file's order.
    if (orderIndex) {
        const std::size_t k = *orderIndex;
        std::stable_sort(fresh->rows.begin(), fresh->rows.end(),
                         [k](const detail::Row& a, const detail::Row& b) {
                             return detail::orderedBefore(a.cells[k].value, b.cells[k].value);
                         });
    }

    // 6. Open on the first row.
    fresh->current = 0;
    fresh->open = true;
    d = std::move(fresh);
}

int Recordset::State() const
{
    return d->open ? 1 : 0;
}

void Recordset::Close()
{
    d->requireOpen();
    d->release();
}

void Recordset::MoveFirst()
{
    d->requireOpen();
    if (d->rows.empty())
        throw StoreError("There is no first row: the record set is empty.");
    d->current = 0;
    d->moved();
}

void Recordset::MoveNext()
{
    d->requireRow();
    ++d->current;
    d->moved();
}

bool Recordset::Eof() const
{
    return !d->open || d->current >= d->rows.size();
}

Field Recordset::Fields(const std::string& name)
{
    d->requireOpen();
    const std::size_t index = d->columnIndex(name);
    const std::vector<detail::Column>& columns = d->table->columns();
    if (d->fields.size() != columns.size())
        d->fields.assign(columns.size(), nullptr);
    auto& impl = d->fields[index];
    if (!impl) {
        impl = std::make_shared<Field::Impl>();
        impl->rs = d;
        impl->generation = d->generation;
        impl->column = index;
        impl->name = columns[index].name;
    }
    Field field;
    field.d = impl;
    return field;
}

std::vector<std::string> Recordset::fieldNames() const
{
    d->requireOpen();
    std::vector<std::string> names;
    for (const detail::Column& c : d->table->columns())
        names.push_back(c.name);
    return names;
}

} // namespace store
