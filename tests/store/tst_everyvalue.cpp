// Every table of every real database in the test data, read through the store and compared value
// by value with mdb-reader, a reader that shares no code with libmdb: the tables of the file, the
// columns of each table, the rows in the file's order, and each value exactly. Numbers compare
// as numbers (Currency and Decimal as their exact decimal text), pictures byte for byte; for the
// columns the store gives no value of (text, binary), whether the value is Null.

#include "StoreTestSupport.h"

#include <cmath>

using namespace store;
using namespace storetest;

namespace {

// Read in steps that end inside the stored pieces (at most a page each), as the game's first,
// short chunk does.
QByteArray wholeValue(Field field)
{
    QByteArray bytes;
    for (auto chunk = field.GetChunk(1000); !chunk.empty(); chunk = field.GetChunk(1000))
        bytes.append(reinterpret_cast<const char*>(chunk.data()), qsizetype(chunk.size()));
    return bytes;
}

// Why the store's reading of one value differs from mdb-reader's; empty when they agree.
QString difference(Field field, const QString& type, const QJsonValue& expected)
{
    const bool null = field.IsNull();
    if (type == "boolean") {
        const FieldValue v = field.Value();
        return v == FieldValue(std::int64_t(expected.toBool() ? -1 : 0))
                   ? QString()
                   : QString::fromStdString(v.toString());
    }
    if (expected.isNull() != null)
        return null ? "Null" : "not Null";
    if (null)
        return {};
    if (type == "ole") {
        const QByteArray want = QByteArray::fromBase64(expected["base64"].toString().toLatin1());
        if (field.ActualSize() != want.size())
            return QString("%1 bytes").arg(field.ActualSize());
        return wholeValue(field) == want ? QString() : "other bytes";
    }
    if (type == "text" || type == "memo" || type == "binary" || type == "repid")
        return {}; // the store gives only Null or not for these
    // Numbers: Currency and Decimal as exact decimal text on both sides, dates through
    // mdb-reader's own conversion of the stored day count to milliseconds, the others as numbers.
    const FieldValue v = field.Value();
    const QString text = QString::fromStdString(v.toString());
    const bool same = type == "currency" || type == "numeric" ? text == expected.toString()
                      : type == "datetime" ? std::round((v.toDouble() - 25569) * 86400 * 1000) ==
                                                 expected["ms"].toDouble()
                                           : v.toDouble() == expected.toDouble();
    return same ? QString() : text + " (" + QString::fromStdString(field.TypeName()) + ")";
}

} // namespace

class TestEveryValue : public QObject
{
    Q_OBJECT

  private slots:
    void sameAsMdbReader_data();
    void sameAsMdbReader();

  private:
    QTemporaryDir m_made;
};

void TestEveryValue::sameAsMdbReader_data()
{
    QTest::addColumn<QString>("file");
    const QDir data(mdbReaderFile(""));
    for (const QString& version : data.entryList({"V*"}, QDir::Dirs, QDir::Name))
        for (const QString& name : QDir(data.filePath(version)).entryList(QDir::Files))
            QTest::newRow(qPrintable(version + "/" + name)) << data.filePath(version + "/" + name);
    // Decimal(18, 2) coordinates: signs, fractions, sixteen digits before the point, Null.
    QVERIFY(writeFile(m_made.filePath("p.bin"), QByteArray(5000, 'p')));
    const QJsonArray decimals{rect(1650, -0.01, 12345678901.25, 0.5), rect(0, -1650.5, 0.07, 99),
                              rect(9999999999999.99, -9999999999999.99, QJsonValue::Null, 1e15),
                              rect(-0.5, 0.25, 7, 123.45)};
    QVERIFY(pack(m_made, "decimal",
                 {pair(1, 1, "p.bin", QJsonValue::Null, decimals),
                  pair(2, 3, "p.bin", "p.bin", fourRects(7))}));
    QTest::newRow("Decimal tblImages made by tavrello-pack") << m_made.filePath("dbImages.mdb");
    if (!haveJetTestData()) {
        qInfo("the Access files of TAVRELLO_JET_TESTDATA are not on this machine; rows skipped");
        return;
    }
    const QDir jet(sharedJet(""));
    for (const QString& name : jet.entryList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << jet.filePath(name);
}

void TestEveryValue::sameAsMdbReader()
{
    QFETCH(QString, file);
    const QString reader = QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/pack/reader");
    if (!QDir(reader + "/node_modules").exists())
        QSKIP("tests/pack/reader/node_modules is missing; run scripts/deps");
    QProcess node;
    node.start("node", {reader + "/dump.mjs", file});
    QVERIFY(node.waitForFinished(120000));
    QVERIFY2(node.exitCode() == 0, node.readAllStandardError().constData());
    const QJsonArray tables =
        QJsonDocument::fromJson(node.readAllStandardOutput())["tables"].toArray();

    QTemporaryDir dir;
    QVERIFY(installAs(dir, file));
    Connection c;
    c.Open(connectionString(dir.path()));
    int values = 0;
    for (const QJsonValue& t : tables) {
        const QString table = t["name"].toString();
        Recordset rs;
        rs.Open("select * from [" + table.toStdString() + "]", c, kStaticCursor, kOptimisticLock);
        const QJsonArray columns = t["columns"].toArray();
        const QJsonArray rows = t["rows"].toArray();
        qsizetype row = 0;
        for (; !rs.Eof(); rs.MoveNext(), ++row) {
            QVERIFY2(row < rows.size(), qPrintable(table + ": more rows than mdb-reader's"));
            for (qsizetype k = 0; k < columns.size(); ++k, ++values) {
                const QString name = columns[k]["name"].toString();
                const QJsonValue expected = rows[row][k];
                const QString wrong = difference(rs.Fields(name.toStdString()),
                                                 columns[k]["type"].toString(), expected);
                QVERIFY2(
                    wrong.isEmpty(),
                    qPrintable(QString("%1 row %2 %3: %4, mdb-reader %5")
                                   .arg(table)
                                   .arg(row)
                                   .arg(name, wrong,
                                        QJsonDocument(QJsonArray{expected}).toJson().left(200))));
            }
        }
        QCOMPARE(row, rows.size());
    }
    qInfo("%d values compared", values);
}

QTEST_GUILESS_MAIN(TestEveryValue)
#include "tst_everyvalue.moc"
