// The Jet writer on its own: how it stores long values of each size, and what it refuses.

#include "Readers.h"
#include "jet/DatabaseWriter.h"
#include "jet/PageFile.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using namespace packtest;

namespace {

// A long value that claims a size and has no bytes: for the checks made before reading.
class Claims final : public jet::LongValueSource
{
  public:
    explicit Claims(std::int64_t size) : m_size(size) {}
    std::int64_t size() const override { return m_size; }
    void read(char*, std::int64_t) override { throw jet::Error("should not be read"); }

  private:
    std::int64_t m_size;
};

quint32 u32(const QByteArray& b, qsizetype at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

quint16 u16(const QByteArray& b, qsizetype at)
{
    return static_cast<quint16>(static_cast<quint8>(b[at]) | (static_cast<quint8>(b[at + 1]) << 8));
}

} // namespace

class JetWriter : public QObject
{
    Q_OBJECT

  private slots:
    void longValueStorage_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("flags"); // the top byte of the long value's length field
        QTest::addColumn<int>("pages"); // long-value pages it took
        QTest::newRow("empty, in the row") << qint64(0) << 0x80 << 0;
        QTest::newRow("largest in the row") << qint64(jet::kMaxInlineLongValue) << 0x80 << 0;
        QTest::newRow("smallest on its own page")
            << qint64(jet::kMaxInlineLongValue + 1) << 0x40 << 1;
        QTest::newRow("fills a page") << qint64(jet::kMaxSingleLongValue) << 0x40 << 1;
        QTest::newRow("one byte more: a chain of two")
            << qint64(jet::kMaxSingleLongValue + 1) << 0x00 << 2;
        QTest::newRow("two full pieces") << qint64(2 * jet::kLongValueChunk) << 0x00 << 2;
        QTest::newRow("two pieces and a byte") << qint64(2 * jet::kLongValueChunk + 1) << 0x00 << 3;
    }

    void longValueStorage()
    {
        QFETCH(qint64, size);
        QFETCH(int, flags);
        QFETCH(int, pages);
        QTemporaryFile file;
        QVERIFY(file.open());
        QByteArray bytes(size, 'x');
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7);
        {
            jet::DatabaseWriter writer(file.handle());
            const auto table = writer.addTable("t", {{"blob", jet::ColumnType::LongBinary}});
            jet::BytesSource source(bytes);
            const jet::Value row[] = {&source};
            writer.addRow(table, row);
            writer.finish();
        }
        file.seek(0);
        const QByteArray all = file.readAll();
        const qsizetype pageCount = all.size() / jet::kPageSize;
        int longValuePages = 0;
        int rowsFound = 0;
        for (qsizetype p = 0; p < pageCount; ++p) {
            const QByteArray page = all.mid(p * jet::kPageSize, jet::kPageSize);
            if (page[0] != 0x01)
                continue;
            if (page.mid(4, 4) == "LVAL") {
                ++longValuePages;
                continue;
            }
            if (u32(page, 4) != 8) // the user table's definition follows the system tables'
                continue;
            const quint16 start = u16(page, 14);
            QCOMPARE(u16(page, start), quint16(1)); // one column
            QCOMPARE(u32(page, start + 2) & 0x00ffffff, quint32(size));
            QCOMPARE(static_cast<int>(static_cast<quint8>(page[start + 5])), flags);
            ++rowsFound;
        }
        QCOMPARE(rowsFound, 1);
        QCOMPARE(longValuePages, pages);

        const ReadTable back = readWithLibmdb(file.fileName(), "t");
        QVERIFY2(back.warnings.isEmpty(), qPrintable(back.warnings));
        QCOMPARE(back.rows.size(), std::size_t{1});
        QCOMPARE(back.rows[0][0].toByteArray(), bytes);
    }

    // Yes/No columns have no bytes in the row; Null is for the other columns only.
    void yesNoAndNulls()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        {
            jet::DatabaseWriter writer(file.handle());
            using T = jet::ColumnType;
            const auto t = writer.addTable(
                "t",
                {{"flag", T::Boolean}, {"n", T::Integer}, {"other", T::Boolean}, {"x", T::Double}});
            const jet::Value first[] = {std::int64_t{1}, jet::Null{}, std::int64_t{0}, 2.5};
            const jet::Value second[] = {std::int64_t{0}, std::int64_t{-7}, std::int64_t{1},
                                         jet::Null{}};
            writer.addRow(t, first);
            writer.addRow(t, second);
            writer.finish();
        }
        const ReadTable back = readWithMdbTools(file.fileName(), "t");
        QVERIFY2(back.warnings.isEmpty(), qPrintable(back.warnings));
        QCOMPARE(back.rows.size(), std::size_t{2});
        QCOMPARE(back.rows[0], (std::vector<QVariant>{1.0, QVariant(), 0.0, 2.5}));
        QCOMPARE(back.rows[1], (std::vector<QVariant>{0.0, -7.0, 1.0, QVariant()}));
    }

    void refuses_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("problem");
        QTest::newRow("long value of 16 MiB") << 0 << "16 MiB";
        QTest::newRow("too few values") << 1 << "columns";
        QTest::newRow("integer out of range") << 2 << "out of range";
        QTest::newRow("text for a number") << 3 << "whole number";
        QTest::newRow("same column twice") << 4 << "twice";
        QTest::newRow("same table twice") << 5 << "exists already";
        QTest::newRow("no columns") << 6 << "columns";
    }

    void refuses()
    {
        QFETCH(int, which);
        QFETCH(QString, problem);
        QTemporaryFile file;
        QVERIFY(file.open());
        jet::DatabaseWriter writer(file.handle());
        using T = jet::ColumnType;
        try {
            if (which == 4)
                writer.addTable("t", {{"a", T::Long}, {"A", T::Long}});
            if (which == 5)
                writer.addTable("msysobjects", {{"a", T::Long}});
            if (which == 6)
                writer.addTable("t", {});
            const auto t = writer.addTable("t", {{"n", T::Integer}, {"blob", T::LongBinary}});
            Claims huge(std::int64_t{16} * 1024 * 1024);
            std::vector<jet::Value> row{std::int64_t{1}, &huge};
            if (which == 1)
                row.pop_back();
            if (which == 2)
                row = {std::int64_t{40000}, jet::Null{}};
            if (which == 3)
                row = {QString("one"), jet::Null{}};
            writer.addRow(t, row);
            QFAIL("accepted");
        } catch (const jet::Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(problem), e.what());
        }
    }

    void growsNoFurtherThanAllowed()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        jet::DatabaseWriter::Options options;
        options.maxFileSize = 40 * jet::kPageSize;
        jet::DatabaseWriter writer(file.handle(), options);
        const auto t = writer.addTable("t", {{"blob", jet::ColumnType::LongBinary}});
        jet::BytesSource big(QByteArray(40 * jet::kLongValueChunk, 'x'));
        const jet::Value row[] = {&big};
        QVERIFY_THROWS_EXCEPTION(jet::Error, writer.addRow(t, row));
    }

    void everyPageWrittenOnce()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        jet::PageFile pages(file.handle(), std::int64_t{1} << 30);
        const std::uint32_t first = pages.allocate(3);
        const std::vector<char> page(jet::kPageSize, 'p');
        pages.write(first + 2, page.data());
        pages.write(first, page.data());
        QVERIFY_THROWS_EXCEPTION(jet::Error, pages.finish());
        pages.write(first + 1, page.data());
        pages.finish();
        QCOMPARE(file.size(), 3 * jet::kPageSize);
    }
};

QTEST_GUILESS_MAIN(JetWriter)
#include "tst_jet_writer.moc"
