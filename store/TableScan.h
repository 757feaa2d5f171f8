#pragma once

// Internal to store/: one table of an open database read through libmdb, with every check that
// keeps libmdb inside the file and inside its buffers on a damaged one.

#include "Database.h"
#include "FieldValue.h"
#include "StoreError.h"
#include "StoredValue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace store::detail {

// The low bits of a row's offset in its page; the high ones are libmdb's flags.
inline constexpr int kRowOffsetMask = 0x1fff;

struct Column
{
    std::string name;
    int type = 0;
    MdbColumn* mdb = nullptr;
};

// One field of a row as the scan read it.
struct Cell
{
    FieldValue value; // numeric columns
    long size = 0;    // stored length; for a long binary value the length of the value
    // Long binary columns: the header in the row, to find the value again and know it unchanged.
    std::array<unsigned char, kLongValueHeader> longValueHeader{};
    bool null = true;
};

struct Row
{
    std::uint32_t page = 0;
    int index = 0; // row number within the page
    std::vector<Cell> cells;
};

class TableScan
{
  public:
    // Finds the table in the catalog read at connection time and reads its definition and
    // fields. Throws StoreError when the file has no such table or its definition is damaged.
    TableScan(std::shared_ptr<Database> db, const std::string& tableName);

    // The table's name as the file spells it.
    const std::string& name() const { return m_name; }
    const std::vector<Column>& columns() const { return m_columns; }
    // The column of this name in any case; throws nothing.
    std::optional<std::size_t> columnIndex(const std::string& name) const;
    Database& database() const { return *m_db; }
    MdbTableDef* definition() const { return m_definition.get(); }

    // Reads every row in the file's order and hands each to `take` with its numbers decoded and
    // its long binary headers checked. Throws StoreError for a damaged row or page map.
    void forEachRow(const std::function<void(Row&&)>& take);

  private:
    // The definition is freed (quietly) before the database it came from can close.
    struct FreeDefinition
    {
        void operator()(MdbTableDef* definition) const;
    };

    // Fills the cell of a row from what mdb_crack_row found for its column.
    void decodeCell(const Column& column, const MdbField& field, Cell& cell) const;
    StoreError damaged(const std::string& what) const;

    std::shared_ptr<Database> m_db;
    std::unique_ptr<MdbTableDef, FreeDefinition> m_definition;
    std::string m_name;
    std::vector<Column> m_columns;
};

} // namespace store::detail
