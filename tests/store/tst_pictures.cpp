// Pictures in files written by tavrello-pack, read through GetChunk and written to files by
// WriteFieldToFile: every size around the 100 000-byte chunk over every kind of file left at the
// name, values damaged after writing, files that once crashed or hung the reader (found by
// fuzzing, kept in tests/store/data), and the quiet removal of files.

#include "../../store/fuzz/ReadEverything.h"
#include "StoreTestSupport.h"
#include "store/PictureFiles.h"
#include "store/StoreError.h"

#include <QRandomGenerator>
#include <QtEndian>

using namespace store;
using namespace storetest;

namespace {

const QList<qsizetype> kSizes{0, 1, 99999, 100000, 100001, 150000, 250000, 4 * 1024 * 1024 + 17};

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

class TestPictures : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase()
    {
        QJsonArray pairs;
        for (int i = 0; i < kSizes.size(); ++i) {
            QByteArray bytes(kSizes[i], Qt::Uninitialized);
            QRandomGenerator gen(quint32(i + 1));
            for (char& c : bytes)
                c = char(gen.bounded(256));
            QVERIFY(writeFile(m_sizes.filePath(QString("o%1.bin").arg(i)), bytes));
            pairs.append(pair(100 - i, 1, QString("o%1.bin").arg(i), "o0.bin", fourRects(i)));
        }
        pairs.append(pair(100 - int(kSizes.size()), 1, QJsonValue::Null, "o1.bin", fourRects(0)));
        QVERIFY(pack(m_sizes, "long", pairs));

        QVERIFY(writeFile(m_source.filePath("chain.bin"), QByteArray(int(kChainSize), 'c')));
        QVERIFY(writeFile(m_source.filePath("single.bin"), QByteArray(int(kSingleSize), 's')));
        QVERIFY(writeFile(m_source.filePath("inline.bin"), QByteArray(int(kInlineSize), 'i')));
        QVERIFY(pack(m_source, "long",
                     {pair(1, 1, "chain.bin", "single.bin", fourRects(0)),
                      pair(2, 2, "inline.bin", "inline.bin", fourRects(0))}));
        m_clean = readFile(m_source.filePath("dbImages.mdb"));
        QVERIFY(headerOffset(m_clean, kChainSize, 0) > 0);
        QVERIFY(headerOffset(m_clean, kSingleSize, 0x40000000) > 0);
        QVERIFY(headerOffset(m_clean, kInlineSize, 0x80000000) > 0);
    }

    void sizes_data()
    {
        QTest::addColumn<int>("index");        // in kSizes; past its end the Null picture
        QTest::addColumn<QString>("leftover"); // what is at the name before writing
        QTest::newRow("0 bytes over nothing") << 0 << "none";
        QTest::newRow("1 byte over a longer file") << 1 << "longer";
        QTest::newRow("99999 bytes over a read-only file") << 2 << "read-only";
        QTest::newRow("100000 bytes over a symlink") << 3 << "symlink";
        QTest::newRow("100001 bytes over a dangling symlink") << 4 << "dangling";
        QTest::newRow("150000 bytes over a longer file") << 5 << "longer";
        QTest::newRow("250000 bytes over a read-only file") << 6 << "read-only";
        QTest::newRow("4 MiB and 17 bytes") << 7 << "none";
        QTest::newRow("Null over a longer file") << 8 << "longer";
    }

    void sizes()
    {
        QFETCH(int, index);
        QFETCH(QString, leftover);
        const QByteArray expected =
            index < kSizes.size() ? readFile(m_sizes.filePath(QString("o%1.bin").arg(index))) : "";
        Opened db(m_sizes.path(),
                  "select * from tblImages where id=" + std::to_string(100 - index));
        db.rs.MoveFirst();
        QCOMPARE(db.rs.Fields("original_image").ActualSize(), long(expected.size()));

        QTemporaryDir out;
        const QString name = out.filePath("orig.jpg");
        const QString victim = out.filePath("victim.txt");
        const QByteArray victimBytes = QByteArray("keep me").repeated(100000);
        if (leftover == "longer") {
            QVERIFY(writeFile(name, QByteArray(300000, 'L')));
        } else if (leftover == "read-only") {
            QVERIFY(writeFile(name, "old picture"));
            QVERIFY(QFile::setPermissions(name, QFile::ReadOwner));
        } else if (leftover == "symlink") {
            QVERIFY(writeFile(victim, victimBytes));
            QVERIFY(QFile::link(victim, name));
        } else if (leftover == "dangling") {
            QVERIFY(QFile::link(out.filePath("nowhere/at/all"), name));
        }
        WriteFieldToFile(db.rs.Fields("original_image"), name.toStdString());
        QVERIFY(!QFileInfo(name).isSymLink());
        QCOMPARE(readFile(name), expected);
        if (leftover == "symlink")
            QCOMPARE(readFile(victim), victimBytes);
    }

    // A field with no value to give (never taken from a row, left behind past the last row, taken
    // from an empty level) writes an empty file, and nothing is thrown.
    void noCurrentRow()
    {
        Opened last(m_sizes.path(), "select * from tblImages where id=99");
        last.rs.MoveFirst();
        const Field left = last.rs.Fields("original_image");
        last.rs.MoveNext();
        Opened empty(m_sizes.path(), "select * from tblImages where level=2");
        const QString name = m_source.filePath("orig.jpg");
        for (const Field& field : {Field(), left, empty.rs.Fields("original_image")}) {
            QVERIFY(writeFile(name, "old picture"));
            WriteFieldToFile(field, name.toStdString());
            QVERIFY(QFileInfo::exists(name));
            QCOMPARE(QFileInfo(name).size(), 0);
        }
    }

    void removal()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("mod.jpg");
        QVERIFY(writeFile(name, "x"));
        int yields = 0;
        bool existedDuringYield = false;
        setEventYield([&] {
            existedDuringYield = ++yields == 3 && QFileInfo::exists(name);
            throw std::runtime_error("a handler failed inside the yield");
        });
        RemoveFile(dir.filePath("not-there.jpg").toStdString());
        RemoveFile("/nonexistent-folder/x.jpg");
        RemoveFile(name.toStdString());
        setEventYield(nullptr);
        QVERIFY(existedDuringYield); // the yield comes first, the removal after it all the same
        QVERIFY(!QFileInfo::exists(name));

        QVERIFY(writeFile(name, "x"));
        QVERIFY(QFile::setPermissions(name, QFile::ReadOwner));
        ForceDeleteFile(name.toStdString());
        QVERIFY(!QFileInfo::exists(name));
        QVERIFY_THROWS_EXCEPTION(StoreError, ForceDeleteFile(name.toStdString()));
        // A link is deleted as a link: its target keeps its permissions and bytes.
        const QString target = dir.filePath("target.bin");
        QVERIFY(writeFile(target, "target"));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));
        QVERIFY(QFile::link(target, name));
        ForceDeleteFile(name.toStdString());
        QVERIFY(!QFileInfo(name).isSymLink());
        QCOMPARE(QFile::permissions(target) & QFile::WriteOwner, QFile::Permissions());
        QCOMPARE(readFile(target), QByteArray("target"));
    }

    void damaged_data()
    {
        QTest::addColumn<QString>("value"); // chain: original of level 1; single: its modified;
                                            // inline: original of level 2; definition: the table's
        QTest::addColumn<int>("at");        // offset within the value's header or definition page
        QTest::addColumn<QByteArray>("bytes"); // what to write there
        QTest::addColumn<bool>("openFails");
        const auto row = [](const char* name, const char* value, int at, QByteArray bytes,
                            bool openFails) {
            QTest::newRow(name) << value << at << bytes << openFails;
        };
        row("chain pointer past the end of the file", "chain", 4, le32(0x7fffff00), false);
        row("chain pointer to the catalog page", "chain", 4, le32(0x200), false);
        row("chain pointer to a missing row", "chain", 4, le32(0x9fe), false);
        row("length far beyond the chain", "chain", 0, le32(0x00ffffff), false);
        row("single page pointer to page 0", "single", 4, le32(0), false);
        row("single page pointer past the end of the file", "single", 4, le32(0xffffff00), false);
        row("both placement flags", "chain", 0, le32(kChainSize | 0xc0000000), true);
        row("inline length longer than the row", "inline", 0, le32(900 | 0x80000000), true);
        row("more fields than a row can hold", "definition", 45, QByteArray("\x2c\x01", 2), true);
        row("index count that overflows the field offset", "definition", 51, le32(0x7fffffff),
            true);
        row("page map on a page past the end", "definition", 55, le32(0x7fffff00), true);
        row("page map on the header page", "definition", 55, le32(0x00000001), true);
    }

    // A damaged value or table definition ends in a StoreError or a short value, never a crash;
    // WriteFieldToFile stays quiet and leaves no part of a broken value to pass for a whole
    // picture.
    void damaged()
    {
        QFETCH(QString, value);
        QFETCH(int, at);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, openFails);
        const quint32 size = value == "chain"    ? kChainSize
                             : value == "single" ? kSingleSize
                                                 : kInlineSize;
        const quint32 flags = value == "chain" ? 0 : value == "single" ? 0x40000000 : 0x80000000;
        // The definition page is the one naming the picture fields (Jet 4 names are UTF-16).
        const QString name = "original_image";
        const qsizetype definition =
            m_clean.indexOf(
                QByteArray(reinterpret_cast<const char*>(name.utf16()), name.size() * 2)) /
            4096 * 4096;
        QByteArray file = m_clean;
        file.replace((value == "definition" ? definition : headerOffset(file, size, flags)) + at,
                     bytes.size(), bytes);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("dbImages.mdb"), file));
        const std::string query =
            std::string("select * from tblImages where level=") + (value == "inline" ? "2" : "1");
        if (openFails) {
            const QString why = failure([&] { Opened db(dir.path(), query); });
            QVERIFY2(why.contains("damaged"), qPrintable(why));
            return;
        }
        const std::string field = value == "single" ? "modified_image" : "original_image";
        const std::string other = value == "single" ? "original_image" : "modified_image";
        Opened db(dir.path(), query);
        db.rs.MoveFirst();
        Field f = db.rs.Fields(field);
        long total = 0;
        const QString why = failure([&] {
            for (auto chunk = f.GetChunk(100000); !chunk.empty(); chunk = f.GetChunk(100000))
                total += long(chunk.size());
        });
        const bool broken = why != "nothing thrown";
        QVERIFY2(broken ? why.contains("damaged") : total <= f.ActualSize(), qPrintable(why));
        db.rs.MoveFirst();
        const QString target = dir.filePath("orig.jpg");
        WriteFieldToFile(db.rs.Fields(field), target.toStdString());
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(QFileInfo(target).size(), broken ? 0 : total);
        // The undamaged value of the same row still reads in full.
        WriteFieldToFile(db.rs.Fields(other), target.toStdString());
        QCOMPARE(QFileInfo(target).size(), db.rs.Fields(other).ActualSize());
    }

    // A value that breaks off after its first chunk has been written leaves an empty file, not
    // the part that was read, which a JPEG reader would show as if it were the whole picture.
    void brokenAfterItsFirstChunk()
    {
        // 250 000 bytes, written as 50 000 and two chunks; the piece holding byte 150 000 gets a
        // pointer to the next one past the end of the file.
        const QByteArray picture = readFile(m_sizes.filePath("o6.bin"));
        QByteArray file = readFile(m_sizes.filePath("dbImages.mdb"));
        qsizetype at = 150000;
        qsizetype pos = file.indexOf(picture.mid(at, 64));
        QVERIFY(pos > 0);
        // Back to the start of the piece, a row that begins with the 4-byte pointer.
        for (; file[pos - 1] == picture[at - 1]; --at)
            --pos;
        file.replace(pos - 4, 4, le32(0x7fffff00));
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("dbImages.mdb"), file));
        Opened db(dir.path(), "select * from tblImages where id=94");
        db.rs.MoveFirst();
        const QString name = dir.filePath("orig.jpg");
        WriteFieldToFile(db.rs.Fields("original_image"), name.toStdString());
        QVERIFY(QFileInfo::exists(name));
        QCOMPARE(QFileInfo(name).size(), 0);
    }

    void fuzzFinds_data()
    {
        QTest::addColumn<QString>("file");
        const QDir data(TAVRELLO_SOURCE_DIR "/tests/store/data");
        const QStringList files = data.entryList({"*.mdb"}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString& name : files)
            QTest::newRow(qPrintable(name)) << data.filePath(name);
    }

    // The game's whole read path ends in success or a StoreError, and the process lives on.
    void fuzzFinds()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        QVERIFY(installAs(dir, file));
        storefuzz::readEverything(dir.path().toStdString());
    }

  private:
    QTemporaryDir m_sizes; // a picture of every size in kSizes, and a Null one
    QTemporaryDir m_source;
    QByteArray m_clean; // three pictures stored in each of the three ways, undamaged
};

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
