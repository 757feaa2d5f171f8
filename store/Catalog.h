#pragma once

// Internal to store/: reading the file's catalog, and the check every table definition passes
// before libmdb walks it, the catalog's own included.

#include <glib.h>
#include <mdbtools.h>

namespace store::detail {

// Checks a table definition just read by mdb_read_table before libmdb goes further with it:
// libmdb walks the table's pages through its usage map without checking that the map was found or
// is long enough for its own header; it reads the fields' definitions from an offset computed
// from the index count (an int that overflows) and cracks rows into a 256-entry array whatever
// the field count says. False for a definition that would take libmdb out of bounds.
bool usableTable(const MdbTableDef* table);

// Fills mdb->catalog with the file's objects like mdb_read_catalog, but without their property
// lists: libmdb's parser of those loops forever on a zero-length record, and the game needs no
// properties. False when the catalog table can't be read.
bool readCatalog(MdbHandle* mdb);

} // namespace store::detail
