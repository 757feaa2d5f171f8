// libFuzzer target: the game's whole read path over a mutated database file. Every outcome but a
// StoreError is a fault: a crash, a sanitizer report, a hang or another exception type.

#include "store/Connection.h"
#include "store/Recordset.h"
#include "store/StoreError.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& folder()
{
    static const std::string dir = [] {
        char name[] = "/tmp/tavrello-fuzz-XXXXXX";
        if (!mkdtemp(name))
            std::abort();
        return std::string(name);
    }();
    return dir;
}

void readAll(store::Connection& connection, const std::string& query)
{
    try {
        store::Recordset rs;
        rs.setCursorLocation(3);
        rs.Open(query, connection, 3, 3);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = folder() + "/dbImages.mdb";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    try {
        store::Connection connection;
        connection.Open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder()
                        + "/dbImages.mdb;JET OLEDB:Database Password=");
        for (int level = 1; level <= 3; ++level)
            readAll(connection, "select * from tblImages where level=" + std::to_string(level) + " order by id");
        // Files that are not the game's still reach the row and picture code through their own
        // tables (the Northwind seeds, for instance).
        int tables = 0;
        for (const std::string& table : connection.tableNames()) {
            if (++tables > 4)
                break;
            readAll(connection, "select * from [" + table + "]");
        }
        connection.Close();
    } catch (const store::StoreError&) {
    }
    return 0;
}
