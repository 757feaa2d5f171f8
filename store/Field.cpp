#include "Field.h"

#include "FieldImpl.h"
#include "StoreError.h"
#include "StoredValue.h"

#include <algorithm>

namespace store {

namespace {

const std::string kNoName;

} // namespace

Recordset::Impl& Field::Impl::recordset() const
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

const detail::Cell& Field::Impl::cell() const
{
    const Recordset::Impl& r = recordset();
    return r.rows[r.current].cells[column];
}

std::size_t Field::Impl::readPiece(const Recordset::Impl& r)
{
    if (piece.size() < detail::kPieceBuffer)
        piece.resize(detail::kPieceBuffer);
    pieceLength = reader.readPiece(*r.table, r.rows[r.current], column, piece.data());
    pieceOffset = 0;
    return pieceLength;
}

Field::Impl& Field::impl() const
{
    if (!d)
        throw StoreError("The field does not belong to any record set.");
    return *d;
}

const std::string& Field::name() const
{
    return d ? d->name : kNoName;
}

FieldValue Field::Value() const
{
    const Impl& f = impl();
    const Recordset::Impl& r = f.recordset();
    const int type = r.table->columns()[f.column].type;
    if (!detail::isNumeric(type))
        throw StoreError("The field " + f.name + " holds " + detail::typeWord(type) +
                         ", not a number.");
    return f.cell().value;
}

bool Field::IsNull() const
{
    const Impl& f = impl();
    return f.cell().null;
}

std::string Field::TypeName() const
{
    const Impl& f = impl();
    return detail::typeName(f.recordset().table->columns()[f.column].type);
}

long Field::ActualSize() const
{
    const Impl& f = impl();
    const detail::Cell& c = f.cell();
    return c.null ? 0 : c.size;
}

std::vector<unsigned char> Field::GetChunk(long n)
{
    Impl& f = impl();
    Recordset::Impl& r = f.recordset();
    const int type = r.table->columns()[f.column].type;
    if (type != MDB_OLE)
        throw StoreError("The field " + f.name + " holds " + detail::typeWord(type) +
                         ", not a picture.");
    const detail::Row& row = r.rows[r.current];
    const detail::Cell& c = row.cells[f.column];
    std::vector<unsigned char> out;
    if (c.null || n <= 0)
        return out;
    const long remaining = c.size - f.delivered;
    out.reserve(static_cast<std::size_t>(std::min(n, remaining)));
    while (static_cast<long>(out.size()) < n && f.delivered < c.size) {
        if (f.pieceOffset == f.pieceLength) {
            // The value is shorter than its header says when its chain ends before its length.
            if (f.reader.finished() || f.readPiece(r) == 0)
                throw StoreError(detail::damaged(r.table->database().path,
                                                 "the picture in field " + f.name +
                                                     " is shorter than its stated length"));
            continue;
        }
        const long want = std::min({n - static_cast<long>(out.size()), c.size - f.delivered,
                                    static_cast<long>(f.pieceLength - f.pieceOffset)});
        const auto* from = f.piece.data() + f.pieceOffset;
        out.insert(out.end(), from, from + want);
        f.pieceOffset += static_cast<std::size_t>(want);
        f.delivered += want;
    }
    if (f.delivered >= c.size) {
        // Done with the value: give the piece buffer back.
        std::vector<unsigned char>().swap(f.piece);
        f.pieceLength = f.pieceOffset = 0;
    }
    return out;
}

} // namespace store
