// Writing a field's value to a file and removing files quietly: what is left on disk afterwards.

#include "StoreTestSupport.h"

#include "store/PictureFiles.h"
#include "store/Recordset.h"
#include "store/StoreError.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace store;
using namespace storetest;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestPictureFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void leftovers_data();
    void leftovers();
    void noCurrentRow();
    void removeMissing();
    void removeYieldsFirst();
    void forceDelete();
    void unwritableFolder();

private:
    QTemporaryDir* m_dir = nullptr;
    Connection* m_connection = nullptr;
    QByteArray m_picture; // Categories.Picture of CategoryID 1, as mdb-export reads it
};

void TestPictureFiles::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(installAs(*m_dir, sharedJet("northwind-jet4.mdb")));
    m_connection = new Connection;
    m_connection->Open(connectionString(m_dir->path()));
    const Export ex = mdbExport(m_dir->filePath("dbImages.mdb"), "Categories");
    for (const auto& r : ex.rows)
        if (r[ex.header.indexOf("CategoryID")] == "1")
            m_picture = QByteArray::fromHex(r[ex.header.indexOf("Picture")].toLatin1());
    QVERIFY(m_picture.size() > 1000);
}

void TestPictureFiles::cleanup()
{
    setEventYield(nullptr);
    delete m_connection;
    m_connection = nullptr;
    delete m_dir;
    m_dir = nullptr;
}

void TestPictureFiles::leftovers_data()
{
    QTest::addColumn<QString>("leftover"); // what is at the name before writing
    QTest::newRow("nothing") << "none";
    QTest::newRow("longer orig.jpg") << "longer";
    QTest::newRow("read-only mod.jpg") << "read-only";
    QTest::newRow("symlink to another file") << "symlink";
    QTest::newRow("dangling symlink") << "dangling";
}

void TestPictureFiles::leftovers()
{
    QFETCH(QString, leftover);
    const QString name = m_dir->filePath(leftover == "read-only" ? "mod.jpg" : "orig.jpg");
    const QString victim = m_dir->filePath("victim.txt");
    const QByteArray victimBytes = QByteArray("keep me").repeated(10000);
    if (leftover == "longer") {
        put(name, QByteArray(m_picture.size() * 3, 'x'));
    } else if (leftover == "read-only") {
        put(name, "old picture");
        QVERIFY(QFile::setPermissions(name, QFile::ReadOwner));
    } else if (leftover == "symlink") {
        put(victim, victimBytes);
        QVERIFY(QFile::link(victim, name));
    } else if (leftover == "dangling") {
        QVERIFY(QFile::link(m_dir->filePath("nowhere/at/all"), name));
    }

    Recordset rs;
    rs.Open("select * from Categories where CategoryID=1", *m_connection, 3, 3);
    rs.MoveFirst();
    WriteFieldToFile(rs.Fields("Picture"), name.toStdString());

    QCOMPARE(QFileInfo(name).isSymLink(), false);
    QCOMPARE(contents(name), m_picture);
    if (leftover == "symlink")
        QCOMPARE(contents(victim), victimBytes);
}

void TestPictureFiles::noCurrentRow()
{
    const QString name = m_dir->filePath("orig.jpg");
    put(name, "old");
    // A field that never belonged to a row (as when the level is empty) gives an empty file.
    WriteFieldToFile(Field(), name.toStdString());
    QVERIFY(QFileInfo::exists(name));
    QCOMPARE(QFileInfo(name).size(), 0);

    // A field left behind by MoveNext past the last row: same outcome, nothing thrown.
    Recordset rs;
    rs.Open("select * from Categories where CategoryID=8", *m_connection, 3, 3);
    rs.MoveFirst();
    Field last = rs.Fields("Picture");
    rs.MoveNext();
    QVERIFY(rs.Eof());
    put(name, "old again");
    WriteFieldToFile(last, name.toStdString());
    QCOMPARE(QFileInfo(name).size(), 0);
}

void TestPictureFiles::removeMissing()
{
    int yields = 0;
    setEventYield([&] { ++yields; });
    RemoveFile(m_dir->filePath("not-there.jpg").toStdString());
    RemoveFile("/nonexistent-folder/x.jpg");
    QCOMPARE(yields, 2);
}

void TestPictureFiles::removeYieldsFirst()
{
    const QString name = m_dir->filePath("mod.jpg");
    put(name, "x");
    bool existedDuringYield = false;
    setEventYield([&] {
        existedDuringYield = QFileInfo::exists(name);
        throw std::runtime_error("a handler failed inside the yield");
    });
    RemoveFile(name.toStdString());
    QVERIFY(existedDuringYield);
    QVERIFY(!QFileInfo::exists(name));
}

void TestPictureFiles::forceDelete()
{
    const QString name = m_dir->filePath("mod.jpg");
    put(name, "x");
    QVERIFY(QFile::setPermissions(name, QFile::ReadOwner));
    ForceDeleteFile(name.toStdString());
    QVERIFY(!QFileInfo::exists(name));
    QVERIFY_THROWS_EXCEPTION(StoreError, ForceDeleteFile(name.toStdString()));

    // A link is deleted as a link: its target keeps its permissions and bytes.
    const QString target = m_dir->filePath("target.bin");
    put(target, "target");
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));
    QVERIFY(QFile::link(target, name));
    ForceDeleteFile(name.toStdString());
    QVERIFY(!QFileInfo(name).isSymLink());
    QCOMPARE(QFile::permissions(target) & QFile::WriteOwner, QFile::Permissions());
    QCOMPARE(contents(target), QByteArray("target"));
}

void TestPictureFiles::unwritableFolder()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only folders");
    QDir(m_dir->path()).mkdir("locked");
    const QString locked = m_dir->filePath("locked");
    const QString name = locked + "/orig.jpg";
    put(name, "old");
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    Recordset rs;
    rs.Open("select * from Categories where CategoryID=1", *m_connection, 3, 3);
    rs.MoveFirst();
    // Neither deletion can work; the file is truncated and rewritten in place instead.
    WriteFieldToFile(rs.Fields("Picture"), name.toStdString());
    QCOMPARE(contents(name), m_picture);
    QVERIFY_THROWS_EXCEPTION(StoreError, ForceDeleteFile(name.toStdString()));
    RemoveFile(name.toStdString()); // quietly fails
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QTEST_GUILESS_MAIN(TestPictureFiles)
#include "tst_picturefiles.moc"
