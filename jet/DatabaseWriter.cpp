#include "WriterState.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

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

DatabaseWriter::DatabaseWriter(int fd) : DatabaseWriter(fd, Options{}) {}

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
