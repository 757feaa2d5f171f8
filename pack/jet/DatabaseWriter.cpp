#include "DatabaseWriter.h"

#include "PageFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace jet {

void BytesSource::read(char* into, std::int64_t length)
{
    if (length < 0 || m_position + length > m_bytes.size())
        throw Error("long value read past its end");
    std::memcpy(into, m_bytes.constData() + m_position, static_cast<std::size_t>(length));
    m_position += length;
}

std::int64_t longValueFootprint(std::int64_t size)
{
    if (size <= kMaxInlineLongValue)
        return size;
    if (size <= kMaxSingleLongValue)
        return kPageSize;
    return (size + kLongValueChunk - 1) / kLongValueChunk * kPageSize;
}

namespace {

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

void put8(char* p, unsigned v)
{
    p[0] = static_cast<char>(v & 0xff);
}
void put16(char* p, unsigned v)
{
    p[0] = static_cast<char>(v & 0xff);
    p[1] = static_cast<char>((v >> 8) & 0xff);
}
void put32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
void put64(char* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
void putDouble(char* p, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put64(p, bits);
}
void putFloat(char* p, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    put32(p, bits);
}

std::uint32_t pageRow(std::uint32_t page, int row)
{
    return (page << 8) | static_cast<std::uint32_t>(row);
}

QByteArray ucs2(const QString& s)
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
double jetDate(const QDateTime& t)
{
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return static_cast<double>(epoch.msecsTo(t.toUTC())) / 86'400'000.0;
}

// The masked part of the header page is RC4 with a key every Jet 4 file shares.
void rc4(const std::array<std::uint8_t, 4>& key, char* data, std::size_t length)
{
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::size_t n = 0; n < length; ++n) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] = static_cast<char>(static_cast<std::uint8_t>(data[n]) ^
                                    s[static_cast<std::uint8_t>(s[a] + s[b])]);
    }
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
    int rows() const { return m_rows; }
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

bool isLong(ColumnType t)
{
    return t == ColumnType::LongBinary || t == ColumnType::Memo;
}

int fixedSize(ColumnType t)
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

std::string quoted(const QString& s)
{
    return "\"" + s.toStdString() + "\"";
}

} // namespace

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

    std::uint32_t writeLongValue(Column& column, LongValueSource& source, QByteArray& field);
    void placeRow(Table& table, const QByteArray& row);
    QByteArray encodeRow(Table& table, std::span<const Value> values);
    std::uint32_t addMapRow(const std::vector<std::uint32_t>& pages);
    void writeDefinition(const Table& table);
    void writeHeader();
    void writeGlobalMap();
    void addCatalogEntry(std::int32_t id, std::int32_t parent, const QString& name,
                         std::int16_t type, std::uint32_t flags, bool engineOwned);
};

DatabaseWriter::DatabaseWriter(int fd) : DatabaseWriter(fd, Options{}) {}

namespace {
// The system tables a new Access 2000 database has, column for column.
std::vector<ColumnDef> msysObjectsColumns()
{
    using T = ColumnType;
    return {{"Id", T::Long},
            {"ParentId", T::Long},
            {"Name", T::Text},
            {"Type", T::Integer},
            {"DateCreate", T::DateTime},
            {"DateUpdate", T::DateTime},
            {"Owner", T::Binary},
            {"Flags", T::Long},
            {"Database", T::Memo},
            {"Connect", T::Memo},
            {"ForeignName", T::Text},
            {"RmtInfoShort", T::Binary},
            {"RmtInfoLong", T::LongBinary},
            {"Lv", T::LongBinary},
            {"LvProp", T::LongBinary},
            {"LvModule", T::LongBinary},
            {"LvExtra", T::LongBinary}};
}
std::vector<ColumnDef> msysAcesColumns()
{
    using T = ColumnType;
    return {
        {"ObjectId", T::Long}, {"SID", T::Binary}, {"ACM", T::Long}, {"FInheritable", T::Boolean}};
}
std::vector<ColumnDef> msysQueriesColumns()
{
    using T = ColumnType;
    return {{"ObjectId", T::Long}, {"Attribute", T::Byte}, {"Order", T::Binary},
            {"Name1", T::Text},    {"Name2", T::Text},     {"Expression", T::Memo},
            {"Flag", T::Integer},  {"LvExtra", T::Long}};
}
std::vector<ColumnDef> msysRelationshipsColumns()
{
    using T = ColumnType;
    return {{"szRelationship", T::Text},
            {"grbit", T::Long},
            {"ccolumn", T::Long},
            {"icolumn", T::Long},
            {"szObject", T::Text},
            {"szColumn", T::Text},
            {"szReferencedObject", T::Text},
            {"szReferencedColumn", T::Text}};
}

constexpr std::int32_t kTablesContainer = 0x0F000001;
constexpr std::int32_t kDatabasesContainer = 0x0F000002;
constexpr std::int32_t kRelationshipsContainer = 0x0F000003;
constexpr std::int32_t kRootContainer = 0x0F000000;
constexpr std::uint32_t kSystemObject = 0x80000000;

Table makeTable(const QString& name, std::vector<ColumnDef> defs, bool system)
{
    if (name.isEmpty() || name.size() > 64)
        throw Error("table name " + quoted(name) + " must have 1 to 64 characters");
    if (defs.empty() || defs.size() > 255)
        throw Error("table " + quoted(name) + " must have 1 to 255 columns");
    Table t;
    t.name = name;
    t.system = system;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        Column c;
        c.def = defs[i];
        if (c.def.name.isEmpty() || c.def.name.size() > 64)
            throw Error("column name " + quoted(c.def.name) + " must have 1 to 64 characters");
        for (std::size_t k = 0; k < i; ++k)
            if (defs[k].name.compare(c.def.name, Qt::CaseInsensitive) == 0)
                throw Error("column " + quoted(c.def.name) + " appears twice");
        c.number = static_cast<std::uint16_t>(i);
        c.fixed = fixedSize(c.def.type) > 0 || c.def.type == ColumnType::Boolean;
        if (c.fixed) {
            // A Yes/No column takes no room in the row, and sits at offset 0 like in Access.
            c.fixedOffset = static_cast<std::uint16_t>(fixedSize(c.def.type) ? t.fixedBytes : 0);
            t.fixedBytes += fixedSize(c.def.type);
        } else {
            c.varIndex = static_cast<std::uint16_t>(t.varColumns++);
        }
        t.columns.push_back(std::move(c));
    }
    return t;
}
} // namespace

DatabaseWriter::DatabaseWriter(int fd, Options options)
    : d(std::make_unique<State>(fd, std::move(options)))
{
    if (!d->options.created.isValid())
        d->options.created = QDateTime::currentDateTimeUtc();
    // Fixed places, as in every Access file: header, global map, then the system tables'
    // definitions on pages 2 to 5, which the header and the catalog both point at.
    d->file.allocate(); // 0: header
    d->globalMapPage = d->file.allocate();
    d->tables.push_back(makeTable("MSysObjects", msysObjectsColumns(), true));
    d->tables.push_back(makeTable("MSysACEs", msysAcesColumns(), true));
    d->tables.push_back(makeTable("MSysQueries", msysQueriesColumns(), true));
    d->tables.push_back(makeTable("MSysRelationships", msysRelationshipsColumns(), true));
    for (Table& t : d->tables)
        t.definitionPage = d->file.allocate();
    d->mapPages.emplace_back(d->file.allocate(), 0);

    d->addCatalogEntry(kTablesContainer, kRootContainer, "Tables", 3, kSystemObject, true);
    d->addCatalogEntry(kDatabasesContainer, kRootContainer, "Databases", 3, kSystemObject, true);
    d->addCatalogEntry(kRelationshipsContainer, kRootContainer, "Relationships", 3, kSystemObject,
                       true);
    d->addCatalogEntry(0x10000000, kDatabasesContainer, "MSysDb", 2, kSystemObject, true);
    for (const Table& t : d->tables)
        d->addCatalogEntry(static_cast<std::int32_t>(t.definitionPage), kTablesContainer, t.name, 1,
                           kSystemObject, true);
    // The containers Access itself adds for its forms, reports and the like.
    const char* const accessContainers[] = {"DataAccessPages", "Forms",   "Modules",
                                            "Reports",         "Scripts", "SysRel"};
    std::int32_t id = std::numeric_limits<std::int32_t>::min();
    for (const char* name : accessContainers)
        d->addCatalogEntry(id++, kRootContainer, QString::fromLatin1(name), 3, 0, false);
}

DatabaseWriter::~DatabaseWriter() = default;

std::int64_t DatabaseWriter::pageCount() const
{
    return d->file.pageCount();
}

DatabaseWriter::TableId DatabaseWriter::addTable(const QString& name,
                                                 std::vector<ColumnDef> columns)
{
    if (d->finished)
        throw Error("database already finished");
    for (const Table& t : d->tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            throw Error("table " + quoted(name) + " exists already");
    for (const ColumnDef& c : columns)
        if (c.type == ColumnType::Decimal &&
            (c.precision < 1 || c.precision > 18 || c.scale > c.precision))
            throw Error("column " + quoted(c.name) + ": a Decimal here has 1 to 18 digits");
    Table t = makeTable(name, std::move(columns), false);
    t.definitionPage = d->file.allocate();
    d->tables.push_back(std::move(t));
    const Table& added = d->tables.back();
    d->addCatalogEntry(static_cast<std::int32_t>(added.definitionPage), kTablesContainer,
                       added.name, 1, 0, false);
    return static_cast<TableId>(d->tables.size() - 1);
}

void DatabaseWriter::addRow(TableId id, std::span<const Value> values)
{
    if (d->finished)
        throw Error("database already finished");
    if (id < 4 || static_cast<std::size_t>(id) >= d->tables.size())
        throw Error("no such table");
    Table& table = d->tables[static_cast<std::size_t>(id)];
    d->placeRow(table, d->encodeRow(table, values));
}

void DatabaseWriter::State::addCatalogEntry(std::int32_t id, std::int32_t parent,
                                            const QString& name, std::int16_t type,
                                            std::uint32_t flags, bool engineOwned)
{
    const QDateTime& when = options.created;
    // Owner is a security id; these are the two Access puts on the objects of a new file.
    const QByteArray owner = engineOwned ? QByteArray("\xa7\x31", 2) : QByteArray("\xa6\x33", 2);
    std::vector<Value> row(tables[0].columns.size(), Null{});
    row[0] = std::int64_t{id};
    row[1] = std::int64_t{parent};
    row[2] = name;
    row[3] = std::int64_t{type};
    row[4] = when;
    row[5] = when;
    row[6] = owner;
    row[7] = std::int64_t{static_cast<std::int32_t>(flags)};
    placeRow(tables[0], encodeRow(tables[0], row));
}

std::uint32_t DatabaseWriter::State::writeLongValue(Column& column, LongValueSource& source,
                                                    QByteArray& field)
{
    const std::int64_t size = source.size();
    if (size < 0 || size > kMaxLongValueSize)
        throw Error("a value of " + std::to_string(size) + " bytes does not fit column " +
                    quoted(column.def.name) + " (16 MiB or more)");
    const auto length = static_cast<std::uint32_t>(size);
    field.resize(12);
    std::memset(field.data(), 0, 12);
    if (size <= kMaxInlineLongValue) {
        put32(field.data(), length | 0x80000000u);
        field.resize(12 + size);
        source.read(field.data() + 12, size);
        return 0;
    }
    auto remember = [&column](std::uint32_t page) {
        if (column.longValuePages.empty() || column.longValuePages.back() != page)
            column.longValuePages.push_back(page);
    };
    if (size <= kMaxSingleLongValue) {
        if (!longValuePage || !longValuePage->fits(static_cast<std::size_t>(size))) {
            if (longValuePage)
                file.write(longValuePage->page(), longValuePage->seal());
            longValuePage = RowPage::longValues(file.allocate());
        }
        int row = 0;
        char* into = longValuePage->reserve(static_cast<std::size_t>(size), &row);
        source.read(into, size);
        remember(longValuePage->page());
        put32(field.data(), length | 0x40000000u);
        put32(field.data() + 4, pageRow(longValuePage->page(), row));
        return 0;
    }
    // Whole pages, one row each: a pointer to the next piece, then the piece.
    const auto pieces = static_cast<std::uint32_t>((size + kLongValueChunk - 1) / kLongValueChunk);
    const std::uint32_t first = file.allocate(pieces);
    std::int64_t left = size;
    for (std::uint32_t i = 0; i < pieces; ++i) {
        const std::int64_t piece = std::min(left, kLongValueChunk);
        RowPage page = RowPage::longValues(first + i);
        int row = 0;
        char* into = page.reserve(static_cast<std::size_t>(piece + 4), &row);
        put32(into, i + 1 < pieces ? pageRow(first + i + 1, 0) : 0);
        source.read(into + 4, piece);
        file.write(first + i, page.seal());
        remember(first + i);
        left -= piece;
    }
    put32(field.data(), length);
    put32(field.data() + 4, pageRow(first, 0));
    return 0;
}

QByteArray DatabaseWriter::State::encodeRow(Table& table, std::span<const Value> values)
{
    if (values.size() != table.columns.size())
        throw Error("table " + quoted(table.name) + " has " + std::to_string(table.columns.size()) +
                    " columns, the row " + std::to_string(values.size()));
    const std::size_t maskBytes = (table.columns.size() + 7) / 8;
    std::vector<char> nullMask(maskBytes, 0);
    QByteArray fixed(table.fixedBytes, '\0');
    std::vector<QByteArray> variable(static_cast<std::size_t>(table.varColumns));

    for (std::size_t i = 0; i < values.size(); ++i) {
        Column& c = table.columns[i];
        const Value& v = values[i];
        if (c.def.type == ColumnType::Boolean) {
            // A Yes/No value is its bit in the null mask.
            const auto* n = std::get_if<std::int64_t>(&v);
            if (!n || (*n != 0 && *n != 1))
                throw Error("column " + quoted(c.def.name) + " of table " + quoted(table.name) +
                            ": needs 0 or 1");
            if (*n)
                nullMask[c.number / 8] =
                    static_cast<char>(nullMask[c.number / 8] | (1 << (c.number % 8)));
            continue;
        }
        if (std::holds_alternative<Null>(v))
            continue;
        nullMask[c.number / 8] = static_cast<char>(nullMask[c.number / 8] | (1 << (c.number % 8)));
        auto wrong = [&](const char* what) {
            return Error("column " + quoted(c.def.name) + " of table " + quoted(table.name) + ": " +
                         what);
        };
        char* at = fixed.data() + c.fixedOffset;
        switch (c.def.type) {
        case ColumnType::Boolean:
            break;
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long: {
            const auto* n = std::get_if<std::int64_t>(&v);
            if (!n)
                throw wrong("needs a whole number");
            const int bytes = fixedSize(c.def.type);
            const std::int64_t lo = bytes == 1 ? 0 : -(std::int64_t{1} << (8 * bytes - 1));
            const std::int64_t hi = bytes == 1 ? 255 : (std::int64_t{1} << (8 * bytes - 1)) - 1;
            if (*n < lo || *n > hi)
                throw wrong("number out of range");
            const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(*n));
            for (int k = 0; k < bytes; ++k)
                at[k] = static_cast<char>((u >> (8 * k)) & 0xff);
            break;
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            double x = 0;
            if (const auto* r = std::get_if<double>(&v))
                x = *r;
            else if (const auto* n = std::get_if<std::int64_t>(&v))
                x = static_cast<double>(*n);
            else
                throw wrong("needs a number");
            if (c.def.type == ColumnType::Single) {
                if (std::isfinite(x) && std::fabs(x) > std::numeric_limits<float>::max())
                    throw wrong("number too large for Single");
                putFloat(at, static_cast<float>(x));
            } else {
                putDouble(at, x);
            }
            break;
        }
        case ColumnType::Decimal: {
            // A sign byte, then the unscaled magnitude in 128 bits: four 32-bit words, the most
            // significant first, each little-endian.
            std::int64_t factor = 1;
            for (int k = 0; k < c.def.scale; ++k)
                factor *= 10;
            std::int64_t limit = 1;
            for (int k = 0; k < c.def.precision; ++k)
                limit *= 10;
            std::int64_t unscaled = 0;
            if (const auto* r = std::get_if<double>(&v)) {
                const double scaled = std::round(*r * double(factor));
                if (!std::isfinite(*r) || scaled / double(factor) != *r)
                    throw wrong("number with more decimal places than the column's scale");
                if (std::fabs(scaled) >= double(limit))
                    throw wrong("number out of range");
                unscaled = static_cast<std::int64_t>(scaled);
            } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
                if (*n <= -limit / factor || *n >= limit / factor)
                    throw wrong("number out of range");
                unscaled = *n * factor;
            } else {
                throw wrong("needs a number");
            }
            const auto magnitude =
                unscaled < 0 ? std::uint64_t(0) - std::uint64_t(unscaled) : std::uint64_t(unscaled);
            at[0] = static_cast<char>(unscaled < 0 ? 0x80 : 0x00);
            put32(at + 9, static_cast<std::uint32_t>(magnitude >> 32));
            put32(at + 13, static_cast<std::uint32_t>(magnitude));
            break;
        }
        case ColumnType::DateTime: {
            const auto* t = std::get_if<QDateTime>(&v);
            if (!t || !t->isValid())
                throw wrong("needs a date");
            putDouble(at, jetDate(*t));
            break;
        }
        case ColumnType::Binary: {
            const auto* b = std::get_if<QByteArray>(&v);
            if (!b)
                throw wrong("needs bytes");
            if (b->size() > 510)
                throw wrong("more than 510 bytes");
            variable[c.varIndex] = *b;
            break;
        }
        case ColumnType::Text: {
            const auto* s = std::get_if<QString>(&v);
            if (!s)
                throw wrong("needs text");
            if (s->size() > 255)
                throw wrong("more than 255 characters");
            variable[c.varIndex] = ucs2(*s);
            break;
        }
        case ColumnType::LongBinary:
        case ColumnType::Memo: {
            QByteArray field;
            if (auto* const* src = std::get_if<LongValueSource*>(&v); src && *src) {
                writeLongValue(c, **src, field);
            } else if (const auto* b = std::get_if<QByteArray>(&v)) {
                BytesSource bytes(*b);
                writeLongValue(c, bytes, field);
            } else if (const auto* s = std::get_if<QString>(&v);
                       s && c.def.type == ColumnType::Memo) {
                BytesSource bytes(ucs2(*s));
                writeLongValue(c, bytes, field);
            } else {
                throw wrong("needs a long value");
            }
            variable[c.varIndex] = std::move(field);
            break;
        }
        }
    }

    QByteArray row;
    row.reserve(2 + fixed.size() + 64);
    char two[2];
    put16(two, static_cast<unsigned>(table.columns.size()));
    row.append(two, 2);
    row.append(fixed);
    if (table.varColumns > 0) {
        std::vector<std::uint16_t> offsets;
        for (const QByteArray& field : variable) {
            offsets.push_back(static_cast<std::uint16_t>(row.size()));
            row.append(field);
        }
        const std::size_t tail = 2 + 2 * offsets.size() + 2 + maskBytes;
        if (static_cast<std::size_t>(row.size()) + tail > kMaxSingleLongValue)
            throw Error("a row of table " + quoted(table.name) + " does not fit on one page");
        put16(two, static_cast<unsigned>(row.size())); // end of the variable part
        row.append(two, 2);
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
            put16(two, *it);
            row.append(two, 2);
        }
        put16(two, static_cast<unsigned>(offsets.size()));
        row.append(two, 2);
    }
    row.append(nullMask.data(), static_cast<qsizetype>(maskBytes));
    return row;
}

void DatabaseWriter::State::placeRow(Table& table, const QByteArray& row)
{
    const auto length = static_cast<std::size_t>(row.size());
    if (!table.current || !table.current->fits(length)) {
        if (table.current)
            file.write(table.current->page(), table.current->seal());
        table.current.emplace(file.allocate(), table.definitionPage);
        table.dataPages.push_back(table.current->page());
    }
    table.current->add(row.constData(), length);
    ++table.rowCount;
}

// A usage map row: a bitmap of pages inline when they lie close together, otherwise a list of
// bitmap pages (type 0x05) that together cover the whole file.
std::uint32_t DatabaseWriter::State::addMapRow(const std::vector<std::uint32_t>& unsorted)
{
    std::vector<std::uint32_t> pages = unsorted;
    std::sort(pages.begin(), pages.end());
    QByteArray row;
    if (pages.empty() || pages.back() - pages.front() < kInlineMapBytes * 8) {
        row = QByteArray(5 + kInlineMapBytes, '\0');
        const std::uint32_t start = pages.empty() ? 0 : pages.front();
        put32(row.data() + 1, start);
        for (std::uint32_t p : pages)
            row[5 + (p - start) / 8] =
                static_cast<char>(row[5 + (p - start) / 8] | (1 << ((p - start) % 8)));
    } else {
        const std::uint32_t pointerCount =
            std::max<std::uint32_t>(pages.back() / kPagesPerMapPage + 1, 17);
        row = QByteArray(static_cast<qsizetype>(1 + 4 * pointerCount), '\0');
        row[0] = 0x01;
        std::size_t i = 0;
        while (i < pages.size()) {
            const std::uint32_t slot = pages[i] / kPagesPerMapPage;
            std::vector<char> bitmap(kPageSize, '\0');
            bitmap[0] = 0x05;
            bitmap[1] = 0x01;
            for (; i < pages.size() && pages[i] / kPagesPerMapPage == slot; ++i) {
                const std::uint32_t bit = pages[i] % kPagesPerMapPage;
                bitmap[4 + bit / 8] = static_cast<char>(bitmap[4 + bit / 8] | (1 << (bit % 8)));
            }
            const std::uint32_t mapPage = file.allocate();
            file.write(mapPage, bitmap.data());
            put32(row.data() + 1 + 4 * slot, mapPage);
        }
    }
    const auto length = static_cast<std::size_t>(row.size());
    if (length > kMaxSingleLongValue)
        throw Error("usage map too large");
    if (!mapPages.back().fits(length))
        mapPages.emplace_back(file.allocate(), 0);
    const int r = mapPages.back().add(row.constData(), length);
    return pageRow(mapPages.back().page(), r);
}

void DatabaseWriter::State::writeDefinition(const Table& table)
{
    std::vector<char> page(kPageSize, '\0');
    char* p = page.data();
    put8(p, 0x02);
    put8(p + 1, 0x01);
    put32(p + 12, kDefinitionTag);
    put32(p + 16, table.rowCount);
    put8(p + 24, 0x01);
    put8(p + 40, table.system ? 0x53 : 0x4e);
    const auto columnCount = static_cast<unsigned>(table.columns.size());
    put16(p + 41, columnCount);
    put16(p + 43, static_cast<unsigned>(table.varColumns));
    put16(p + 45, columnCount);
    put32(p + 55, addMapRow(table.dataPages));
    // Pages with room for more rows: only the last one, which the writer never got to fill.
    std::vector<std::uint32_t> roomy;
    if (!table.dataPages.empty())
        roomy.push_back(table.dataPages.back());
    put32(p + 59, addMapRow(roomy));

    // Access lists a system table's columns alphabetically and a user table's in column order;
    // readers sort by column number either way.
    std::vector<const Column*> order;
    for (const Column& c : table.columns)
        order.push_back(&c);
    if (table.system)
        std::stable_sort(order.begin(), order.end(), [](const Column* a, const Column* b) {
            return a->def.name.compare(b->def.name, Qt::CaseInsensitive) < 0;
        });

    std::size_t at = 63;
    auto need = [&](std::size_t n) {
        if (at + n > kPageSize)
            throw Error("the definition of table " + quoted(table.name) +
                        " needs more than a page");
    };
    for (const Column* c : order) {
        need(25);
        char* e = p + at;
        put8(e, static_cast<unsigned>(c->def.type));
        put32(e + 1, kDefinitionTag);
        put16(e + 5, c->number);
        put16(e + 7, c->fixed ? 0 : c->varIndex);
        put16(e + 9, c->number);
        if (c->def.type == ColumnType::Decimal) {
            put8(e + 11, c->def.precision);
            put8(e + 12, c->def.scale);
        } else {
            put16(e + 11, kGeneralSortOrder);
        }
        unsigned flags = c->fixed ? 0x03 : 0x02; // fixed length; may be null
        if (table.system)
            flags |= c->def.type == ColumnType::Binary && c->def.name != "RmtInfoShort" &&
                             c->def.name != "Order"
                         ? 0x30
                         : 0x10;
        put8(e + 15, flags);
        // User text may be stored compressed; this writer never does, but Access would.
        const bool text = c->def.type == ColumnType::Text || c->def.type == ColumnType::Memo;
        put8(e + 16, !table.system && text ? 0x01 : 0x00);
        put16(e + 21, c->fixed ? c->fixedOffset : 0);
        unsigned size = static_cast<unsigned>(fixedSize(c->def.type));
        if (c->def.type == ColumnType::Boolean)
            size = 1;
        if (c->def.type == ColumnType::Text || c->def.type == ColumnType::Binary)
            size = 510;
        put16(e + 23, size);
        at += 25;
    }
    for (const Column* c : order) {
        const QByteArray name = ucs2(c->def.name);
        need(2 + static_cast<std::size_t>(name.size()));
        put16(p + at, static_cast<unsigned>(name.size()));
        std::memcpy(p + at + 2, name.constData(), static_cast<std::size_t>(name.size()));
        at += 2 + static_cast<std::size_t>(name.size());
    }
    // Each long-value column owns the pages its values went to.
    for (const Column* c : order) {
        if (!isLong(c->def.type))
            continue;
        need(10);
        put16(p + at, c->number);
        put32(p + at + 2, addMapRow(c->longValuePages));
        put32(p + at + 6, addMapRow({}));
        at += 10;
    }
    need(2);
    put16(p + at, 0xffff);
    at += 2;
    put32(p + 8, static_cast<std::uint32_t>(at));
    put16(p + 2, static_cast<unsigned>(kPageSize - 8 - at));
    file.write(table.definitionPage, p);
}

void DatabaseWriter::State::writeGlobalMap()
{
    // What a new Access file carries on page 1: a full map and an empty one.
    RowPage page(globalMapPage, 1);
    QByteArray full(5 + kInlineMapBytes, '\0');
    std::memset(full.data() + 5, 0xff, kInlineMapBytes);
    page.add(full.constData(), static_cast<std::size_t>(full.size()));
    const QByteArray empty(5 + kInlineMapBytes, '\0');
    page.add(empty.constData(), static_cast<std::size_t>(empty.size()));
    file.write(globalMapPage, page.seal());
}

void DatabaseWriter::State::writeHeader()
{
    std::vector<char> page(kPageSize, '\0');
    char* p = page.data();
    put32(p, 0x00000100);
    std::memcpy(p + 4, "Standard Jet DB", 16); // with its terminating zero
    put32(p + 0x14, 1);                        // Jet 4
    // The masked area, in the clear. Its first words repeat in every Access 2000 file and
    // point at the system tables on pages 2 to 5.
    const std::uint32_t leading[] = {0x100, 0x101, 2, 3, 4, 5};
    for (std::size_t i = 0; i < std::size(leading); ++i)
        put32(p + 0x18 + 4 * i, leading[i]);
    put16(p + 0x3c, 1252); // code page
    const double created = jetDate(options.created);
    // The password, mixed with the creation day; for no password, the day alone.
    const auto day = static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(created)));
    for (int i = 0; i < 40; i += 4)
        put32(p + 0x42 + i, day);
    put16(p + 0x6a, 0x21aa);
    put16(p + 0x6e, kGeneralSortOrder);
    putDouble(p + 0x72, created);
    rc4({0xc7, 0xda, 0x39, 0x6b}, p + 0x18, 128);
    // Outside the masked area: the engine version that made the file, and a table Access keeps
    // at the end of the page.
    put32(p + 0x98, 0x0654);
    std::memcpy(p + 0x9c, "4.0", 4);
    put16(p + 0xe00, 0x0101);
    for (int i = 0xe02; i < kPageSize; i += 2)
        put16(p + i, 0x0100);
    file.write(0, p);
}

void DatabaseWriter::finish()
{
    if (d->finished)
        throw Error("database already finished");
    d->finished = true;
    for (Table& t : d->tables)
        if (t.current) {
            d->file.write(t.current->page(), t.current->seal());
            t.current.reset();
        }
    if (d->longValuePage) {
        d->file.write(d->longValuePage->page(), d->longValuePage->seal());
        d->longValuePage.reset();
    }
    for (const Table& t : d->tables)
        d->writeDefinition(t);
    for (RowPage& m : d->mapPages)
        d->file.write(m.page(), m.seal());
    d->writeGlobalMap();
    d->writeHeader();
    d->file.finish();
}

} // namespace jet
