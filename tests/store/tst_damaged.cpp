// Pictures whose stored structure was damaged after tavrello-pack wrote it: reading them must end
// in a StoreError (or a short value), never a crash, and WriteFieldToFile must stay quiet.

#include "StoreTestSupport.h"
#include "store/Connection.h"
#include "store/PictureFiles.h"
#include "store/Recordset.h"
#include "store/StoreError.h"

#include <QtEndian>

using namespace store;
using namespace storetest;

namespace {

constexpr quint32 kChainSize = 9001;  // spread over several pages
constexpr quint32 kSingleSize = 3001; // fits one page
constexpr quint32 kInlineSize = 5;    // kept in the row

QByteArray le32(quint32 v)
{
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

// Offset of the 12-byte header of the value with this length and these flags in the file. A value
// kept in the row has its bytes right behind the header, which tells it from look-alikes.
qsizetype headerOffset(const QByteArray& file, quint32 size, quint32 flags)
{
    const QByteArray pattern = le32(size | flags);
    for (qsizetype i = file.indexOf(pattern); i >= 0; i = file.indexOf(pattern, i + 1))
        if (!(flags & 0x80000000) ||
            file.mid(i + 12, qsizetype(size)) == QByteArray(qsizetype(size), 'i'))
            return i;
    return -1;
}

} // namespace

class TestDamaged : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void damagedPicture_data();
    void damagedPicture();
    void damagedDefinition_data();
    void damagedDefinition();

  private:
    QTemporaryDir m_source;
    QByteArray m_clean;
};

void TestDamaged::initTestCase()
{
    put(m_source.filePath("chain.bin"), QByteArray(int(kChainSize), 'c'));
    put(m_source.filePath("single.bin"), QByteArray(int(kSingleSize), 's'));
    put(m_source.filePath("inline.bin"), QByteArray(int(kInlineSize), 'i'));
    QVERIFY(pack(m_source, "long",
                 {{1, 1, "chain.bin", "single.bin", fourRects(0)},
                  {2, 2, "inline.bin", "inline.bin", fourRects(0)}}));
    QFile f(m_source.filePath("dbImages.mdb"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    m_clean = f.readAll();
    QVERIFY(headerOffset(m_clean, kChainSize, 0) > 0);
    QVERIFY(headerOffset(m_clean, kSingleSize, 0x40000000) > 0);
    QVERIFY(headerOffset(m_clean, kInlineSize, 0x80000000) > 0);
}

void TestDamaged::damagedPicture_data()
{
    QTest::addColumn<quint32>("size"); // which value to damage
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<int>("at");           // offset within its header
    QTest::addColumn<QByteArray>("bytes"); // what to write there
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("openFails");

    QTest::newRow("chain pointer past the end of the file")
        << kChainSize << 0u << 4 << le32(0x7fffff00) << 1 << "original_image" << false;
    QTest::newRow("chain pointer to the catalog page")
        << kChainSize << 0u << 4 << le32(0x00000200) << 1 << "original_image" << false;
    QTest::newRow("chain pointer to a missing row")
        << kChainSize << 0u << 4 << le32(0x000009fe) << 1 << "original_image" << false;
    QTest::newRow("length far beyond the chain")
        << kChainSize << 0u << 0 << le32(0x00ffffff) << 1 << "original_image" << false;
    QTest::newRow("single page pointer to page 0")
        << kSingleSize << 0x40000000u << 4 << le32(0) << 1 << "modified_image" << false;
    QTest::newRow("single page pointer past the end of the file")
        << kSingleSize << 0x40000000u << 4 << le32(0xffffff00) << 1 << "modified_image" << false;
    QTest::newRow("both placement flags")
        << kChainSize << 0u << 0 << le32(kChainSize | 0xc0000000) << 1 << "original_image" << true;
    QTest::newRow("inline length longer than the row")
        << kInlineSize << 0x80000000u << 0 << le32(900 | 0x80000000) << 2 << "original_image"
        << true;
}

void TestDamaged::damagedPicture()
{
    QFETCH(quint32, size);
    QFETCH(quint32, flags);
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    QFETCH(int, level);
    QFETCH(QString, field);
    QFETCH(bool, openFails);

    QByteArray file = m_clean;
    const qsizetype header = headerOffset(file, size, flags);
    file.replace(header + at, bytes.size(), bytes);
    QTemporaryDir dir;
    put(dir.filePath("dbImages.mdb"), file);

    Connection c;
    c.Open(connectionString(dir.path()));
    Recordset rs;
    const std::string query =
        "select * from tblImages where level=" + std::to_string(level) + " order by id";
    if (openFails) {
        try {
            rs.Open(query, c, 3, 3);
            QFAIL("Open did not throw");
        } catch (const StoreError& e) {
            QVERIFY2(QString(e.what()).contains("damaged"), e.what());
        }
        return;
    }
    rs.Open(query, c, 3, 3);
    rs.MoveFirst();
    Field f = rs.Fields(field.toStdString());
    long total = 0;
    bool broken = false;
    try {
        for (int i = 0; i < 1000; ++i) {
            const auto chunk = f.GetChunk(100000);
            if (chunk.empty())
                break;
            total += long(chunk.size());
        }
        QVERIFY(total <= f.ActualSize());
    } catch (const StoreError& e) {
        QVERIFY2(QString(e.what()).contains("damaged"), e.what());
        broken = true;
    }

    // The same value written to a file: nothing thrown; a value that broke off leaves the file
    // empty, so no part of it passes for a whole picture.
    rs.MoveFirst();
    const QString target = dir.filePath("orig.jpg");
    WriteFieldToFile(rs.Fields(field.toStdString()), target.toStdString());
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(QFileInfo(target).size(), broken ? 0 : total);
    // The undamaged value of the same row still reads in full.
    const std::string other = field == "original_image" ? "modified_image" : "original_image";
    rs.MoveFirst();
    const QString second = dir.filePath("mod.jpg");
    WriteFieldToFile(rs.Fields(other), second.toStdString());
    QCOMPARE(QFileInfo(second).size(), rs.Fields(other).ActualSize());
}

void TestDamaged::damagedDefinition_data()
{
    QTest::addColumn<int>("at"); // offset in the Jet 4 table definition page of tblImages
    QTest::addColumn<QByteArray>("bytes");
    QByteArray fields(2, 0);
    qToLittleEndian<quint16>(300, fields.data());
    QTest::newRow("more fields than a row can hold") << 45 << fields;
    QTest::newRow("index count that overflows the field offset") << 51 << le32(0x7fffffff);
    QTest::newRow("page map on a page past the end") << 55 << le32(0x7fffff00);
    QTest::newRow("page map on the header page") << 55 << le32(0x00000001);
}

void TestDamaged::damagedDefinition()
{
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    // The definition page is the one naming the picture fields (Jet 4 names are UTF-16).
    QString utf16 = "original_image";
    const QByteArray needle(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    const qsizetype hit = m_clean.indexOf(needle);
    QVERIFY(hit > 0);
    QByteArray file = m_clean;
    file.replace(hit / 4096 * 4096 + at, bytes.size(), bytes);
    QTemporaryDir dir;
    put(dir.filePath("dbImages.mdb"), file);
    Connection c;
    c.Open(connectionString(dir.path()));
    Recordset rs;
    try {
        rs.Open("select * from tblImages where level=1 order by id", c, 3, 3);
        QFAIL("Open did not throw");
    } catch (const StoreError& e) {
        QVERIFY2(QString(e.what()).contains("damaged"), e.what());
    }
}

QTEST_GUILESS_MAIN(TestDamaged)
#include "tst_damaged.moc"
