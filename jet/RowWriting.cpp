// Rows: each value checked against its column and encoded where the row layout wants it, and
// the row placed on the table's current data page.
#include "RowLayout.h"
#include "ValueCheck.h"

namespace jet {

namespace {

// Little-endian, in as many bytes as the column's type has; the range is checked already.
void putWholeNumber(char* at, std::int64_t n, int bytes)
{
    const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(n));
    for (int k = 0; k < bytes; ++k)
        at[k] = static_cast<char>((u >> (8 * k)) & 0xff);
}

// A sign byte, then the unscaled magnitude in 128 bits: four 32-bit words, the most significant
// first, each little-endian. The magnitude fits 64 bits, so the first two words stay zero.
void putDecimal(char* at, std::int64_t unscaled)
{
    const auto magnitude =
        unscaled < 0 ? std::uint64_t(0) - std::uint64_t(unscaled) : std::uint64_t(unscaled);
    at[0] = static_cast<char>(unscaled < 0 ? 0x80 : 0x00);
    put32(at + 9, static_cast<std::uint32_t>(magnitude >> 32));
    put32(at + 13, static_cast<std::uint32_t>(magnitude));
}

// A value of a fixed-length column (not Yes/No, which has no bytes), at its place in the row.
void putFixedValue(const ValueCheck& check, ColumnType type, const Value& value, char* at)
{
    if (type == ColumnType::Single)
        putFloat(at, check.single(value));
    else if (type == ColumnType::Double)
        putDouble(at, check.real(value));
    else if (type == ColumnType::DateTime)
        putDouble(at, jetDate(check.date(value)));
    else if (type == ColumnType::Decimal)
        putDecimal(at, check.unscaledDecimal(value));
    else // Byte, Integer, Long
        putWholeNumber(at, check.wholeNumber(value), fixedSize(type));
}

// The field of a Text or Binary column: its bytes as they stand, text as UCS-2.
QByteArray shortVariableField(const ValueCheck& check, ColumnType type, const Value& value)
{
    return type == ColumnType::Text ? ucs2(check.shortText(value)) : check.shortBytes(value);
}

} // namespace

// Columns are encoded in order: a long value's bytes go out to their pages as its column comes
// up, before the values after it are checked.
QByteArray DatabaseWriter::State::encodeRow(Table& table, std::span<const Value> values)
{
    if (values.size() != table.columns.size())
        throw Error("table " + quoted(table.name) + " has " + std::to_string(table.columns.size()) +
                    " columns, the row " + std::to_string(values.size()));
    RowLayout row(table);
    for (std::size_t i = 0; i < values.size(); ++i) {
        Column& column = table.columns[i];
        const Value& value = values[i];
        const ColumnType type = column.def.type;
        const ValueCheck check(table, column);
        if (type == ColumnType::Boolean) {
            if (check.yesNo(value))
                row.setMaskBit(column);
            continue;
        }
        if (std::holds_alternative<Null>(value))
            continue;
        row.setMaskBit(column);
        if (isLong(type)) {
            std::optional<BytesSource> whole;
            row.setVariable(column, writeLongValue(column, check.longValue(value, whole)));
        } else if (column.fixed) {
            putFixedValue(check, type, value, row.fixedPlace(column));
        } else {
            row.setVariable(column, shortVariableField(check, type, value));
        }
    }
    return row.bytes();
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
