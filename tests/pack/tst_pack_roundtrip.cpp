// Builds databases with tavrello-pack and reads them back with mdb-reader, value for value and
// picture byte for byte.

#include "Readers.h"
#include "tests/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <optional>

using namespace packtest;
using testfiles::readFile;
using testfiles::writeFile;

namespace {

struct TestPair
{
    int id;
    std::optional<qint64> original; // picture size, or null
    std::optional<qint64> modified;
    std::array<std::optional<double>, 16> coordinates;
};

struct Case
{
    QString units = "twips";
    QString coordinateType = "long";
    std::vector<TestPair> pairs;
};

TestPair pictures(int id, std::optional<qint64> original, std::optional<qint64> modified)
{
    TestPair p{id, original, modified, {}};
    for (std::size_t i = 0; i < p.coordinates.size(); ++i)
        p.coordinates[i] = 150.0 * double(i + 1) + id;
    return p;
}

// Writes the pictures (distinct, reproducible bytes) and the manifest of `c` into `folder`;
// returns the rows the database must hold.
std::vector<std::vector<QVariant>> prepare(const Case& c, const QString& folder)
{
    QJsonArray pairs;
    std::vector<std::vector<QVariant>> expected;
    for (const TestPair& p : c.pairs) {
        const int level = 1 + std::abs(p.id) % 3;
        QJsonObject o{{"id", p.id}, {"level", level}};
        std::vector<QVariant> row{double(p.id), double(level)};
        for (const auto& [key, size] :
             {std::pair{"original", p.original}, std::pair{"modified", p.modified}}) {
            o[key] = QJsonValue::Null;
            row.emplace_back();
            if (!size)
                continue;
            QByteArray bytes(*size, Qt::Uninitialized);
            QRandomGenerator random(quint32(p.id * 2 + (key[0] == 'm')));
            for (char& b : bytes)
                b = char(random.generate());
            const QString name = QStringLiteral("%1-%2.jpg").arg(p.id).arg(key);
            writeFile(folder + "/" + name, bytes);
            o[key] = name;
            row.back() = bytes;
        }
        QJsonArray differences;
        for (std::size_t d = 0; d < 4; ++d) {
            QJsonObject box;
            for (std::size_t k = 0; k < 4; ++k) {
                const std::optional<double>& v = p.coordinates[d * 4 + k];
                box[QStringList{"x1", "y1", "x2", "y2"}[qsizetype(k)]] =
                    v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
                const double twips = v.value_or(0) * (c.units == "pixels" ? 15 : 1);
                const double stored = c.coordinateType == "single" ? float(twips) : twips;
                row.emplace_back(v ? QVariant(stored) : QVariant());
            }
            differences.append(box);
        }
        o["differences"] = differences;
        pairs.append(o);
        expected.push_back(std::move(row));
    }
    const QJsonObject manifest{
        {"units", c.units}, {"coordinate_type", c.coordinateType}, {"pairs", pairs}};
    writeFile(folder + "/manifest.json", QJsonDocument(manifest).toJson());
    return expected;
}

} // namespace

Q_DECLARE_METATYPE(Case)

class RoundTrip : public QObject
{
    Q_OBJECT

  private slots:
    void build_data()
    {
        QTest::addColumn<Case>("c");
        // Picture sizes around every place the way a long value is stored changes: inline in the
        // row, one row on a shared long-value page, a chain of pages; and some ordinary ones.
        for (qint64 size : {0, 1, 256, 257, 4071, 4072, 4073, 4076, 4077, 4080, 4081, 8152, 8153,
                            100'000, 250'000, 5 * 1024 * 1024}) {
            Case c;
            c.pairs = {pictures(1, size, size), pictures(2, size, 3)};
            QTest::addRow("picture of %lld bytes", static_cast<long long>(size)) << c;
        }
        Case nulls;
        nulls.pairs = {pictures(1, std::nullopt, 10), pictures(2, 5000, std::nullopt),
                       pictures(3, std::nullopt, std::nullopt), pictures(4, 10, 10),
                       pictures(5, 10, 10)};
        for (std::size_t k : {0, 7, 15})
            nulls.pairs[3].coordinates[k].reset();
        nulls.pairs[4].coordinates = {};
        QTest::newRow("null pictures and coordinates") << nulls;
        const std::pair<const char*, std::vector<double>> types[] = {
            {"long", {-2147483648.0, 2147483647.0, 0, -1}},
            {"integer", {-32768, 32767, 0, -1}},
            {"single", {0.5, -1.25e30, 3.0e38, 1.0 / 3.0}},
            {"double", {1e300, -0.125, 1.0 / 3.0, 4.9e-324}}};
        for (const auto& [type, extremes] : types) {
            Case c;
            c.coordinateType = type;
            c.pairs = {pictures(6, 300, 300), pictures(7, 1, 1)};
            std::copy(extremes.begin(), extremes.end(), c.pairs[0].coordinates.begin());
            QTest::addRow("coordinate type %s", type) << c;
        }
        Case pixels;
        pixels.units = "pixels";
        pixels.pairs = {pictures(8, 20, 20)};
        QTest::newRow("pixels become twips") << pixels;
        Case order;
        order.pairs = {pictures(9, 100, 100), pictures(2, 5000, 5000), pictures(-3, 0, 0),
                       pictures(1, 100, 100)};
        QTest::newRow("ids out of order") << order;
        Case spread; // rows far apart in the file, so usage maps need their own pages
        for (int id = 1; id <= 45; ++id)
            spread.pairs.push_back(pictures(id, 60'000, 60'000));
        QTest::newRow("rows spread over many pages") << spread;
        QTest::newRow("no pairs") << Case{};
    }

    // Every case is built twice: same manifest, same date, same bytes.
    void build()
    {
        QFETCH(Case, c);
        QTemporaryDir folder;
        const auto expected = prepare(c, folder.path());
        qputenv("SOURCE_DATE_EPOCH", "1700000000");
        QByteArray bytes[2];
        for (QByteArray& b : bytes) {
            const Run r =
                runPack({"build", "manifest.json", "-o", "db.mdb", "--force"}, folder.path());
            QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), r.err.constData());
            b = readFile(folder.filePath("db.mdb"));
        }
        QVERIFY(bytes[0] == bytes[1]);
        QCOMPARE(bytes[0].size() % 4096, 0);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).filter(".mdb"),
                 QStringList{"db.mdb"});

        const ReadTable got = readWithMdbReader(folder.filePath("db.mdb"), "tblImages");
        QVERIFY2(got.warnings.isEmpty(), qPrintable(got.warnings));
        // The date goes into the header, and into the password field as Access mixes them.
        QCOMPARE(got.created, QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
        QVERIFY2(!got.password.isValid(), qPrintable(got.password.toString()));
        QVERIFY(got.tables.contains("tblImages") && got.tables.contains("MSysObjects"));
        QStringList names{"id", "level", "original_image", "modified_image"};
        QStringList types{"long", "long", "ole", "ole"};
        for (int box = 1; box <= 4; ++box)
            for (const char* corner : {"x1", "y1", "x2", "y2"}) {
                names << QStringLiteral("loc%1_%2").arg(box).arg(corner);
                types << c.coordinateType;
            }
        QCOMPARE(got.columns, names);
        QCOMPARE(got.types, types);
        QCOMPARE(got.rows.size(), expected.size());
        for (std::size_t r = 0; r < expected.size(); ++r)
            for (std::size_t k = 0; k < expected[r].size(); ++k)
                QVERIFY2(got.rows[r][k] == expected[r][k],
                         qPrintable(QStringLiteral("row %1 %2").arg(r).arg(names[qsizetype(k)])));
    }
};

QTEST_GUILESS_MAIN(RoundTrip)
#include "tst_pack_roundtrip.moc"
