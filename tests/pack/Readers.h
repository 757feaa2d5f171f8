#pragma once
// Three ways of reading a database back, none sharing code with the writer: libmdb called
// directly, mdbtools' command line programs, and the mdb-reader package under node.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace packtest {

// Column types by the names the tests use: long, integer, single, double, ole.
struct ReadTable
{
    QStringList tables;  // every table in the catalog, system ones included
    QStringList columns; // in column order
    QStringList types;
    // Null is an invalid QVariant; numbers are doubles; long binaries are QByteArray.
    std::vector<std::vector<QVariant>> rows;
    QString warnings; // anything the reader printed on stderr
    // From the header page, mdb-reader only: null when there is no password.
    QVariant password;
    QDateTime created;
};

ReadTable readWithLibmdb(const QString& database, const QString& table);
// mdb-ver, mdb-tables, mdb-schema and mdb-export -b hex. Empty and Null long binaries look the
// same in mdb-export's output; both come back as an empty QByteArray.
ReadTable readWithMdbTools(const QString& database, const QString& table);
ReadTable readWithMdbReader(const QString& database, const QString& table);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
Run run(const QString& program, const QStringList& arguments, const QString& folder = {});

} // namespace packtest
