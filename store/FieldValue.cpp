#include "FieldValue.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace store {

namespace {

using Int128 = FieldValue::Int128;
__extension__ typedef unsigned __int128 UInt128;

using u128 = UInt128;

// A little unsigned big integer, just enough to compare a scaled integer (p / 10^s) with a
// double (m * 2^e) exactly: both sides are brought to integers by shifting and multiplying.
class Big
{
  public:
    explicit Big(u128 v)
    {
        while (v) {
            m_words.push_back(static_cast<std::uint32_t>(v));
            v >>= 32;
        }
    }
    void multiply(std::uint32_t factor)
    {
        std::uint64_t carry = 0;
        for (auto& w : m_words) {
            const std::uint64_t t = std::uint64_t(w) * factor + carry;
            w = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
        if (carry)
            m_words.push_back(static_cast<std::uint32_t>(carry));
        trim();
    }
    void shiftLeft(unsigned bits)
    {
        if (m_words.empty())
            return;
        m_words.insert(m_words.begin(), bits / 32, 0u);
        const unsigned rest = bits % 32;
        if (rest) {
            std::uint32_t carry = 0;
            for (auto& w : m_words) {
                const std::uint32_t next = w >> (32 - rest);
                w = (w << rest) | carry;
                carry = next;
            }
            if (carry)
                m_words.push_back(carry);
        }
    }
    friend std::strong_ordering operator<=>(const Big& a, const Big& b)
    {
        if (a.m_words.size() != b.m_words.size())
            return a.m_words.size() <=> b.m_words.size();
        for (std::size_t i = a.m_words.size(); i-- > 0;)
            if (a.m_words[i] != b.m_words[i])
                return a.m_words[i] <=> b.m_words[i];
        return std::strong_ordering::equal;
    }

  private:
    void trim()
    {
        while (!m_words.empty() && m_words.back() == 0)
            m_words.pop_back();
    }
    std::vector<std::uint32_t> m_words;
};

std::strong_ordering flip(std::strong_ordering o)
{
    return 0 <=> o;
}

// Exact comparison of numerator / 10^scale with x (finite).
std::partial_ordering compareScaled(Int128 numerator, int scale, double x)
{
    if (std::isnan(x))
        return std::partial_ordering::unordered;
    if (std::isinf(x))
        return x > 0 ? std::partial_ordering::less : std::partial_ordering::greater;
    const bool negative = numerator < 0;
    const bool xNegative = std::signbit(x) && x != 0.0;
    if (numerator == 0 && x == 0.0)
        return std::partial_ordering::equivalent;
    if (negative != xNegative || numerator == 0 || x == 0.0) {
        // Signs differ, or one side is zero: the sign decides.
        const int left = numerator == 0 ? 0 : (negative ? -1 : 1);
        const int right = x == 0.0 ? 0 : (xNegative ? -1 : 1);
        return left <=> right;
    }
    const u128 magnitude = negative ? u128(-(numerator + 1)) + 1 : u128(numerator);
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(x), &exponent); // |x| = fraction * 2^exponent
    const auto mantissa =
        static_cast<std::uint64_t>(std::ldexp(fraction, 53)); // |x| = m * 2^(exponent-53)
    const int e = exponent - 53;

    Big left(magnitude); // magnitude / 10^scale
    Big right(mantissa); // mantissa * 2^e
    for (int i = 0; i < scale; ++i)
        right.multiply(10);
    if (e >= 0)
        right.shiftLeft(static_cast<unsigned>(e));
    else
        left.shiftLeft(static_cast<unsigned>(-e));
    const std::strong_ordering o = left <=> right;
    return negative ? flip(o) : o;
}

// A number stored as an integer and a power of ten (Byte to Long, Currency, Decimal).
struct Scaled
{
    Int128 numerator;
    int scale;
};

std::optional<Scaled> scaled(const FieldValue::Storage& s)
{
    if (const auto* i = std::get_if<std::int64_t>(&s))
        return Scaled{*i, 0};
    if (const auto* c = std::get_if<FieldValue::Currency>(&s))
        return Scaled{c->tenThousandths, 4};
    if (const auto* d = std::get_if<FieldValue::Decimal>(&s))
        return Scaled{d->unscaled, d->scale};
    return std::nullopt;
}

// Exact comparison of two scaled integers: the one with fewer decimal places is brought to the
// other's scale in a big integer, where no digit is lost.
std::strong_ordering compareScaled(Scaled a, Scaled b)
{
    const int signA = a.numerator < 0 ? -1 : a.numerator > 0;
    const int signB = b.numerator < 0 ? -1 : b.numerator > 0;
    if (signA != signB || signA == 0)
        return signA <=> signB;
    const auto magnitude = [](Int128 v) { return v < 0 ? u128(-(v + 1)) + 1 : u128(v); };
    Big left(magnitude(a.numerator));
    Big right(magnitude(b.numerator));
    for (int i = a.scale; i < b.scale; ++i)
        left.multiply(10);
    for (int i = b.scale; i < a.scale; ++i)
        right.multiply(10);
    const std::strong_ordering o = left <=> right;
    return signA < 0 ? flip(o) : o;
}

std::string int128ToString(Int128 v)
{
    if (v == 0)
        return "0";
    const bool negative = v < 0;
    u128 m = negative ? u128(-(v + 1)) + 1 : u128(v);
    char buffer[48];
    char* p = buffer + sizeof buffer;
    while (m) {
        *--p = static_cast<char>('0' + int(m % 10));
        m /= 10;
    }
    if (negative)
        *--p = '-';
    return std::string(p, buffer + sizeof buffer);
}

std::string scaledToString(Int128 v, int scale)
{
    const std::string s = int128ToString(v);
    if (scale <= 0)
        return s;
    const bool negative = s[0] == '-';
    std::string digits = negative ? s.substr(1) : s;
    const auto places = static_cast<std::size_t>(scale);
    if (digits.size() <= places)
        digits = std::string(places + 1 - digits.size(), '0') + digits;
    const std::size_t point = digits.size() - places;
    return (negative ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
}

template <typename T> std::string shortest(T v)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

double parse(const std::string& text)
{
    double out = std::numeric_limits<double>::quiet_NaN();
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>; // clang 14 does not deduce aggregates yet

} // namespace

std::partial_ordering FieldValue::compare(double x) const
{
    return std::visit(Overloaded{
                          [](std::monostate) { return std::partial_ordering::unordered; },
                          [x](std::int64_t v) { return compareScaled(v, 0, x); },
                          [x](float v) { return double(v) <=> x; },
                          [x](double v) { return v <=> x; },
                          [x](Currency v) { return compareScaled(v.tenThousandths, 4, x); },
                          [x](Decimal v) { return compareScaled(v.unscaled, v.scale, x); },
                      },
                      m_storage);
}

std::partial_ordering FieldValue::compare(const FieldValue& other) const
{
    if (isNull() || other.isNull())
        return std::partial_ordering::unordered;
    const std::optional<Scaled> a = scaled(m_storage);
    const std::optional<Scaled> b = scaled(other.m_storage);
    if (a && b)
        return compareScaled(*a, *b);
    // A Single or a Double is exactly a double: compared with it, nothing is rounded.
    if (!b)
        return compare(other.toDouble());
    return 0 <=> other.compare(toDouble());
}

double FieldValue::toDouble() const
{
    return std::visit(
        Overloaded{
            [](std::monostate) { return std::numeric_limits<double>::quiet_NaN(); },
            [](std::int64_t v) { return double(v); },
            [](float v) { return double(v); },
            [](double v) { return v; },
            // Through the decimal text, so the result is the double nearest to the stored value.
            [](Currency v) { return parse(scaledToString(v.tenThousandths, 4)); },
            [](Decimal v) { return parse(scaledToString(v.unscaled, v.scale)); },
        },
        m_storage);
}

std::string FieldValue::toString() const
{
    return std::visit(Overloaded{
                          [](std::monostate) { return std::string("null"); },
                          [](std::int64_t v) { return std::to_string(v); },
                          [](float v) { return shortest(v); },
                          [](double v) { return shortest(v); },
                          [](Currency v) { return scaledToString(v.tenThousandths, 4); },
                          [](Decimal v) { return scaledToString(v.unscaled, v.scale); },
                      },
                      m_storage);
}

} // namespace store
