#pragma once
// The writer's inner parts, shared by the files that make up DatabaseWriter: the byte layout
// helpers, the page being filled, and what the writer knows of each table while it writes.
// Not for use outside jet/.

#include "DatabaseWriter.h"
#include "PageFile.h"

#include <QDateTime>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace jet {

// Every data and long-value page starts with this much before its row offsets.
constexpr int kDataHeader = 14;
// A "Type 0" usage map covers this many pages from its start page, as Access sizes it.
constexpr int kInlineMapBytes = 64;
// One page of type 0x05 maps this many pages.
constexpr std::uint32_t kPagesPerMapPage = (kPageSize - 4) * 8;
// Found in the same spot of every table and column definition Access writes.
constexpr std::uint32_t kDefinitionTag = 0x0659;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
// Row numbers share a 32-bit pointer with the page number and get its low byte.
constexpr int kMaxRowsPerPage = 255;

inline void put8(char* p, unsigned v)
{
    p[0] = static_cast<char>(v & 0xff);
}
inline void put16(char* p, unsigned v)
{
    p[0] = static_cast<char>(v & 0xff);
    p[1] = static_cast<char>((v >> 8) & 0xff);
}
inline void put32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
inline void put64(char* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
inline void putDouble(char* p, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put64(p, bits);
}
inline void putFloat(char* p, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(p, bits);
}

inline std::uint32_t pageRow(std::uint32_t page, int row)
{
    return (page << 8) | static_cast<std::uint32_t>(row);
}

inline QByteArray ucs2(const QString& s)
{
    QByteArray out(s.size() * 2, '\0');
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        out[2 * i] = static_cast<char>(c & 0xff);
        out[2 * i + 1] = static_cast<char>(c >> 8);
    }
    return out;
}

// Jet keeps dates as days since 1899-12-30, the fraction being the time of day.
inline double jetDate(const QDateTime& t)
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return static_cast<double>(epoch.msecsTo(t.toUTC())) / 86'400'000.0;
}

// A data or long-value page being filled: row offsets grow down from the header, rows grow up
// from the end of the page.
class RowPage
{
  public:
    RowPage(std::uint32_t page, std::uint32_t owner) : m_page(page), m_bytes(kPageSize, '\0')
    {
        put8(&m_bytes[0], 0x01);
        put8(&m_bytes[1], 0x01);
        put32(&m_bytes[4], owner);
    }
    static RowPage longValues(std::uint32_t page)
    {
        RowPage p(page, 0);
        std::memcpy(&p.m_bytes[4], "LVAL", 4);
        return p;
    }
    std::uint32_t page() const { return m_page; }
    bool fits(std::size_t length) const
    {
        return m_rows < kMaxRowsPerPage &&
               static_cast<std::size_t>(m_end) >= length + kDataHeader + 2 * (m_rows + 1);
    }
    int add(const char* row, std::size_t length)
    {
        m_end -= static_cast<int>(length);
        std::memcpy(&m_bytes[static_cast<std::size_t>(m_end)], row, length);
        put16(&m_bytes[static_cast<std::size_t>(kDataHeader + 2 * m_rows)],
              static_cast<unsigned>(m_end));
        return m_rows++;
    }
    // Room for a row of `length` bytes written straight into the page by the caller.
    char* reserve(std::size_t length, int* row)
    {
        m_end -= static_cast<int>(length);
        put16(&m_bytes[static_cast<std::size_t>(kDataHeader + 2 * m_rows)],
              static_cast<unsigned>(m_end));
        *row = m_rows++;
        return &m_bytes[static_cast<std::size_t>(m_end)];
    }
    const char* seal()
    {
        put16(&m_bytes[2], static_cast<unsigned>(m_end - kDataHeader - 2 * m_rows));
        put16(&m_bytes[12], static_cast<unsigned>(m_rows));
        return m_bytes.data();
    }

  private:
    std::uint32_t m_page;
    std::vector<char> m_bytes;
    int m_rows = 0;
    int m_end = kPageSize;
};

inline bool isLong(ColumnType t)
{
    return t == ColumnType::LongBinary || t == ColumnType::Memo;
}

inline int fixedSize(ColumnType t)
{
    switch (t) {
    case ColumnType::Byte:
        return 1;
    case ColumnType::Integer:
        return 2;
    case ColumnType::Long:
    case ColumnType::Single:
        return 4;
    case ColumnType::Double:
    case ColumnType::DateTime:
        return 8;
    case ColumnType::Decimal:
        return 17;
    default:
        return 0;
    }
}

struct Column
{
    ColumnDef def;
    std::uint16_t number = 0;
    bool fixed = false;
    std::uint16_t fixedOffset = 0;
    std::uint16_t varIndex = 0;
    std::vector<std::uint32_t> longValuePages;
};

struct Table
{
    QString name;
    bool system = false;
    std::uint32_t definitionPage = 0;
    std::vector<Column> columns;
    int fixedBytes = 0;
    int varColumns = 0;
    std::optional<RowPage> current;
    std::vector<std::uint32_t> dataPages;
    std::uint32_t rowCount = 0;
};

inline std::string quoted(const QString& s)
{
    return "\"" + s.toStdString() + "\"";
}

struct DatabaseWriter::State
{
    State(int fd, Options o) : options(std::move(o)), file(fd, options.maxFileSize) {}

    Options options;
    PageFile file;
    std::vector<Table> tables;
    std::optional<RowPage> longValuePage;
    std::vector<RowPage> mapPages;
    std::uint32_t globalMapPage = 0;
    bool finished = false;

    // The field a long value leaves in its row, after writing its bytes wherever their size
    // puts them: inside the field, on a long-value page shared with others, or a page chain.
    QByteArray writeLongValue(Column& column, LongValueSource& source);
    QByteArray longValueOnSharedPage(Column& column, LongValueSource& source);
    QByteArray longValueChain(Column& column, LongValueSource& source);
    void placeRow(Table& table, const QByteArray& row);
    QByteArray encodeRow(Table& table, std::span<const Value> values);
    std::uint32_t addMapRow(const std::vector<std::uint32_t>& pages);
    void writeDefinition(const Table& table);
    void writeHeader();
    void writeGlobalMap();
    void addCatalogEntry(std::int32_t id, std::int32_t parent, const QString& name,
                         std::int16_t type, std::uint32_t flags, bool engineOwned);
};

} // namespace jet
