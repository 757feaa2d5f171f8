// What a reader needs to find the rows: each table's definition page and the usage maps that
// list its pages.
#include "WriterState.h"

#include <algorithm>
#include <cstring>

namespace jet {

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

} // namespace jet
