#include "Catalog.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace store::detail {

bool usableTable(const MdbTableDef* table)
{
    // Access itself allows 255 fields and 32 indexes per table, so no file it wrote is refused.
    if (!table || table->num_cols < 1 || table->num_cols > MDB_MAX_COLS ||
        table->num_real_idxs > 256 || table->num_idxs > 256)
        return false;
    if (!table->usage_map || table->map_sz < 1)
        return false;
    // Of another map type than 0 and 1 libmdb scans every page and loses the row's page; a
    // map of type 0 starts with its type and the first page it covers.
    return table->usage_map[0] <= 1 && !(table->usage_map[0] == 0 && table->map_sz < 5);
}

bool readCatalog(MdbHandle* mdb)
{
    if (mdb->catalog)
        mdb_free_catalog(mdb);
    mdb->catalog = g_ptr_array_new();
    mdb->num_catalog = 0;

    // The catalog is itself a table, MSysObjects, whose definition is always on page 2.
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    g_strlcpy(objects.object_name, "MSysObjects", sizeof objects.object_name);
    MdbTableDef* table = mdb_read_table(&objects);
    if (!table)
        return false;
    if (!usableTable(table) || !mdb_read_columns(table)) {
        mdb_free_tabledef(table);
        return false;
    }
    const std::size_t size = std::max<std::size_t>(mdb->bind_size, MDB_BIND_SIZE) + 1;
    std::vector<char> id(size), name(size), type(size), flags(size);
    char idName[] = "Id", nameName[] = "Name", typeName[] = "Type", flagsName[] = "Flags";
    if (mdb_bind_column_by_name(table, idName, id.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table, nameName, name.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table, typeName, type.data(), nullptr) == -1 ||
        mdb_bind_column_by_name(table, flagsName, flags.data(), nullptr) == -1) {
        mdb_free_tabledef(table);
        return false;
    }
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
        entry->mdb = mdb;
        // Bounded: a damaged name longer than the entry's field must not run past it.
        g_strlcpy(entry->object_name, name.data(), sizeof entry->object_name);
        entry->object_type = static_cast<int>(std::strtol(type.data(), nullptr, 10) & 0x7f);
        entry->table_pg =
            static_cast<unsigned long>(std::strtol(id.data(), nullptr, 10) & 0x00ffffff);
        entry->flags = static_cast<int>(std::strtol(flags.data(), nullptr, 10));
        g_ptr_array_add(mdb->catalog, entry);
        mdb->num_catalog++;
    }
    mdb_free_tabledef(table);
    return true;
}

} // namespace store::detail
