#include "LongValueReader.h"

#include "QuietLibrary.h"

#include <cstring>
#include <sys/types.h>

namespace store::detail {

namespace {

// libmdb reads a long value into the buffer bound to its column. The binding lasts only while
// one read runs: another field of the same column may bind its own buffer next, and a binding
// left behind would point at a buffer that has gone.
class ColumnBinding
{
  public:
    ColumnBinding(MdbColumn* column, unsigned char* buffer) : m_column(column)
    {
        m_column->bind_ptr = buffer;
    }
    ~ColumnBinding() { m_column->bind_ptr = nullptr; }
    ColumnBinding(const ColumnBinding&) = delete;
    ColumnBinding& operator=(const ColumnBinding&) = delete;

  private:
    MdbColumn* m_column;
};

} // namespace

std::size_t LongValueReader::readPiece(const TableScan& table, const Row& row, std::size_t column,
                                       unsigned char* into)
{
    Database& db = table.database();
    const std::string& name = table.columns()[column].name;
    if (!db.open)
        throw StoreError("The database connection is closed, so the picture in field " + name +
                         " can't be read.");
    QuietLibrary quiet;
    auto fail = [&](const std::string& what) {
        return StoreError(damaged(db.path, "the picture in field " + name + " " + what));
    };
    // A picture can't have more pieces than the file has pages; this stops a chain that loops.
    if (++m_piecesRead > db.pageCount)
        throw fail("runs in a loop");

    MdbColumn* col = table.columns()[column].mdb;
    std::size_t got = 0;
    {
        const ColumnBinding binding(col, into);
        if (!m_started) {
            m_started = true;
            got = readFirstPiece(table, row, column, fail);
        } else {
            // Several record sets or fields may take turns; the chain position is ours.
            col->cur_blob_pg_row = m_nextPiece;
            std::array<unsigned char, kLongValueHeader> header = row.cells[column].longValueHeader;
            got = mdb_ole_read_next(db.mdb, col, header.data());
            m_nextPiece = col->cur_blob_pg_row;
        }
    }
    if (got > kPieceBuffer)
        throw fail("has a piece larger than a page");
    if (m_nextPiece == 0)
        m_finished = true;
    return got;
}

std::size_t
LongValueReader::readFirstPiece(const TableScan& table, const Row& row, std::size_t column,
                                const std::function<StoreError(const std::string&)>& fail)
{
    Database& db = table.database();
    MdbHandle* mdb = db.mdb;
    MdbTableDef* definition = table.definition();
    MdbColumn* col = table.columns()[column].mdb;
    const Cell& cell = row.cells[column];

    // Back to the row: other reads since opening have moved libmdb's current page.
    if (mdb_read_pg(mdb, row.page) != static_cast<ssize_t>(db.pageSize))
        throw fail("can't be reached");
    int start = 0;
    size_t length = 0;
    if (mdb->pg_buf[0] != MDB_PAGE_DATA ||
        static_cast<unsigned long>(mdb_get_int32(mdb->pg_buf, 4)) != definition->entry->table_pg ||
        mdb_find_row(mdb, row.index, &start, &length) != 0 || length == 0)
        throw fail("can't be reached");
    // Where the value starts within the row: only needed for a value kept in the row itself.
    std::array<MdbField, MDB_MAX_COLS> cracked{};
    const int count = mdb_crack_row(definition, start & kRowOffsetMask, length, cracked.data());
    int valueStart = -1;
    int valueLength = 0;
    for (int i = 0; count >= 0 && i < static_cast<int>(definition->num_cols); ++i)
        if (cracked[i].colnum == static_cast<int>(column)) {
            valueStart = cracked[i].start;
            valueLength = cracked[i].siz;
        }
    if (valueStart < 0 || valueLength < kLongValueHeader ||
        std::memcmp(mdb->pg_buf + valueStart, cell.longValueHeader.data(), kLongValueHeader) != 0)
        throw fail("has changed since the record set was opened");
    col->cur_value_start = valueStart;
    col->cur_value_len = valueLength;
    std::array<unsigned char, kLongValueHeader> header = cell.longValueHeader;
    const std::size_t got = mdb_ole_read(mdb, col, header.data(), kPieceBuffer);
    m_nextPiece = col->cur_blob_pg_row;
    const std::optional<LongValueHeader> placement = decodeLongValueHeader(header.data());
    if (!placement || placement->singlePiece)
        m_finished = true; // kept in the row or on one page: a single piece
    return got;
}

} // namespace store::detail
