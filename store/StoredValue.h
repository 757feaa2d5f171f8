#pragma once

// Internal to store/: what the bytes of one stored value mean, by the column's libmdb type.

#include "FieldValue.h"

#include <optional>
#include <string>

namespace store::detail {

// The header a row holds for a long binary value, in front of the value's bytes when they are
// kept in the row itself: length and flags, libmdb's page/row pointer, unused (MDB_MEMO_OVERHEAD).
inline constexpr int kLongValueHeader = 12;

struct LongValueHeader
{
    long length = 0;
    bool inRow = false; // the bytes follow the header in the row
    // Kept in the row or on one page: one piece, with no chain of pages to follow.
    bool singlePiece = false;
};

// The header's first word (little-endian): the length in the low 30 bits, the placement in the
// top two. Nothing when both placement flags are set, which only damage can cause.
std::optional<LongValueHeader> decodeLongValueHeader(const unsigned char* header);

// Whether a column of this type gives a number through Field::Value (Yes/No and dates included).
bool isNumeric(int type);
// What a column of this type holds, for messages: "text", "a picture (long binary value)", ...
std::string typeWord(int type);
// The type's Jet name, as Field::TypeName gives it.
std::string typeName(int type);

// The stored bytes of a numeric column as the number they hold (scale only counts for Decimal),
// written straight into `out`: the scan decodes every number of every row, and a number handed
// back by value costs more than the decoding. False when the size does not fit the type, which
// only a damaged row can cause.
bool decodeNumber(int type, const unsigned char* bytes, int size, int scale, FieldValue& out);

} // namespace store::detail
