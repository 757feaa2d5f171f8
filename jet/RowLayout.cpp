#include "RowLayout.h"

namespace jet {

RowLayout::RowLayout(const Table& table)
    : m_table(table), m_nullMask((table.columns.size() + 7) / 8, 0),
      m_fixed(table.fixedBytes, '\0'), m_variable(static_cast<std::size_t>(table.varColumns))
{}

void RowLayout::setMaskBit(const Column& column)
{
    char& byte = m_nullMask[column.number / 8];
    byte = static_cast<char>(byte | (1 << (column.number % 8)));
}

char* RowLayout::fixedPlace(const Column& column)
{
    return m_fixed.data() + column.fixedOffset;
}

void RowLayout::setVariable(const Column& column, QByteArray field)
{
    m_variable[column.varIndex] = std::move(field);
}

QByteArray RowLayout::bytes() const
{
    QByteArray row;
    row.reserve(2 + m_fixed.size() + 64);
    char two[2];
    put16(two, static_cast<unsigned>(m_table.columns.size()));
    row.append(two, 2);
    row.append(m_fixed);
    std::vector<std::uint16_t> offsets;
    for (const QByteArray& field : m_variable) {
        offsets.push_back(static_cast<std::uint16_t>(row.size()));
        row.append(field);
    }
    // After the fields: where they end, their offsets and their count (none of the three in a
    // table without variable-length columns), then the null mask.
    const bool variable = m_table.varColumns > 0;
    const std::size_t tail = (variable ? 2 + 2 * offsets.size() + 2 : 0) + m_nullMask.size();
    // The largest row a data page holds, like a long value alone on its page. Fixed columns
    // alone can outgrow it too: 241 Decimals take 4097 bytes.
    if (static_cast<std::size_t>(row.size()) + tail > kMaxSingleLongValue)
        throw Error("a row of table " + quoted(m_table.name) + " does not fit on one page");
    if (variable) {
        put16(two, static_cast<unsigned>(row.size())); // end of the variable part
        row.append(two, 2);
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
            put16(two, *it);
            row.append(two, 2);
        }
        put16(two, static_cast<unsigned>(offsets.size()));
        row.append(two, 2);
    }
    row.append(m_nullMask.data(), static_cast<qsizetype>(m_nullMask.size()));
    return row;
}

} // namespace jet
