// The game's own table, in files written by tavrello-pack: levels, order, coordinate types, Null
// values and pictures of every size around the 100 000-byte chunk, written to files byte for byte.

#include "StoreTestSupport.h"
#include "store/Connection.h"
#include "store/PictureFiles.h"
#include "store/Recordset.h"
#include "store/StoreError.h"

#include <QRandomGenerator>

using namespace store;
using namespace storetest;

namespace {

QByteArray pictureBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (char& c : bytes)
        c = char(gen.bounded(256));
    return bytes;
}

QString levelQuery(int level)
{
    return QString("select * from tblImages where level=%1 order by id").arg(level);
}

const QList<qsizetype> kSizes{0, 1, 99999, 100000, 100001, 150000, 250000, 4 * 1024 * 1024 + 17};

} // namespace

class TestPacked : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void pictureSizes_data();
    void pictureSizes();
    void levelsComeInIdOrder_data();
    void levelsComeInIdOrder();
    void emptyLevel();
    void coordinateTypes_data();
    void coordinateTypes();
    void nullValues();

  private:
    QTemporaryDir m_sizes; // one database holding a picture of every size in kSizes
};

void TestPacked::initTestCase()
{
    QList<Pair> pairs;
    for (int i = 0; i < kSizes.size(); ++i) {
        put(m_sizes.filePath(QString("o%1.bin").arg(i)), pictureBytes(kSizes[i], quint32(i + 1)));
        put(m_sizes.filePath(QString("m%1.bin").arg(i)),
            pictureBytes(kSizes[kSizes.size() - 1 - i], quint32(100 + i)));
        pairs.append(
            {100 - i, 1, QString("o%1.bin").arg(i), QString("m%1.bin").arg(i), fourRects(i)});
    }
    QVERIFY(pack(m_sizes, "long", pairs));
}

void TestPacked::pictureSizes_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < kSizes.size(); ++i)
        QTest::newRow(qPrintable(QString("%1 bytes").arg(kSizes[i]))) << i;
}

void TestPacked::pictureSizes()
{
    QFETCH(int, index);
    Connection c;
    c.Open(connectionString(m_sizes.path()));
    Recordset rs;
    rs.Open(QString("select * from tblImages where id=%1").arg(100 - index).toStdString(), c, 3, 3);
    rs.MoveFirst();
    QCOMPARE(rs.Fields("original_image").ActualSize(), long(kSizes[index]));

    QTemporaryDir out;
    const QString orig = out.filePath("orig.jpg");
    const QString mod = out.filePath("mod.jpg");
    put(orig, QByteArray(300000, 'L')); // a longer leftover must not show behind the new bytes
    put(mod, "read-only leftover");
    QVERIFY(QFile::setPermissions(mod, QFile::ReadOwner));
    WriteFieldToFile(rs.Fields("original_image"), orig.toStdString());
    WriteFieldToFile(rs.Fields("modified_image"), mod.toStdString());
    QCOMPARE(contents(orig), contents(m_sizes.filePath(QString("o%1.bin").arg(index))));
    QCOMPARE(contents(mod), contents(m_sizes.filePath(QString("m%1.bin").arg(index))));
    // Read to its end, the value gives nothing more.
    QVERIFY(rs.Fields("original_image").GetChunk(100000).empty());
}

void TestPacked::levelsComeInIdOrder_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("level 1") << 1 << QList<int>{1, 3, 7, 9, 12, 40};
    QTest::newRow("level 2") << 2 << QList<int>{-4, 2, 5};
    QTest::newRow("level 3") << 3 << QList<int>{8};
}

void TestPacked::levelsComeInIdOrder()
{
    QFETCH(int, level);
    QFETCH(QList<int>, ids);
    QTemporaryDir dir;
    put(dir.filePath("p.bin"), "picture");
    // Written out of order and with levels interleaved.
    QList<Pair> pairs;
    const QList<std::pair<int, int>> rows{{7, 1},  {5, 2}, {40, 1}, {3, 1},  {8, 3},
                                          {12, 1}, {2, 2}, {1, 1},  {-4, 2}, {9, 1}};
    for (auto [id, lv] : rows)
        pairs.append({id, lv, "p.bin", "p.bin", fourRects(id)});
    QVERIFY(pack(dir, "long", pairs));

    Connection c;
    c.Open(connectionString(dir.path()));
    Recordset rs;
    rs.setCursorLocation(3);
    rs.Open(levelQuery(level).toStdString(), c, 3, 3);
    rs.MoveFirst();
    QList<int> seen;
    while (!rs.Eof()) {
        QCOMPARE(rs.Fields("level").Value(), FieldValue(std::int64_t(level)));
        const FieldValue id = rs.Fields("id").Value();
        seen.append(int(std::get<std::int64_t>(id.storage())));
        QCOMPARE(rs.Fields("loc1_x1").Value(), FieldValue(std::int64_t(seen.last())));
        rs.MoveNext();
    }
    QCOMPARE(seen, ids);
    QVERIFY_THROWS_EXCEPTION(StoreError, rs.MoveNext());
}

void TestPacked::emptyLevel()
{
    QTemporaryDir dir;
    put(dir.filePath("p.bin"), "picture");
    QVERIFY(pack(dir, "long", {{1, 1, "p.bin", "p.bin", fourRects(0)}}));
    Connection c;
    c.Open(connectionString(dir.path()));
    Recordset rs;
    rs.Open(levelQuery(2).toStdString(), c, 3, 3);
    QVERIFY(rs.Eof());
    try {
        rs.MoveFirst();
        QFAIL("MoveFirst on an empty level did not throw");
    } catch (const StoreError& e) {
        QVERIFY2(QString(e.what()).contains("empty"), e.what());
    }
    QVERIFY_THROWS_EXCEPTION(StoreError, rs.Fields("original_image").ActualSize());
    const QString orig = dir.filePath("orig.jpg");
    put(orig, "old picture");
    WriteFieldToFile(rs.Fields("original_image"), orig.toStdString());
    QVERIFY(QFileInfo::exists(orig));
    QCOMPARE(QFileInfo(orig).size(), 0);
}

void TestPacked::coordinateTypes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<double>("x1"); // stored as given (or the nearest single for "single")
    QTest::addColumn<FieldValue>("expected");
    QTest::newRow("long") << "long" << 150.0 << FieldValue(std::int64_t(150));
    QTest::newRow("long negative") << "long" << -2000000.0 << FieldValue(std::int64_t(-2000000));
    QTest::newRow("integer") << "integer" << 32767.0 << FieldValue(std::int64_t(32767));
    QTest::newRow("single") << "single" << 150.1 << FieldValue(150.1f);
    QTest::newRow("double") << "double" << 0.30000000000000004 << FieldValue(0.30000000000000004);
}

void TestPacked::coordinateTypes()
{
    QFETCH(QString, type);
    QFETCH(double, x1);
    QFETCH(FieldValue, expected);
    QTemporaryDir dir;
    put(dir.filePath("p.bin"), "picture");
    QJsonArray diffs = fourRects(0);
    diffs[0] = rect(x1, 300, 600, 450);
    QVERIFY(pack(dir, type, {{1, 1, "p.bin", "p.bin", diffs}}));
    Connection c;
    c.Open(connectionString(dir.path()));
    Recordset rs;
    rs.Open(levelQuery(1).toStdString(), c, 3, 3);
    rs.MoveFirst();
    const FieldValue v = rs.Fields("loc1_x1").Value();
    QCOMPARE(v, expected);
    QCOMPARE(rs.Fields("loc1_y1").Value().compare(300), std::partial_ordering::equivalent);
    QCOMPARE(rs.Fields("loc4_y2").Value().compare(36), std::partial_ordering::equivalent);
}

void TestPacked::nullValues()
{
    QTemporaryDir dir;
    put(dir.filePath("p.bin"), "picture");
    QJsonArray diffs = fourRects(0);
    diffs[2] = rect(QJsonValue::Null, 1, QJsonValue::Null, 5);
    QVERIFY(pack(dir, "double", {{1, 1, QJsonValue::Null, "p.bin", diffs}}));
    Connection c;
    c.Open(connectionString(dir.path()));
    Recordset rs;
    rs.Open(levelQuery(1).toStdString(), c, 3, 3);
    rs.MoveFirst();
    QVERIFY(rs.Fields("loc3_x1").Value().isNull());
    QVERIFY(rs.Fields("loc3_x2").Value().isNull());
    QCOMPARE(rs.Fields("loc3_x1").Value().compare(0), std::partial_ordering::unordered);
    QCOMPARE(rs.Fields("loc3_y1").Value(), FieldValue(1.0));
    QCOMPARE(rs.Fields("original_image").ActualSize(), 0L);
    QVERIFY(rs.Fields("original_image").GetChunk(10).empty());
    const QString orig = dir.filePath("orig.jpg");
    WriteFieldToFile(rs.Fields("original_image"), orig.toStdString());
    QCOMPARE(QFileInfo(orig).size(), 0);
    WriteFieldToFile(rs.Fields("modified_image"), orig.toStdString());
    QCOMPARE(contents(orig), QByteArray("picture"));
}

QTEST_GUILESS_MAIN(TestPacked)
#include "tst_packed.moc"
