#pragma once

// Helpers shared by the store tests: a database copied into a temporary program folder, the
// connection string the game builds, and mdb-export as an independent reader of the same file.

#include "store/Connection.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace storetest {

inline QString sharedJet(const QString& name)
{
    return QStringLiteral(TAVRELLO_SHARED_DIR "/testdata/jet/") + name;
}

inline std::string connectionString(const QString& folder)
{
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder.toStdString()
           + "/dbImages.mdb;JET OLEDB:Database Password=";
}

// Copies a shared file into dir as dbImages.mdb (shared files are read-only and must stay clean).
inline bool installAs(const QTemporaryDir& dir, const QString& source)
{
    const QString target = dir.filePath("dbImages.mdb");
    QFile::remove(target);
    if (!QFile::copy(source, target))
        return false;
    return QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

struct Export
{
    QStringList header;
    QList<QStringList> rows;
};

// mdb-export's view of a table, binary values as hex, with separators that no Northwind text holds.
inline Export mdbExport(const QString& file, const QString& table)
{
    QProcess p;
    p.start("mdb-export", { "-b", "hex", "-Q", "-d", QString(QChar(0x1f)), "-R", QString(QChar(0x1e)), file, table });
    Export out;
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return out;
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QStringList records = text.split(QChar(0x1e));
    if (!records.isEmpty() && records.last().isEmpty())
        records.removeLast();
    if (records.isEmpty())
        return out;
    out.header = records.takeFirst().split(QChar(0x1f));
    for (const QString& r : records)
        out.rows.append(r.split(QChar(0x1f)));
    return out;
}

} // namespace storetest
