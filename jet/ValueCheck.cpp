#include "ValueCheck.h"

#include <cmath>
#include <limits>

namespace jet {

Error ValueCheck::wrong(const char* what) const
{
    return Error("column " + quoted(m_column.def.name) + " of table " + quoted(m_table.name) +
                 ": " + what);
}

bool ValueCheck::yesNo(const Value& value) const
{
    const auto* n = std::get_if<std::int64_t>(&value);
    if (!n || (*n != 0 && *n != 1))
        throw wrong("needs 0 or 1");
    return *n == 1;
}

std::int64_t ValueCheck::wholeNumber(const Value& value) const
{
    const auto* n = std::get_if<std::int64_t>(&value);
    if (!n)
        throw wrong("needs a whole number");
    const int bytes = fixedSize(m_column.def.type);
    const std::int64_t lo = bytes == 1 ? 0 : -(std::int64_t{1} << (8 * bytes - 1));
    const std::int64_t hi = bytes == 1 ? 255 : (std::int64_t{1} << (8 * bytes - 1)) - 1;
    if (*n < lo || *n > hi)
        throw wrong("number out of range");
    return *n;
}

double ValueCheck::real(const Value& value) const
{
    if (const auto* r = std::get_if<double>(&value))
        return *r;
    if (const auto* n = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*n);
    throw wrong("needs a number");
}

float ValueCheck::single(const Value& value) const
{
    const double x = real(value);
    // Infinities and NaN have their own Single forms; only finite numbers can overflow.
    if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max())
        throw wrong("number too large for Single");
    return static_cast<float>(x);
}

std::int64_t ValueCheck::unscaledDecimal(const Value& value) const
{
    // Precision is at most 18 (DatabaseWriter::addTable), so both powers of ten fit 64 bits.
    std::int64_t factor = 1;
    for (int k = 0; k < m_column.def.scale; ++k)
        factor *= 10;
    std::int64_t limit = 1;
    for (int k = 0; k < m_column.def.precision; ++k)
        limit *= 10;
    if (const auto* r = std::get_if<double>(&value)) {
        const double scaled = std::round(*r * double(factor));
        if (!std::isfinite(*r) || scaled / double(factor) != *r)
            throw wrong("number with more decimal places than the column's scale");
        if (std::fabs(scaled) >= double(limit))
            throw wrong("number out of range");
        return static_cast<std::int64_t>(scaled);
    }
    if (const auto* n = std::get_if<std::int64_t>(&value)) {
        if (*n <= -limit / factor || *n >= limit / factor)
            throw wrong("number out of range");
        return *n * factor;
    }
    throw wrong("needs a number");
}

const QDateTime& ValueCheck::date(const Value& value) const
{
    const auto* t = std::get_if<QDateTime>(&value);
    if (!t || !t->isValid())
        throw wrong("needs a date");
    return *t;
}

const QByteArray& ValueCheck::shortBytes(const Value& value) const
{
    const auto* b = std::get_if<QByteArray>(&value);
    if (!b)
        throw wrong("needs bytes");
    if (b->size() > 510)
        throw wrong("more than 510 bytes");
    return *b;
}

const QString& ValueCheck::shortText(const Value& value) const
{
    const auto* s = std::get_if<QString>(&value);
    if (!s)
        throw wrong("needs text");
    if (s->size() > 255)
        throw wrong("more than 255 characters");
    return *s;
}

LongValueSource& ValueCheck::longValue(const Value& value, std::optional<BytesSource>& whole) const
{
    if (auto* const* source = std::get_if<LongValueSource*>(&value); source && *source)
        return **source;
    if (const auto* b = std::get_if<QByteArray>(&value))
        return whole.emplace(*b);
    // Memo text is stored as UCS-2, as Text is.
    if (const auto* s = std::get_if<QString>(&value); s && m_column.def.type == ColumnType::Memo)
        return whole.emplace(ucs2(*s));
    throw wrong("needs a long value");
}

} // namespace jet
