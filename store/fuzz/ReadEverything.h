#pragma once

// The game's whole read path over one database file: open, the three level queries, every row,
// every field's Value and every picture to its end; then the file's other tables the same way so
// files that are not the game's still reach the row and picture code. Only StoreError may leave
// the store; anything else (or a crash) is a fault. Shared by the fuzz target and the tests that
// replay the inputs it found.

#include "store/Connection.h"
#include "store/Recordset.h"
#include "store/StoreError.h"

#include <string>

namespace storefuzz {

inline void readQuery(store::Connection& connection, const std::string& query)
{
    try {
        store::Recordset rs;
        rs.setCursorLocation(store::kClientCursor);
        rs.Open(query, connection, store::kStaticCursor, store::kOptimisticLock);
        if (!rs.Eof())
            rs.MoveFirst();
        while (!rs.Eof()) {
            for (const std::string& name : rs.fieldNames()) {
                store::Field field = rs.Fields(name);
                try {
                    (void)field.Value().toString();
                } catch (const store::StoreError&) {
                }
                try {
                    (void)field.ActualSize();
                    while (!field.GetChunk(100000).empty()) {
                    }
                } catch (const store::StoreError&) {
                }
            }
            rs.MoveNext();
        }
    } catch (const store::StoreError&) {
    }
}

// Returns true when the file opened as a database.
inline bool readEverything(const std::string& folder)
{
    try {
        store::Connection connection;
        connection.Open(store::connectionStringFor(folder + "/dbImages.mdb"));
        for (int level = 1; level <= 3; ++level)
            readQuery(connection, "select * from tblImages where level=" + std::to_string(level) +
                                      " order by id");
        int tables = 0;
        for (const std::string& table : connection.tableNames()) {
            if (++tables > 4)
                break;
            readQuery(connection, "select * from [" + table + "]");
        }
        connection.Close();
        return true;
    } catch (const store::StoreError&) {
        return false;
    }
}

} // namespace storefuzz
