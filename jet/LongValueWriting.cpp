// Long values (Memo, OLE Object): their bytes go where their size puts them, and the row keeps a
// 12-byte field that says where: its length with two flag bits, then a page and row pointer.
#include "WriterState.h"

#include <algorithm>

namespace jet {

namespace {

// The flag bits in the length word of a long-value field.
constexpr std::uint32_t kInlineFlag = 0x80000000u;
constexpr std::uint32_t kSingleRowFlag = 0x40000000u;

QByteArray emptyField()
{
    return QByteArray(12, '\0');
}

// Each long-value column lists the pages its values went to, once each, for its usage map.
void notePage(Column& column, std::uint32_t page)
{
    if (column.longValuePages.empty() || column.longValuePages.back() != page)
        column.longValuePages.push_back(page);
}

} // namespace

QByteArray DatabaseWriter::State::writeLongValue(Column& column, LongValueSource& source)
{
    const std::int64_t size = source.size();
    if (size < 0 || size > kMaxLongValueSize)
        throw Error("a value of " + std::to_string(size) + " bytes does not fit column " +
                    quoted(column.def.name) + " (16 MiB or more)");
    if (size > kMaxSingleLongValue)
        return longValueChain(column, source);
    if (size > kMaxInlineLongValue)
        return longValueOnSharedPage(column, source);
    // Small enough to follow the field inside the row.
    QByteArray field = emptyField();
    put32(field.data(), static_cast<std::uint32_t>(size) | kInlineFlag);
    field.resize(12 + size);
    source.read(field.data() + 12, size);
    return field;
}

// One row on the long-value page being filled; a new page when it has no room left.
QByteArray DatabaseWriter::State::longValueOnSharedPage(Column& column, LongValueSource& source)
{
    const std::int64_t size = source.size();
    if (!longValuePage || !longValuePage->fits(static_cast<std::size_t>(size))) {
        if (longValuePage)
            file.write(longValuePage->page(), longValuePage->seal());
        longValuePage = RowPage::longValues(file.allocate());
    }
    int row = 0;
    char* into = longValuePage->reserve(static_cast<std::size_t>(size), &row);
    source.read(into, size);
    notePage(column, longValuePage->page());
    QByteArray field = emptyField();
    put32(field.data(), static_cast<std::uint32_t>(size) | kSingleRowFlag);
    put32(field.data() + 4, pageRow(longValuePage->page(), row));
    return field;
}

// Whole pages, one row each: a pointer to the next piece (zero on the last), then the piece.
// The pages are taken in one run so the value streams out in order.
QByteArray DatabaseWriter::State::longValueChain(Column& column, LongValueSource& source)
{
    const std::int64_t size = source.size();
    const auto pieces = static_cast<std::uint32_t>((size + kLongValueChunk - 1) / kLongValueChunk);
    const std::uint32_t first = file.allocate(pieces);
    std::int64_t left = size;
    for (std::uint32_t i = 0; i < pieces; ++i) {
        const std::int64_t piece = std::min(left, kLongValueChunk);
        RowPage page = RowPage::longValues(first + i);
        int row = 0;
        char* into = page.reserve(static_cast<std::size_t>(piece + 4), &row);
        put32(into, i + 1 < pieces ? pageRow(first + i + 1, 0) : 0);
        source.read(into + 4, piece);
        file.write(first + i, page.seal());
        notePage(column, first + i);
        left -= piece;
    }
    QByteArray field = emptyField();
    put32(field.data(), static_cast<std::uint32_t>(size));
    put32(field.data() + 4, pageRow(first, 0));
    return field;
}

} // namespace jet
