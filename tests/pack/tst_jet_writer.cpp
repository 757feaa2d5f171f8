// The Jet writer on its own: Yes/No and Null values, what it refuses, and its pages.

#include "Readers.h"
#include "jet/DatabaseWriter.h"
#include "jet/PageFile.h"

#include <QTemporaryFile>
#include <QTest>

using namespace packtest;

class JetWriter : public QObject
{
    Q_OBJECT

  private slots:
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
        const ReadTable back = readWithMdbReader(file.fileName(), "t");
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
        QTest::newRow("file grows beyond its limit") << 7 << "would grow beyond";
        QTest::newRow("row a byte longer than a page holds") << 8 << "one page";
        QTest::newRow("fixed columns longer than a page holds") << 9 << "one page";
    }

    void refuses()
    {
        QFETCH(int, which);
        QFETCH(QString, problem);
        QTemporaryFile file;
        QVERIFY(file.open());
        jet::DatabaseWriter::Options options;
        options.maxFileSize = 40 * jet::kPageSize;
        jet::DatabaseWriter writer(file.handle(), options);
        using T = jet::ColumnType;
        try {
            if (which == 4)
                writer.addTable("t", {{"a", T::Long}, {"A", T::Long}});
            if (which == 5)
                writer.addTable("msysobjects", {{"a", T::Long}});
            if (which == 6)
                writer.addTable("t", {});
            if (which == 8 || which == 9) {
                // 8: two bytes of column count, 4058 of fields and 21 after them (the end of the
                // fields, eight offsets, their count, the null mask): 4081, where a page has room
                // for a row of 4080. 9: 241 Decimals, 4097 bytes even when Null.
                std::vector<jet::ColumnDef> columns;
                for (int k = 0; k < (which == 8 ? 8 : 241); ++k)
                    columns.push_back({QString("c%1").arg(k), which == 8 ? T::Binary : T::Decimal});
                const auto wide = writer.addTable("wide", columns);
                std::vector<jet::Value> row(columns.size(), jet::Null{});
                if (which == 8) {
                    row.assign(7, QByteArray(510, 'b'));
                    row.push_back(QByteArray(4058 - 7 * 510, 'b'));
                }
                writer.addRow(wide, row);
                QFAIL("accepted");
            }
            const auto t = writer.addTable("t", {{"n", T::Integer}, {"blob", T::LongBinary}});
            jet::BytesSource huge(QByteArray(16 * 1024 * 1024, 'x'));
            jet::BytesSource big(QByteArray(40 * jet::kLongValueChunk, 'x'));
            std::vector<jet::Value> row{std::int64_t{1}, which == 7 ? &big : &huge};
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
