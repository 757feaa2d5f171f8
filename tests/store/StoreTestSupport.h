#pragma once

// Helpers shared by the store tests: a database copied into a temporary program folder, the
// connection string the game builds, and databases written by tavrello-pack.

#include "store/Connection.h"
#include "store/Recordset.h"
#include "store/StoreError.h"
#include "tests/TestFiles.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
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

using testfiles::readFile;
using testfiles::writeFile;

// Copies a file into dir as dbImages.mdb, writable (shared files are read-only and stay clean).
inline bool installAs(const QTemporaryDir& dir, const QString& source)
{
    const QString target = dir.filePath("dbImages.mdb");
    QFile::remove(target);
    return QFile::copy(source, target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

// The message of the StoreError that `run` throws; "nothing thrown" when it returns.
template <class Run> QString failure(Run run)
{
    try {
        run();
    } catch (const store::StoreError& e) {
        return e.what();
    }
    return "nothing thrown";
}

// The folder's database opened on a connection, with a record set of `query` on it.
struct Opened
{
    Opened(const QString& folder, const std::string& query)
    {
        connection.Open(connectionString(folder));
        rs.Open(query, connection, store::kStaticCursor, store::kOptimisticLock);
    }
    store::Connection connection;
    store::Recordset rs;
};

inline QJsonObject rect(QJsonValue x1, QJsonValue y1, QJsonValue x2, QJsonValue y2)
{
    return {{"x1", x1}, {"y1", y1}, {"x2", x2}, {"y2", y2}};
}

// Four rectangles whose first left edge is `base`, so a row can be recognised by its loc1_x1.
inline QJsonArray fourRects(QJsonValue base)
{
    const double b = base.toDouble();
    QJsonArray a{rect(base, 1, b + 5, 6)};
    for (int k = 1; k < 4; ++k)
        a.append(rect(b + k * 10, b + k * 10 + 1, b + k * 10 + 5, b + k * 10 + 6));
    return a;
}

// One row of the picture table: original and modified are file names in the folder, or null.
inline QJsonObject pair(int id, int level, QJsonValue original, QJsonValue modified,
                        const QJsonArray& differences)
{
    return {{"id", id},
            {"level", level},
            {"original", original},
            {"modified", modified},
            {"differences", differences}};
}

// Writes a manifest of `pairs` into dir, runs tavrello-pack and leaves dir/dbImages.mdb.
inline bool pack(const QTemporaryDir& dir, const QString& coordinateType, const QJsonArray& pairs)
{
    const QJsonObject manifest{
        {"units", "twips"}, {"coordinate_type", coordinateType}, {"pairs", pairs}};
    if (!writeFile(dir.filePath("manifest.json"), QJsonDocument(manifest).toJson()))
        return false;
    QProcess p;
    p.start(TAVRELLO_PACK_EXE,
            {"build", dir.filePath("manifest.json"), "-o", dir.filePath("dbImages.mdb")});
    return p.waitForFinished(120000) && p.exitCode() == 0;
}
} // namespace storetest
