#include "Recordset.h"

#include "Connection.h"
#include "Database.h"
#include "Decimal.h"
#include "Query.h"
#include "StoreError.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace store {

namespace {

constexpr int kOffsetMask = 0x1fff;
constexpr int kOleHeader = 12; // MDB_MEMO_OVERHEAD: length and flags, page/row pointer, unused
constexpr std::size_t kPieceBuffer = 8192; // one stored piece is at most a page (4096 on Jet 4)

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint64_t le64(const unsigned char* p)
{
    return std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32;
}

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

bool isNumeric(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC:
        return true;
    default:
        return false;
    }
}

std::string typeWord(int type)
{
    switch (type) {
    case MDB_OLE:
        return "a picture (long binary value)";
    case MDB_BINARY:
        return "binary data";
    case MDB_TEXT:
        return "text";
    case MDB_MEMO:
        return "long text";
    case MDB_REPID:
        return "a replication id";
    default:
        return "a value of an unsupported type";
    }
}

// The stored bytes of a numeric column as the number they hold. Returns false when the size
// does not fit the type, which only a damaged row can cause.
bool decodeNumber(int type, const unsigned char* p, int size, int scale, FieldValue& out)
{
    auto need = [&](int n) { return size == n; };
    switch (type) {
    case MDB_BYTE:
        if (!need(1))
            return false;
        out = FieldValue(std::int64_t(p[0]));
        return true;
    case MDB_INT:
        if (!need(2))
            return false;
        out = FieldValue(std::int64_t(std::int16_t(std::uint16_t(p[0] | p[1] << 8))));
        return true;
    case MDB_LONGINT:
        if (!need(4))
            return false;
        out = FieldValue(std::int64_t(std::int32_t(le32(p))));
        return true;
    case MDB_MONEY:
        if (!need(8))
            return false;
        out = FieldValue(FieldValue::Currency{std::int64_t(le64(p))});
        return true;
    case MDB_FLOAT: {
        if (!need(4))
            return false;
        const std::uint32_t bits = le32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        out = FieldValue(f);
        return true;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: { // a date is a double: days since 30 December 1899
        if (!need(8))
            return false;
        const std::uint64_t bits = le64(p);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        out = FieldValue(v);
        return true;
    }
    case MDB_NUMERIC: {
        if (!need(17))
            return false;
        const std::optional<FieldValue::Decimal> d = detail::decodeDecimal(p, scale);
        if (!d)
            return false;
        out = FieldValue(*d);
        return true;
    }
    default:
        return false;
    }
}

// Null sorts before every number, as in Access.
bool lessValue(const FieldValue& a, const FieldValue& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && !b.isNull();
    const auto* ia = std::get_if<std::int64_t>(&a.storage());
    const auto* ib = std::get_if<std::int64_t>(&b.storage());
    if (ia && ib)
        return *ia < *ib;
    const auto* ca = std::get_if<FieldValue::Currency>(&a.storage());
    const auto* cb = std::get_if<FieldValue::Currency>(&b.storage());
    if (ca && cb)
        return ca->tenThousandths < cb->tenThousandths;
    return a.compare(b) == std::partial_ordering::less;
}

// The where clause compares with a whole number, exactly whatever the column's type.
bool equalsInteger(const FieldValue& v, std::int64_t n)
{
    if (const auto* i = std::get_if<std::int64_t>(&v.storage()))
        return *i == n;
    return v.compare(FieldValue(n)) == std::partial_ordering::equivalent;
}

struct Column
{
    std::string name;
    int type = 0;
    MdbColumn* mdb = nullptr;
};

struct Cell
{
    FieldValue value; // numeric columns
    long size = 0;    // stored length; for a long binary value the length of the value
    std::array<unsigned char, kOleHeader> ole{}; // long binary columns: the header in the row
    bool null = true;
};

struct Row
{
    std::uint32_t page = 0;
    int index = 0; // row number within the page
    std::vector<Cell> cells;
};

} // namespace

struct Recordset::Impl
{
    ~Impl() { release(); }

    void release()
    {
        if (table) {
            detail::QuietLibrary quiet;
            mdb_free_tabledef(table);
            table = nullptr;
        }
        rows.clear();
        columns.clear();
        fields.clear();
        db.reset();
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
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (equalNames(name, columns[i].name.c_str()))
                return i;
        throw StoreError("The table " + tableName + " has no field named " + name + ".");
    }

    void moved()
    {
        ++generation;
        fields.clear();
    }

    std::shared_ptr<detail::Database> db;
    MdbTableDef* table = nullptr;
    std::string tableName;
    std::vector<Column> columns;
    std::vector<Row> rows;
    std::size_t current = 0;
    std::uint64_t generation = 0;
    bool open = false;
    int cursorLocation = 2; // adUseServer, the default of a new record set
    std::vector<std::shared_ptr<Field::Impl>> fields; // per column, for the current row
};

struct Field::Impl
{
    std::weak_ptr<Recordset::Impl> rs;
    std::uint64_t generation = 0;
    std::size_t column = 0;
    std::string name;

    // Reading a long binary value: the stored piece at hand and where the next one is.
    bool started = false;
    bool finished = false;
    long delivered = 0;
    std::vector<unsigned char> piece;
    std::size_t pieceLength = 0;
    std::size_t pieceOffset = 0;
    std::uint32_t nextPiece = 0; // libmdb's page/row pointer of the next piece
    unsigned piecesRead = 0;

    Recordset::Impl& recordset() const
    {
        auto r = rs.lock();
        if (!r || !r->open || r->generation != generation)
            throw StoreError(
                "The field " + name +
                " no longer belongs to a current row (the record set has moved or closed).");
        // A field taken where there is no row (an empty level, past the end) exists, but has no
        // value to give.
        r->requireRow();
        return *r;
    }

    const Cell& cell() const { return recordset().rows[recordset().current].cells[column]; }

    std::size_t readPiece(Recordset::Impl& r);
};

Recordset::Recordset() : d(std::make_shared<Impl>()) {}

Recordset::~Recordset() = default;

int Recordset::CursorLocation() const
{
    return d->cursorLocation;
}

void Recordset::setCursorLocation(int location)
{
    d->cursorLocation = location;
}

void Recordset::Open(const std::string& query, Connection& connection, int, int)
{
    if (d->open)
        throw StoreError("The record set is already open.");
    const detail::Query q = detail::parseQuery(query);
    if (connection.State() != 1)
        throw StoreError("The database connection is not open.");
    std::shared_ptr<detail::Database> db = connection.d->db;
    const std::string& path = db->path;
    MdbHandle* mdb = db->mdb;

    // Found in the catalog read at connection time; mdb_read_table_by_name would re-read the
    // catalog and free entries that other open tables still point to.
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; mdb->catalog && i < mdb->catalog->len; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && equalNames(q.table, e->object_name)) {
            entry = e;
            break;
        }
    }
    if (!entry)
        throw StoreError("The database file " + path + " has no table named " + q.table + ".");

    auto fresh = std::make_shared<Impl>();
    Impl& r = *fresh;
    r.db = db;
    r.tableName = entry->object_name;
    r.cursorLocation = d->cursorLocation;

    detail::QuietLibrary quiet;
    auto fail = [&](const std::string& what) -> StoreError {
        db->lastLibraryMessage = quiet.text();
        return StoreError(detail::damaged(path, what));
    };
    // The definition must be a table definition page inside the file before libmdb parses it.
    if (entry->table_pg == 0 || entry->table_pg >= db->pageCount ||
        mdb_read_pg(mdb, entry->table_pg) != static_cast<ssize_t>(db->pageSize) ||
        mdb->pg_buf[0] != MDB_PAGE_TABLE)
        throw fail("the definition of table " + r.tableName + " is missing");
    r.table = mdb_read_table(entry);
    if (!r.table)
        throw fail("the definition of table " + r.tableName + " can't be read");
    if (!detail::usableTable(r.table))
        throw fail("the definition of table " + r.tableName + " is malformed");
    if (!mdb_read_columns(r.table) || r.table->columns->len != r.table->num_cols)
        throw fail("the fields of table " + r.tableName + " can't be read");
    for (unsigned i = 0; i < r.table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(r.table->columns, i));
        r.columns.push_back(Column{col->name, col->col_type, col});
    }

    std::optional<std::size_t> whereIndex;
    std::optional<std::size_t> orderIndex;
    for (auto [name, slot] :
         {std::pair{&q.whereColumn, &whereIndex}, std::pair{&q.orderColumn, &orderIndex}}) {
        if (!*name)
            continue;
        *slot = r.columnIndex(**name);
        const int type = r.columns[**slot].type;
        if (!isNumeric(type))
            throw StoreError("The database query \"" + query + "\" can't be run: the field " +
                             **name + " holds " + typeWord(type) + ", not a number.");
    }

    std::array<MdbField, MDB_MAX_COLS> cracked{};
    const unsigned long maxRows = db->pageCount * 256UL; // a page can't hold more rows than this
    unsigned long seen = 0;
    std::uint32_t checkedPage = 0;
    mdb_rewind_table(r.table);
    while (mdb_fetch_row(r.table)) {
        if (++seen > maxRows)
            throw fail("the rows of table " + r.tableName + " run in a loop");
        Row row;
        row.page = r.table->cur_phys_pg;
        row.index = static_cast<int>(r.table->cur_row) - 1;
        // libmdb's fallback scan (taken when a page map can't be read) leaves cur_phys_pg one past
        // the page it read; GetChunk would then crack a row of the wrong page. Each data page's
        // number is checked once against its content.
        if (row.page != checkedPage) {
            if (mdb_read_alt_pg(mdb, row.page) != static_cast<ssize_t>(db->pageSize) ||
                std::memcmp(mdb->alt_pg_buf, mdb->pg_buf, db->pageSize) != 0)
                throw fail("the page map of table " + r.tableName + " is damaged");
            checkedPage = row.page;
        }
        int start = 0;
        size_t length = 0;
        if (row.index < 0 || mdb_find_row(mdb, row.index, &start, &length) != 0 || length == 0)
            throw fail("a row of table " + r.tableName + " can't be found again");
        const int count = mdb_crack_row(r.table, start & kOffsetMask, length, cracked.data());
        if (count < 0)
            throw fail("a row of table " + r.tableName + " is malformed");
        row.cells.resize(r.columns.size());
        for (unsigned i = 0; i < r.table->num_cols; ++i) {
            const MdbField& f = cracked[i];
            if (f.colnum < 0 || static_cast<unsigned>(f.colnum) >= r.columns.size())
                throw fail("a row of table " + r.tableName + " is malformed");
            const Column& column = r.columns[f.colnum];
            Cell& cell = row.cells[f.colnum];
            if (column.type == MDB_BOOL) {
                // A yes/no value lives in the null mask: a set bit ("not null") means yes, -1.
                cell.null = false;
                cell.value = FieldValue(std::int64_t(f.is_null ? 0 : -1));
                cell.size = 1;
                continue;
            }
            if (f.is_null || f.siz <= 0)
                continue;
            if (f.start < 0 || f.start + f.siz > static_cast<int>(db->pageSize))
                throw fail("a value in table " + r.tableName + " lies outside its page");
            const unsigned char* bytes = mdb->pg_buf + f.start;
            cell.null = false;
            cell.size = f.siz;
            if (isNumeric(column.type)) {
                // libmdb 1.0 swaps the two bytes of a column definition: its col_scale holds the
                // precision (byte 11) and its col_prec the scale (byte 12).
                if (!decodeNumber(column.type, bytes, f.siz, column.mdb->col_prec, cell.value))
                    throw fail("the field " + column.name + " of table " + r.tableName +
                               " holds a malformed number");
            } else if (column.type == MDB_OLE) {
                if (f.siz < kOleHeader)
                    throw fail("the picture in field " + column.name + " has a malformed header");
                std::memcpy(cell.ole.data(), bytes, kOleHeader);
                const std::uint32_t word = le32(bytes);
                cell.size = static_cast<long>(word & 0x3fffffff);
                if ((word & 0xc0000000) == 0xc0000000)
                    throw fail("the picture in field " + column.name + " has a malformed header");
                if ((word & 0x80000000) && cell.size != f.siz - kOleHeader)
                    throw fail("the picture in field " + column.name + " has a wrong length");
            }
        }
        const bool wanted =
            !whereIndex || equalsInteger(row.cells[*whereIndex].value, q.whereValue);
        if (wanted)
            r.rows.push_back(std::move(row));
    }
    if (orderIndex) {
        const std::size_t k = *orderIndex;
        std::stable_sort(r.rows.begin(), r.rows.end(), [k](const Row& a, const Row& b) {
            return lessValue(a.cells[k].value, b.cells[k].value);
        });
    }
    r.current = 0;
    r.open = true;
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
    if (d->fields.size() != d->columns.size())
        d->fields.assign(d->columns.size(), nullptr);
    auto& impl = d->fields[index];
    if (!impl) {
        impl = std::make_shared<Field::Impl>();
        impl->rs = d;
        impl->generation = d->generation;
        impl->column = index;
        impl->name = d->columns[index].name;
    }
    Field field;
    field.d = impl;
    return field;
}

std::vector<std::string> Recordset::fieldNames() const
{
    d->requireOpen();
    std::vector<std::string> names;
    for (const Column& c : d->columns)
        names.push_back(c.name);
    return names;
}

// ---------------------------------------------------------------------------------------------

namespace {
const std::string kNoName;
}

const std::string& Field::name() const
{
    return d ? d->name : kNoName;
}

FieldValue Field::Value() const
{
    if (!d)
        throw StoreError("The field does not belong to any record set.");
    Recordset::Impl& r = d->recordset();
    const int type = r.columns[d->column].type;
    if (!isNumeric(type))
        throw StoreError("The field " + d->name + " holds " + typeWord(type) + ", not a number.");
    return d->cell().value;
}

bool Field::IsNull() const
{
    if (!d)
        throw StoreError("The field does not belong to any record set.");
    return d->cell().null;
}

std::string Field::TypeName() const
{
    if (!d)
        throw StoreError("The field does not belong to any record set.");
    switch (d->recordset().columns[d->column].type) {
    case MDB_BOOL:
        return "boolean";
    case MDB_BYTE:
        return "byte";
    case MDB_INT:
        return "integer";
    case MDB_LONGINT:
        return "long";
    case MDB_MONEY:
        return "currency";
    case MDB_FLOAT:
        return "single";
    case MDB_DOUBLE:
        return "double";
    case MDB_DATETIME:
        return "date";
    case MDB_NUMERIC:
        return "decimal";
    case MDB_TEXT:
        return "text";
    case MDB_MEMO:
        return "memo";
    case MDB_OLE:
        return "long binary";
    case MDB_BINARY:
        return "binary";
    default:
        return "other";
    }
}

long Field::ActualSize() const
{
    if (!d)
        throw StoreError("The field does not belong to any record set.");
    const Cell& c = d->cell();
    return c.null ? 0 : c.size;
}

std::size_t Field::Impl::readPiece(Recordset::Impl& r)
{
    detail::Database& db = *r.db;
    if (!db.open)
        throw StoreError("The database connection is closed, so the picture in field " + name +
                         " can't be read.");
    MdbHandle* mdb = db.mdb;
    const Row& row = r.rows[r.current];
    const Cell& c = row.cells[column];
    MdbColumn* col = r.columns[column].mdb;
    if (piece.size() < kPieceBuffer)
        piece.resize(kPieceBuffer);

    detail::QuietLibrary quiet;
    auto fail = [&](const std::string& what) -> StoreError {
        db.lastLibraryMessage = quiet.text();
        return StoreError(detail::damaged(db.path, "the picture in field " + name + " " + what));
    };
    // A picture can't have more pieces than the file has pages; this stops a chain that loops.
    if (++piecesRead > db.pageCount)
        throw fail("runs in a loop");

    std::size_t got = 0;
    col->bind_ptr = piece.data();
    if (!started) {
        // Back to the row: other reads since opening have moved libmdb's current page.
        started = true;
        if (mdb_read_pg(mdb, row.page) != static_cast<ssize_t>(db.pageSize)) {
            col->bind_ptr = nullptr;
            throw fail("can't be reached");
        }
        int start = 0;
        size_t length = 0;
        if (mdb->pg_buf[0] != MDB_PAGE_DATA ||
            static_cast<unsigned long>(mdb_get_int32(mdb->pg_buf, 4)) != r.table->entry->table_pg ||
            mdb_find_row(mdb, row.index, &start, &length) != 0 || length == 0) {
            col->bind_ptr = nullptr;
            throw fail("can't be reached");
        }
        // Where the value starts within the row: only needed for a value kept in the row itself.
        std::array<MdbField, MDB_MAX_COLS> cracked{};
        const int count = mdb_crack_row(r.table, start & kOffsetMask, length, cracked.data());
        int valueStart = -1;
        int valueLength = 0;
        for (int i = 0; count >= 0 && i < static_cast<int>(r.table->num_cols); ++i)
            if (cracked[i].colnum == static_cast<int>(column)) {
                valueStart = cracked[i].start;
                valueLength = cracked[i].siz;
            }
        if (valueStart < 0 || valueLength < kOleHeader ||
            std::memcmp(mdb->pg_buf + valueStart, c.ole.data(), kOleHeader) != 0) {
            col->bind_ptr = nullptr;
            throw fail("has changed since the record set was opened");
        }
        col->cur_value_start = valueStart;
        col->cur_value_len = valueLength;
        std::array<unsigned char, kOleHeader> header = c.ole;
        got = mdb_ole_read(mdb, col, header.data(), kPieceBuffer);
        nextPiece = col->cur_blob_pg_row;
        if (le32(header.data()) & 0xc0000000)
            finished = true; // kept in the row or on one page: a single piece
    } else {
        // Several record sets or fields may take turns; the chain position is ours, not libmdb's.
        col->cur_blob_pg_row = nextPiece;
        std::array<unsigned char, kOleHeader> header = c.ole;
        got = mdb_ole_read_next(mdb, col, header.data());
        nextPiece = col->cur_blob_pg_row;
    }
    col->bind_ptr = nullptr;
    if (got > kPieceBuffer)
        throw fail("has a piece larger than a page");
    if (nextPiece == 0)
        finished = true;
    pieceLength = got;
    pieceOffset = 0;
    return got;
}

std::vector<unsigned char> Field::GetChunk(long n)
{
    if (!d)
        throw StoreError("The field does not belong to any record set.");
    Recordset::Impl& r = d->recordset();
    const int type = r.columns[d->column].type;
    if (type != MDB_OLE)
        throw StoreError("The field " + d->name + " holds " + typeWord(type) + ", not a picture.");
    const Cell& c = r.rows[r.current].cells[d->column];
    std::vector<unsigned char> out;
    if (c.null || n <= 0)
        return out;
    const long remaining = c.size - d->delivered;
    out.reserve(static_cast<std::size_t>(std::min(n, remaining)));
    while (static_cast<long>(out.size()) < n && d->delivered < c.size) {
        if (d->pieceOffset == d->pieceLength) {
            if ((d->started && d->finished) || d->readPiece(r) == 0)
                throw StoreError(
                    detail::damaged(r.db->path, "the picture in field " + d->name +
                                                    " is shorter than its stated length"));
            continue;
        }
        const long want = std::min({n - static_cast<long>(out.size()), c.size - d->delivered,
                                    static_cast<long>(d->pieceLength - d->pieceOffset)});
        const auto* from = d->piece.data() + d->pieceOffset;
        out.insert(out.end(), from, from + want);
        d->pieceOffset += static_cast<std::size_t>(want);
        d->delivered += want;
    }
    if (d->delivered >= c.size) {
        // Done with the value: give the piece buffer back.
        std::vector<unsigned char>().swap(d->piece);
        d->pieceLength = d->pieceOffset = 0;
    }
    return out;
}

} // namespace store
