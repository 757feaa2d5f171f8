#pragma once

// Internal to store/: the stored form of a Decimal (Numeric) value.

#include "FieldValue.h"

#include <optional>

namespace store::detail {

// Seventeen bytes as a Jet 4 or Access 2007+ row holds a Decimal: a sign byte (bit 7 set for a
// negative number), then the 128-bit unscaled magnitude as four 32-bit words, most significant
// word first, each word little-endian. The value is that integer divided by 10^scale. All 128 bits
// are read, although Access fills only 96; a magnitude of 2^127 or more, or a scale outside 0..28
// (the most Access allows), can only be damage, and gives nothing.
std::optional<FieldValue::Decimal> decodeDecimal(const unsigned char* bytes, int scale);

} // namespace store::detail
