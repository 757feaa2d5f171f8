#pragma once
// Running tavrello-pack, and reading what it wrote with mdb-reader (under node), a reader that
// shares no code with the writer nor with libmdb, which the game reads through.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace packtest {

struct ReadTable
{
    QStringList tables;  // every table in the catalog, system ones included
    QStringList columns; // in column order
    QStringList types;   // long, integer, single, double, boolean, ole, ...
    // Null is an invalid QVariant; numbers are doubles; long binaries are QByteArray.
    std::vector<std::vector<QVariant>> rows;
    QString warnings;  // anything the reader printed on stderr, or why it could not read
    QVariant password; // null when there is none
    QDateTime created;
};

ReadTable readWithMdbReader(const QString& database, const QString& table);

struct Run
{
    int exitCode = -1; // -1 when the program did not start or crashed
    QByteArray out;
    QByteArray err;
};
Run run(const QString& program, const QStringList& arguments, const QString& folder = {});
inline Run runPack(const QStringList& arguments, const QString& folder = {})
{
    return run(QStringLiteral(TAVRELLO_PACK), arguments, folder);
}

} // namespace packtest
