// Reads a Tavrello picture database with mdb-reader and prints it as JSON on stdout:
// { "tables": [...], "password", "created", "columns": [{ "name", "type" }], "rows": [{ column: value }] }
// Long binary values come out as { "base64": "..." }, so the test can compare them byte for byte.
// Usage: node read.mjs DATABASE.mdb TABLE
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [database, tableName] = process.argv.slice(2);
if (!database || !tableName) {
    process.stderr.write("usage: node read.mjs DATABASE.mdb TABLE\n");
    process.exit(2);
}
const reader = new MDBReader(readFileSync(database));
const table = reader.getTable(tableName);
const rows = table.getData().map((row) => {
    const out = {};
    for (const [name, value] of Object.entries(row)) {
        out[name] = Buffer.isBuffer(value) ? { base64: value.toString("base64") } : value;
    }
    return out;
});
process.stdout.write(
    JSON.stringify({
        tables: reader.getTableNames({ systemTables: true }),
        password: reader.getPassword(),
        created: reader.getCreationDate()?.toISOString() ?? null,
        columns: table.getColumns().map((c) => ({ name: c.name, type: c.type })),
        rowCount: table.rowCount,
        rows,
    }),
);
