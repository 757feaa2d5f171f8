#include "StoredValue.h"

#include "Decimal.h"

#include <cstdint>
#include <cstring>
#include <mdbtools.h>

namespace store::detail {

namespace {

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint64_t le64(const unsigned char* p)
{
    return std::uint64_t(le32(p)) | std::uint64_t(le32(p + 4)) << 32;
}

// The size in bytes a numeric column's value takes in a row.
int storedSize(int type)
{
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_NUMERIC:
        return 17;
    default:
        return -1;
    }
}

} // namespace

std::optional<LongValueHeader> decodeLongValueHeader(const unsigned char* header)
{
    const std::uint32_t word = le32(header);
    if ((word & 0xc0000000) == 0xc0000000)
        return std::nullopt;
    LongValueHeader h;
    h.length = static_cast<long>(word & 0x3fffffff);
    h.inRow = (word & 0x80000000) != 0;
    h.singlePiece = (word & 0xc0000000) != 0;
    return h;
}

bool isNumeric(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC:
        return true;
    default:
        return false;
    }
}

std::string typeWord(int type)
{
    switch (type) {
    case MDB_OLE:
        return "a picture (long binary value)";
    case MDB_BINARY:
        return "binary data";
    case MDB_TEXT:
        return "text";
    case MDB_MEMO:
        return "long text";
    case MDB_REPID:
        return "a replication id";
    default:
        return "a value of an unsupported type";
    }
}

std::string typeName(int type)
{
    switch (type) {
    case MDB_BOOL:
        return "boolean";
    case MDB_BYTE:
        return "byte";
    case MDB_INT:
        return "integer";
    case MDB_LONGINT:
        return "long";
    case MDB_MONEY:
        return "currency";
    case MDB_FLOAT:
        return "single";
    case MDB_DOUBLE:
        return "double";
    case MDB_DATETIME:
        return "date";
    case MDB_NUMERIC:
        return "decimal";
    case MDB_TEXT:
        return "text";
    case MDB_MEMO:
        return "memo";
    case MDB_OLE:
        return "long binary";
    case MDB_BINARY:
        return "binary";
    default:
        return "other";
    }
}

bool decodeNumber(int type, const unsigned char* p, int size, int scale, FieldValue& out)
{
    if (size != storedSize(type))
        return false;
    switch (type) {
    case MDB_BYTE:
        out = FieldValue(std::int64_t(p[0]));
        return true;
    case MDB_INT:
        out = FieldValue(std::int64_t(std::int16_t(std::uint16_t(p[0] | p[1] << 8))));
        return true;
    case MDB_LONGINT:
        out = FieldValue(std::int64_t(std::int32_t(le32(p))));
        return true;
    case MDB_MONEY:
        out = FieldValue(FieldValue::Currency{std::int64_t(le64(p))});
        return true;
    case MDB_FLOAT: {
        const std::uint32_t bits = le32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        out = FieldValue(f);
        return true;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: { // a date is a double: days since 30 December 1899
        const std::uint64_t bits = le64(p);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        out = FieldValue(v);
        return true;
    }
    case MDB_NUMERIC: {
        const std::optional<FieldValue::Decimal> d = decodeDecimal(p, scale);
        if (!d)
            return false;
        out = FieldValue(*d);
        return true;
    }
    default:
        return false;
    }
}

} // namespace store::detail
