// Prints every user table of a database as mdb-reader reads it, as JSON on stdout:
// { "tables": [{ "name", "columns": [{ "name", "type" }], "rows": [[value, ...]] }] }
// Values keep mdb-reader's types: null, booleans, numbers, text (also Currency and Decimal, which
// mdb-reader gives as exact decimal text), { "base64" } for binary values, { "ms" } for dates
// (milliseconds since 1970 as mdb-reader computes them) and { "bigint" } as text.
// Usage: node dump.mjs DATABASE
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [database] = process.argv.slice(2);
if (!database) {
    process.stderr.write("usage: node dump.mjs DATABASE\n");
    process.exit(2);
}
const typed = (value) => {
    if (Buffer.isBuffer(value)) return { base64: value.toString("base64") };
    if (value instanceof Date) return { ms: value.getTime() };
    if (typeof value === "bigint") return { bigint: value.toString() };
    return value;
};
const reader = new MDBReader(readFileSync(database));
const tables = reader.getTableNames().map((name) => {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type }));
    const rows = table.getData().map((row) => columns.map((c) => typed(row[c.name])));
    return { name, columns, rows };
});
process.stdout.write(JSON.stringify({ tables }));
