#pragma once
// Checks one value of a row against the column it is meant for, and hands it back in the form
// that column stores. What does not fit throws jet::Error naming the column, its table and what
// is wrong, before anything of the row is written.

#include "WriterState.h"

#include <optional>

namespace jet {

class ValueCheck
{
  public:
    ValueCheck(const Table& table, const Column& column) : m_table(table), m_column(column) {}

    // Yes/No: 0 or 1, and never Null, since the value is its bit in the null mask.
    bool yesNo(const Value& value) const;
    // Byte, Integer, Long: a whole number in the range of the type (Byte has no sign).
    std::int64_t wholeNumber(const Value& value) const;
    // Double: a real, or a whole number taken as one.
    double real(const Value& value) const;
    // Single: as for Double, and not too large for 32 bits.
    float single(const Value& value) const;
    // Decimal: the value times ten to the column's scale, which must come out whole and have no
    // more digits than the column's precision.
    std::int64_t unscaledDecimal(const Value& value) const;
    const QDateTime& date(const Value& value) const;
    // Binary: up to 510 bytes.
    const QByteArray& shortBytes(const Value& value) const;
    // Text: up to 255 characters.
    const QString& shortText(const Value& value) const;
    // LongBinary and Memo: where the value's bytes come from. A value given whole (bytes, or
    // text for a Memo) is put in `whole`, which must outlive the source returned.
    LongValueSource& longValue(const Value& value, std::optional<BytesSource>& whole) const;

  private:
    Error wrong(const char* what) const;

    const Table& m_table;
    const Column& m_column;
};

} // namespace jet
