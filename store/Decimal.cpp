#include "Decimal.h"

#include <cstdint>

namespace store::detail {

std::optional<FieldValue::Decimal> decodeDecimal(const unsigned char* bytes, int scale)
{
    __extension__ typedef unsigned __int128 UInt128;
    if (scale < 0 || scale > 28)
        return std::nullopt;
    UInt128 magnitude = 0;
    for (int word = 0; word < 4; ++word) {
        const unsigned char* w = bytes + 1 + 4 * word;
        const std::uint32_t v = std::uint32_t(w[0]) | std::uint32_t(w[1]) << 8 |
                                std::uint32_t(w[2]) << 16 | std::uint32_t(w[3]) << 24;
        magnitude = magnitude << 32 | v;
    }
    if (magnitude >> 127)
        return std::nullopt;
    auto value = static_cast<FieldValue::Int128>(magnitude);
    if (bytes[0] & 0x80)
        value = -value;
    return FieldValue::Decimal{value, scale};
}

} // namespace store::detail
