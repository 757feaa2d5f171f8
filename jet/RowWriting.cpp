// Rows: each value laid out as Jet 4 stores it, long values streamed onto their own pages,
// and the row placed on the table's current data page.
#include "WriterState.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace jet {

std::uint32_t DatabaseWriter::State::writeLongValue(Column& column, LongValueSource& source,
                                                    QByteArray& field)
{
    const std::int64_t size = source.size();
    if (size < 0 || size > kMaxLongValueSize)
        throw Error("a value of " + std::to_string(size) + " bytes does not fit column " +
                    quoted(column.def.name) + " (16 MiB or more)");
    const auto length = static_cast<std::uint32_t>(size);
    field.resize(12);
    std::memset(field.data(), 0, 12);
    if (size <= kMaxInlineLongValue) {
        put32(field.data(), length | 0x80000000u);
        field.resize(12 + size);
        source.read(field.data() + 12, size);
        return 0;
    }
    auto remember = [&column](std::uint32_t page) {
        if (column.longValuePages.empty() || column.longValuePages.back() != page)
            column.longValuePages.push_back(page);
    };
    if (size <= kMaxSingleLongValue) {
        if (!longValuePage || !longValuePage->fits(static_cast<std::size_t>(size))) {
            if (longValuePage)
                file.write(longValuePage->page(), longValuePage->seal());
            longValuePage = RowPage::longValues(file.allocate());
        }
        int row = 0;
        char* into = longValuePage->reserve(static_cast<std::size_t>(size), &row);
        source.read(into, size);
        remember(longValuePage->page());
        put32(field.data(), length | 0x40000000u);
        put32(field.data() + 4, pageRow(longValuePage->page(), row));
        return 0;
    }
    // Whole pages, one row each: a pointer to the next piece, then the piece.
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
        remember(first + i);
        left -= piece;
    }
    put32(field.data(), length);
    put32(field.data() + 4, pageRow(first, 0));
    return 0;
}

QByteArray DatabaseWriter::State::encodeRow(Table& table, std::span<const Value> values)
{
    if (values.size() != table.columns.size())
        throw Error("table " + quoted(table.name) + " has " + std::to_string(table.columns.size()) +
                    " columns, the row " + std::to_string(values.size()));
    const std::size_t maskBytes = (table.columns.size() + 7) / 8;
    std::vector<char> nullMask(maskBytes, 0);
    QByteArray fixed(table.fixedBytes, '\0');
    std::vector<QByteArray> variable(static_cast<std::size_t>(table.varColumns));

    for (std::size_t i = 0; i < values.size(); ++i) {
        Column& c = table.columns[i];
        const Value& v = values[i];
        if (c.def.type == ColumnType::Boolean) {
            // A Yes/No value is its bit in the null mask.
            const auto* n = std::get_if<std::int64_t>(&v);
            if (!n || (*n != 0 && *n != 1))
                throw Error("column " + quoted(c.def.name) + " of table " + quoted(table.name) +
                            ": needs 0 or 1");
            if (*n)
                nullMask[c.number / 8] =
                    static_cast<char>(nullMask[c.number / 8] | (1 << (c.number % 8)));
            continue;
        }
        if (std::holds_alternative<Null>(v))
            continue;
        nullMask[c.number / 8] = static_cast<char>(nullMask[c.number / 8] | (1 << (c.number % 8)));
        auto wrong = [&](const char* what) {
            return Error("column " + quoted(c.def.name) + " of table " + quoted(table.name) + ": " +
                         what);
        };
        char* at = fixed.data() + c.fixedOffset;
        switch (c.def.type) {
        case ColumnType::Boolean:
            break;
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long: {
            const auto* n = std::get_if<std::int64_t>(&v);
            if (!n)
                throw wrong("needs a whole number");
            const int bytes = fixedSize(c.def.type);
            const std::int64_t lo = bytes == 1 ? 0 : -(std::int64_t{1} << (8 * bytes - 1));
            const std::int64_t hi = bytes == 1 ? 255 : (std::int64_t{1} << (8 * bytes - 1)) - 1;
            if (*n < lo || *n > hi)
                throw wrong("number out of range");
            const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(*n));
            for (int k = 0; k < bytes; ++k)
                at[k] = static_cast<char>((u >> (8 * k)) & 0xff);
            break;
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            double x = 0;
            if (const auto* r = std::get_if<double>(&v))
                x = *r;
            else if (const auto* n = std::get_if<std::int64_t>(&v))
                x = static_cast<double>(*n);
            else
                throw wrong("needs a number");
            if (c.def.type == ColumnType::Single) {
                if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max())
                    throw wrong("number too large for Single");
                putFloat(at, static_cast<float>(x));
            } else {
                putDouble(at, x);
            }
            break;
        }
        case ColumnType::Decimal: {
            // A sign byte, then the unscaled magnitude in 128 bits: four 32-bit words, the most
            // significant first, each little-endian.
            std::int64_t factor = 1;
            for (int k = 0; k < c.def.scale; ++k)
                factor *= 10;
            std::int64_t limit = 1;
            for (int k = 0; k < c.def.precision; ++k)
                limit *= 10;
            std::int64_t unscaled = 0;
            if (const auto* r = std::get_if<double>(&v)) {
                const double scaled = std::round(*r * double(factor));
                if (!std::isfinite(*r) || scaled / double(factor) != *r)
                    throw wrong("number with more decimal places than the column's scale");
                if (std::fabs(scaled) >= double(limit))
                    throw wrong("number out of range");
                unscaled = static_cast<std::int64_t>(scaled);
            } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
                if (*n <= -limit / factor || *n >= limit / factor)
                    throw wrong("number out of range");
                unscaled = *n * factor;
            } else {
                throw wrong("needs a number");
            }
            const auto magnitude =
                unscaled < 0 ? std::uint64_t(0) - std::uint64_t(unscaled) : std::uint64_t(unscaled);
            at[0] = static_cast<char>(unscaled < 0 ? 0x80 : 0x00);
            put32(at + 9, static_cast<std::uint32_t>(magnitude >> 32));
            put32(at + 13, static_cast<std::uint32_t>(magnitude));
            break;
        }
        case ColumnType::DateTime: {
            const auto* t = std::get_if<QDateTime>(&v);
            if (!t || !t->isValid())
                throw wrong("needs a date");
            putDouble(at, jetDate(*t));
            break;
        }
        case ColumnType::Binary: {
            const auto* b = std::get_if<QByteArray>(&v);
            if (!b)
                throw wrong("needs bytes");
            if (b->size() > 510)
                throw wrong("more than 510 bytes");
            variable[c.varIndex] = *b;
            break;
        }
        case ColumnType::Text: {
            const auto* s = std::get_if<QString>(&v);
            if (!s)
                throw wrong("needs text");
            if (s->size() > 255)
                throw wrong("more than 255 characters");
            variable[c.varIndex] = ucs2(*s);
            break;
        }
        case ColumnType::LongBinary:
        case ColumnType::Memo: {
            QByteArray field;
            if (auto* const* src = std::get_if<LongValueSource*>(&v); src && *src) {
                writeLongValue(c, **src, field);
            } else if (const auto* b = std::get_if<QByteArray>(&v)) {
                BytesSource bytes(*b);
                writeLongValue(c, bytes, field);
            } else if (const auto* s = std::get_if<QString>(&v);
                       s && c.def.type == ColumnType::Memo) {
                BytesSource bytes(ucs2(*s));
                writeLongValue(c, bytes, field);
            } else {
                throw wrong("needs a long value");
            }
            variable[c.varIndex] = std::move(field);
            break;
        }
        }
    }

    QByteArray row;
    row.reserve(2 + fixed.size() + 64);
    char two[2];
    put16(two, static_cast<unsigned>(table.columns.size()));
    row.append(two, 2);
    row.append(fixed);
    if (table.varColumns > 0) {
        std::vector<std::uint16_t> offsets;
        for (const QByteArray& field : variable) {
            offsets.push_back(static_cast<std::uint16_t>(row.size()));
            row.append(field);
        }
        const std::size_t tail = 2 + 2 * offsets.size() + 2 + maskBytes;
        if (static_cast<std::size_t>(row.size()) + tail > kMaxSingleLongValue)
            throw Error("a row of table " + quoted(table.name) + " does not fit on one page");
        put16(two, static_cast<unsigned>(row.size())); // end of the variable part
        row.append(two, 2);
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
            put16(two, *it);
            row.append(two, 2);
        }
        put16(two, static_cast<unsigned>(offsets.size()));
        row.append(two, 2);
    }
    row.append(nullMask.data(), static_cast<qsizetype>(maskBytes));
    return row;
}

void DatabaseWriter::State::placeRow(Table& table, const QByteArray& row)
{
    const auto length = static_cast<std::size_t>(row.size());
    if (!table.current || !table.current->fits(length)) {
        if (table.current)
            file.write(table.current->page(), table.current->seal());
        table.current.emplace(file.allocate(), table.definitionPage);
        table.dataPages.push_back(table.current->page());
    }
    table.current->add(row.constData(), length);
    ++table.rowCount;
}

} // namespace jet
