// Builds databases with tavrello-pack and reads them back through libmdb, mdbtools' programs and
// mdb-reader, value for value and byte for byte.

#include "Readers.h"

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

namespace {

using Coordinates = std::array<std::optional<double>, 16>;

struct TestPair
{
    int id;
    int level;
    std::optional<qint64> original; // picture size, or null
    std::optional<qint64> modified;
    Coordinates coordinates;
};

struct Case
{
    QString units = "twips";
    QString coordinateType = "long";
    std::vector<TestPair> pairs;
};

Coordinates someCoordinates(int seed)
{
    Coordinates c;
    for (int i = 0; i < 16; ++i)
        c[static_cast<std::size_t>(i)] = 150.0 * (i + 1) + seed;
    return c;
}

TestPair pictures(int id, std::optional<qint64> original, std::optional<qint64> modified)
{
    return {id, 1 + id % 3, original, modified, someCoordinates(id)};
}

// Different, reproducible bytes for every picture.
QByteArray pictureBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(random.generate() & 0xff);
    return bytes;
}

QString columnType(const QString& coordinateType)
{
    return coordinateType == "integer" ? "integer" : coordinateType;
}

} // namespace

Q_DECLARE_METATYPE(Case)

class RoundTrip : public QObject
{
    Q_OBJECT

  private:
    // Writes the pictures and manifest of `c` into `folder`; returns what each row must read back.
    std::vector<std::vector<QVariant>> prepare(const Case& c, const QString& folder)
    {
        QDir(folder).mkpath("pictures");
        QJsonArray pairs;
        std::vector<std::vector<QVariant>> expected;
        for (const TestPair& p : c.pairs) {
            QJsonObject o{{"id", p.id}, {"level", p.level}};
            std::vector<QVariant> row{double(p.id), double(p.level)};
            int which = 0;
            for (const auto& [key, size] :
                 {std::pair{"original", p.original}, std::pair{"modified", p.modified}}) {
                if (!size) {
                    o[key] = QJsonValue::Null;
                    row.emplace_back();
                    continue;
                }
                const QString name = QStringLiteral("pictures/%1-%2.jpg").arg(p.id).arg(key);
                const QByteArray bytes =
                    pictureBytes(*size, static_cast<quint32>(p.id * 2 + which));
                QFile f(folder + "/" + name);
                f.open(QIODevice::WriteOnly);
                f.write(bytes);
                o[key] = name;
                row.emplace_back(bytes);
                ++which;
            }
            QJsonArray differences;
            for (int d = 0; d < 4; ++d) {
                QJsonObject box;
                const char* corners[] = {"x1", "y1", "x2", "y2"};
                for (int k = 0; k < 4; ++k) {
                    const auto& v = p.coordinates[static_cast<std::size_t>(d * 4 + k)];
                    box[corners[k]] = v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
                    const double scale = c.units == "pixels" ? 15.0 : 1.0;
                    row.emplace_back(v ? QVariant(*v * scale) : QVariant());
                }
                differences.append(box);
            }
            o["differences"] = differences;
            pairs.append(o);
            expected.push_back(std::move(row));
        }
        const QJsonObject manifest{
            {"units", c.units}, {"coordinate_type", c.coordinateType}, {"pairs", pairs}};
        QFile m(folder + "/manifest.json");
        m.open(QIODevice::WriteOnly);
        m.write(QJsonDocument(manifest).toJson());
        return expected;
    }

    void compare(const char* reader, const ReadTable& got, const Case& c,
                 const std::vector<std::vector<QVariant>>& expected, bool nullIsEmpty)
    {
        const QByteArray who(reader);
        QVERIFY2(got.warnings.isEmpty(), (who + ": " + got.warnings.toUtf8()).constData());
        QVERIFY2(got.tables.contains("tblImages"), who.constData());
        QVERIFY2(got.tables.contains("MSysObjects"), who.constData());
        QStringList names{"id", "level", "original_image", "modified_image"};
        QStringList types{"long", "long", "ole", "ole"};
        for (int box = 1; box <= 4; ++box)
            for (const char* corner : {"x1", "y1", "x2", "y2"}) {
                names << QStringLiteral("loc%1_%2").arg(box).arg(corner);
                types << columnType(c.coordinateType);
            }
        QCOMPARE(got.columns, names);
        QCOMPARE(got.types, types);
        QCOMPARE(got.rows.size(), expected.size());
        for (std::size_t r = 0; r < expected.size(); ++r) {
            QCOMPARE(got.rows[r].size(), expected[r].size());
            for (std::size_t k = 0; k < expected[r].size(); ++k) {
                const QVariant& want = expected[r][k];
                const QVariant& have = got.rows[r][k];
                const QByteArray where = who + " row " + QByteArray::number(qulonglong(r)) +
                                         " column " + names[qsizetype(k)].toUtf8();
                if (k == 2 || k == 3) {
                    if (nullIsEmpty && !want.isValid()) {
                        QVERIFY2(have.toByteArray().isEmpty(), where.constData());
                        continue;
                    }
                    QVERIFY2(want.isValid() == have.isValid(),
                             (where + ": null or not").constData());
                    if (want.isValid()) {
                        QVERIFY2(have.toByteArray().size() == want.toByteArray().size(),
                                 (where + ": size " + QByteArray::number(have.toByteArray().size()))
                                     .constData());
                        QVERIFY2(have.toByteArray() == want.toByteArray(), where.constData());
                    }
                    continue;
                }
                QVERIFY2(want.isValid() == have.isValid(), (where + ": null or not").constData());
                if (!want.isValid())
                    continue;
                double w = want.toDouble();
                if (c.coordinateType == "single" && k >= 4)
                    w = static_cast<float>(w);
                const double h = have.toDouble();
                // The programs print numbers as text, which may round; the libraries do not.
                const double slack = c.coordinateType == "single" ? 1e-6 : 1e-12;
                QVERIFY2(h == w || std::fabs(h - w) <= slack * std::fabs(w),
                         (where + ": " + QByteArray::number(h, 'g', 17) +
                          " != " + QByteArray::number(w, 'g', 17))
                             .constData());
            }
        }
    }

  private slots:
    void build_data()
    {
        QTest::addColumn<Case>("c");
        // Picture sizes around every place the way a long value is stored changes: inline in the
        // row, one row on a shared long-value page, a chain of pages; and some ordinary ones.
        const qint64 sizes[] = {0,       1,       256,     257,     4071,           4072, 4073,
                                4076,    4077,    4080,    4081,    8152,           8153, 99'999,
                                100'000, 100'001, 150'000, 250'000, 5 * 1024 * 1024};
        for (qint64 size : sizes) {
            Case c;
            c.pairs = {pictures(1, size, size), pictures(2, size, 3)};
            QTest::addRow("picture of %lld bytes", static_cast<long long>(size)) << c;
        }
        {
            Case c;
            c.pairs = {pictures(1, std::nullopt, 10), pictures(2, 5000, std::nullopt),
                       pictures(3, std::nullopt, std::nullopt)};
            QTest::newRow("null pictures") << c;
        }
        {
            Case c;
            TestPair p = pictures(4, 10, 10);
            p.coordinates[0].reset();
            p.coordinates[7].reset();
            p.coordinates[15].reset();
            TestPair all = pictures(5, 10, 10);
            for (auto& v : all.coordinates)
                v.reset();
            c.pairs = {p, all};
            QTest::newRow("null coordinates") << c;
        }
        const std::pair<const char*, std::vector<double>> types[] = {
            {"long", {-2147483648.0, 2147483647.0, 0, -1}},
            {"integer", {-32768, 32767, 0, -1}},
            {"single", {0.5, -1.25e30, 3.0e38, 1.0 / 3.0}},
            {"double", {1e300, -0.125, 1.0 / 3.0, 4.9e-324}}};
        for (const auto& [type, extremes] : types) {
            Case c;
            c.coordinateType = type;
            TestPair p = pictures(6, 300, 300);
            for (std::size_t i = 0; i < extremes.size(); ++i)
                p.coordinates[i] = extremes[i];
            c.pairs = {p, pictures(7, 1, 1)};
            QTest::addRow("coordinate type %s", type) << c;
        }
        {
            Case c;
            c.units = "pixels";
            c.pairs = {pictures(8, 20, 20)};
            QTest::newRow("pixels become twips") << c;
        }
        {
            Case c;
            c.pairs = {pictures(9, 100, 100), pictures(2, 5000, 5000), pictures(5, 100, 100),
                       pictures(-3, 0, 0), pictures(1, 100, 100)};
            QTest::newRow("ids out of order") << c;
        }
        {
            // Rows far apart in the file, so usage maps need their own pages.
            Case c;
            for (int id = 1; id <= 45; ++id)
                c.pairs.push_back(pictures(id, 60'000, 60'000));
            QTest::newRow("rows spread over many pages") << c;
        }
        {
            Case c;
            QTest::newRow("no pairs") << c;
        }
    }

    void build()
    {
        QFETCH(Case, c);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const auto expected = prepare(c, folder.path());
        const QString database = folder.filePath("dbImages.mdb");
        const Run r =
            run(TAVRELLO_PACK, {"build", folder.filePath("manifest.json"), "-o", database});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY(r.err.isEmpty());
        QCOMPARE(QFileInfo(database).size() % 4096, 0);
        const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList({"dbImages.mdb", "manifest.json"}));

        compare("libmdb", readWithLibmdb(database, "tblImages"), c, expected, false);
        compare("mdbtools", readWithMdbTools(database, "tblImages"), c, expected, true);
        compare("mdb-reader", readWithMdbReader(database, "tblImages"), c, expected, false);
    }

    // Same manifest, same date, same bytes: the output depends on nothing else.
    void reproducible()
    {
        QTemporaryDir folder;
        Case c;
        c.pairs = {pictures(1, 9000, 10), pictures(2, 0, std::nullopt)};
        prepare(c, folder.path());
        qputenv("SOURCE_DATE_EPOCH", "1700000000");
        const QString manifest = folder.filePath("manifest.json");
        QCOMPARE(run(TAVRELLO_PACK, {"build", manifest, "-o", folder.filePath("a.mdb")}).exitCode,
                 0);
        QCOMPARE(run(TAVRELLO_PACK, {"build", manifest, "-o", folder.filePath("b.mdb")}).exitCode,
                 0);
        qunsetenv("SOURCE_DATE_EPOCH");
        QFile a(folder.filePath("a.mdb")), b(folder.filePath("b.mdb"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QVERIFY(a.readAll() == b.readAll());

        // The date goes into the header, and into the password field as Access mixes them.
        const ReadTable header = readWithMdbReader(folder.filePath("a.mdb"), "tblImages");
        QVERIFY2(header.warnings.isEmpty(), qPrintable(header.warnings));
        QCOMPARE(header.created, QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
        QVERIFY2(!header.password.isValid(), qPrintable(header.password.toString()));
    }

    void forceReplaces()
    {
        QTemporaryDir folder;
        Case c;
        c.pairs = {pictures(1, 10, 10)};
        prepare(c, folder.path());
        const QString database = folder.filePath("dbImages.mdb");
        QFile old(database);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        const QString manifest = folder.filePath("manifest.json");
        const Run refused = run(TAVRELLO_PACK, {"build", manifest, "-o", database});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY(refused.err.contains("--force"));
        QCOMPARE(QFileInfo(database).size(), 3);
        const Run forced = run(TAVRELLO_PACK, {"build", manifest, "-o", database, "--force"});
        QVERIFY2(forced.exitCode == 0, forced.err.constData());
        QCOMPARE(readWithLibmdb(database, "tblImages").rows.size(), std::size_t{1});
    }
};

QTEST_GUILESS_MAIN(RoundTrip)
#include "tst_pack_roundtrip.moc"
