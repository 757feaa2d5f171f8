// Writing a field's value to a file and removing files quietly: what is left on disk afterwards.

#include "StoreTestSupport.h"
#include "store/PictureFiles.h"
#include "store/Recordset.h"
#include "store/StoreError.h"

using namespace store;
using namespace storetest;

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

  private:
    QTemporaryDir* m_dir = nullptr;
    Connection* m_connection = nullptr;
    QByteArray m_picture; // Categories.Picture of CategoryID 1, as mdb-export reads it
};

void TestPictureFiles::init()
{
    SKIP_WITHOUT_JET_TESTDATA();
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

QTEST_GUILESS_MAIN(TestPictureFiles)
#include "tst_picturefiles.moc"
