#include "TableScan.h"

#include "Catalog.h"
#include "QuietLibrary.h"

#include <cstring>
#include <sys/types.h>

namespace store::detail {

namespace {

// Jet compares names without regard to the case of ASCII letters.
bool equalNames(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// Found in the catalog read at connection time; mdb_read_table_by_name would re-read the catalog
// and free entries that other open tables still point to.
MdbCatalogEntry* findTable(const Database& db, const std::string& name)
{
    MdbHandle* mdb = db.mdb;
    for (unsigned i = 0; mdb->catalog && i < mdb->catalog->len; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && equalNames(name, e->object_name))
            return e;
    }
    throw StoreError("The database file " + db.path + " has no table named " + name + ".");
}

} // namespace

void TableScan::FreeDefinition::operator()(MdbTableDef* definition) const
{
    QuietLibrary quiet;
    mdb_free_tabledef(definition);
}

TableScan::TableScan(std::shared_ptr<Database> db, const std::string& tableName)
    : m_db(std::move(db))
{
    MdbCatalogEntry* entry = findTable(*m_db, tableName);
    m_name = entry->object_name;
    MdbHandle* mdb = m_db->mdb;
    QuietLibrary quiet;
    // The definition must be a table definition page inside the file before libmdb parses it.
    if (entry->table_pg == 0 || entry->table_pg >= m_db->pageCount ||
        mdb_read_pg(mdb, entry->table_pg) != static_cast<ssize_t>(m_db->pageSize) ||
        mdb->pg_buf[0] != MDB_PAGE_TABLE)
        throw damaged("the definition of table " + m_name + " is missing");
    m_definition.reset(mdb_read_table(entry));
    MdbTableDef* table = m_definition.get();
    if (!table)
        throw damaged("the definition of table " + m_name + " can't be read");
    if (!usableTable(table))
        throw damaged("the definition of table " + m_name + " is malformed");
    if (!mdb_read_columns(table) || table->columns->len != table->num_cols)
        throw damaged("the fields of table " + m_name + " can't be read");
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        m_columns.push_back(Column{col->name, col->col_type, col});
    }
}

std::optional<std::size_t> TableScan::columnIndex(const std::string& name) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (equalNames(name, m_columns[i].name.c_str()))
            return i;
    return std::nullopt;
}

StoreError TableScan::damaged(const std::string& what) const
{
    return StoreError(detail::damaged(m_db->path, what));
}

void TableScan::forEachRow(const std::function<void(Row&&)>& take)
{
    MdbHandle* mdb = m_db->mdb;
    MdbTableDef* table = m_definition.get();
    QuietLibrary quiet;
    std::array<MdbField, MDB_MAX_COLS> cracked{};
    const unsigned long maxRows = m_db->pageCount * 256UL; // a page can't hold more rows
    unsigned long seen = 0;
    std::uint32_t checkedPage = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        if (++seen > maxRows)
            throw damaged("the rows of table " + m_name + " run in a loop");
        Row row;
        row.page = table->cur_phys_pg;
        row.index = static_cast<int>(table->cur_row) - 1;
        // libmdb's fallback scan (taken when a page map can't be read) leaves cur_phys_pg one past
        // the page it read; GetChunk would then crack a row of the wrong page. Each data page's
        // number is checked once against its content.
        if (row.page != checkedPage) {
            if (mdb_read_alt_pg(mdb, row.page) != static_cast<ssize_t>(m_db->pageSize) ||
                std::memcmp(mdb->alt_pg_buf, mdb->pg_buf, m_db->pageSize) != 0)
                throw damaged("the page map of table " + m_name + " is damaged");
            checkedPage = row.page;
        }
        int start = 0;
        size_t length = 0;
        if (row.index < 0 || mdb_find_row(mdb, row.index, &start, &length) != 0 || length == 0)
            throw damaged("a row of table " + m_name + " can't be found again");
        if (mdb_crack_row(table, start & kRowOffsetMask, length, cracked.data()) < 0)
            throw damaged("a row of table " + m_name + " is malformed");
        row.cells.resize(m_columns.size());
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const MdbField& f = cracked[i];
            if (f.colnum < 0 || static_cast<unsigned>(f.colnum) >= m_columns.size())
                throw damaged("a row of table " + m_name + " is malformed");
            decodeCell(m_columns[f.colnum], f, row.cells[f.colnum]);
        }
        take(std::move(row));
    }
}

void TableScan::decodeCell(const Column& column, const MdbField& f, Cell& cell) const
{
    if (column.type == MDB_BOOL) {
        // A yes/no value lives in the null mask: a set bit ("not null") means yes, -1.
        cell.null = false;
        cell.value = FieldValue(std::int64_t(f.is_null ? 0 : -1));
        cell.size = 1;
        return;
    }
    if (f.is_null || f.siz <= 0)
        return;
    if (f.start < 0 || f.start + f.siz > static_cast<int>(m_db->pageSize))
        throw damaged("a value in table " + m_name + " lies outside its page");
    const unsigned char* bytes = m_db->mdb->pg_buf + f.start;
    cell.null = false;
    cell.size = f.siz;
    if (isNumeric(column.type)) {
        // libmdb 1.0 swaps the two bytes of a column definition: its col_scale holds the
        // precision (byte 11) and its col_prec the scale (byte 12).
        if (!decodeNumber(column.type, bytes, f.siz, column.mdb->col_prec, cell.value))
            throw damaged("the field " + column.name + " of table " + m_name +
                          " holds a malformed number");
    } else if (column.type == MDB_OLE) {
        if (f.siz < kLongValueHeader)
            throw damaged("the picture in field " + column.name + " has a malformed header");
        std::memcpy(cell.longValueHeader.data(), bytes, kLongValueHeader);
        const std::optional<LongValueHeader> header = decodeLongValueHeader(bytes);
        if (!header)
            throw damaged("the picture in field " + column.name + " has a malformed header");
        cell.size = header->length;
        if (header->inRow && cell.size != f.siz - kLongValueHeader)
            throw damaged("the picture in field " + column.name + " has a wrong length");
    }
}

} // namespace store::detail
