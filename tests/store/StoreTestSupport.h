#pragma once

// Helpers shared by the store tests: a database copied into a temporary program folder, the
// connection string the game builds, and mdb-export as an independent reader of the same file.

#include "store/Connection.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace storetest {

// Access files we may not redistribute live outside the tree (TAVRELLO_JET_TESTDATA).
inline bool haveJetTestData()
{
    return QFile::exists(QStringLiteral(TAVRELLO_JET_TESTDATA "/northwind-jet4.mdb"));
}

inline QString sharedJet(const QString& name)
{
    return QStringLiteral(TAVRELLO_JET_TESTDATA "/") + name;
}

// The redistributable files of another Jet reader's test suite, committed with their licence.
inline QString mdbReaderFile(const QString& name)
{
    return QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/data/mdb-reader/") + name;
}

#define SKIP_WITHOUT_JET_TESTDATA()                                                                \
    do {                                                                                           \
        if (!storetest::haveJetTestData())                                                         \
            QSKIP("needs the Access files of TAVRELLO_JET_TESTDATA, not on this machine");         \
    } while (false)

inline std::string connectionString(const QString& folder)
{
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder.toStdString() +
           "/dbImages.mdb;JET OLEDB:Database Password=";
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
    p.start("mdb-export", {"-b", "hex", "-Q", "-d", QString(QChar(0x1f)), "-R",
                           QString(QChar(0x1e)), file, table});
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

inline void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

inline QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

#ifdef TAVRELLO_PACK_EXE
inline QJsonObject rect(QJsonValue x1, QJsonValue y1, QJsonValue x2, QJsonValue y2)
{
    return {{"x1", x1}, {"y1", y1}, {"x2", x2}, {"y2", y2}};
}

// Four rectangles whose first left edge is `base`, so a row can be recognised by its loc1_x1.
inline QJsonArray fourRects(int base)
{
    QJsonArray a;
    for (int k = 0; k < 4; ++k)
        a.append(rect(base + k * 10, base + k * 10 + 1, base + k * 10 + 5, base + k * 10 + 6));
    return a;
}

struct Pair
{
    int id;
    int level;
    QJsonValue original; // file name in the folder, or null
    QJsonValue modified;
    QJsonArray differences;
};

// Writes a manifest of `pairs` into dir, runs tavrello-pack and leaves dir/dbImages.mdb.
inline bool pack(const QTemporaryDir& dir, const QString& coordinateType, const QList<Pair>& pairs)
{
    QJsonArray list;
    for (const Pair& p : pairs)
        list.append(QJsonObject{{"id", p.id},
                                {"level", p.level},
                                {"original", p.original},
                                {"modified", p.modified},
                                {"differences", p.differences}});
    const QJsonObject manifest{
        {"units", "twips"}, {"coordinate_type", coordinateType}, {"pairs", list}};
    QFile f(dir.filePath("manifest.json"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(manifest).toJson());
    f.close();
    QProcess p;
    p.start(TAVRELLO_PACK_EXE,
            {"build", dir.filePath("manifest.json"), "-o", dir.filePath("dbImages.mdb")});
    return p.waitForFinished(120000) && p.exitCode() == 0;
}
#endif

} // namespace storetest
