#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <variant>

namespace store {

// The value of one field of the current row: Null, or a number exactly as the file stores it.
// Integer types (Byte, Integer, Long) arrive as int64, Single as float, Double as double,
// Currency as its scaled 64-bit integer (units of 1/10000), Decimal as a scaled 128-bit integer.
class FieldValue
{
  public:
    struct Currency
    {
        std::int64_t tenThousandths = 0;
        bool operator==(const Currency&) const = default;
    };
    // The 96-bit mantissa of a Decimal needs a wider integer than the standard has.
    __extension__ typedef __int128 Int128;
    struct Decimal
    {
        Int128 unscaled = 0; // the value is unscaled / 10^scale
        int scale = 0;
        bool operator==(const Decimal&) const = default;
    };
    using Storage = std::variant<std::monostate, std::int64_t, float, double, Currency, Decimal>;

    FieldValue() = default;
    explicit FieldValue(Storage storage) : m_storage(storage) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(m_storage); }
    const Storage& storage() const { return m_storage; }

    // Exact comparison of the stored number with x; unordered for Null (and NaN).
    std::partial_ordering compare(double x) const;
    // The same, as operators (v < x, v >= x), for code written for any kind of number.
    std::partial_ordering operator<=>(double x) const { return compare(x); }
    // Exact comparison of two stored numbers of any types; unordered when either is Null (or
    // NaN). Throws nothing but std::bad_alloc.
    std::partial_ordering compare(const FieldValue& other) const;
    // The number converted to double (nearest); NaN for Null.
    double toDouble() const;
    // The number as text, for listings ("null" for Null).
    std::string toString() const;

    bool operator==(const FieldValue&) const = default;

  private:
    Storage m_storage;
};

} // namespace store
