// list, extract and check, on databases built by tavrello-pack from small drawn pictures.
#include "Build.h"
#include "Check.h"
#include "Manifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int status;
    QString out;
    QString err;
};

Run runPack(const QStringList& arguments)
{
    QProcess process;
    process.start(TAVRELLO_PACK, arguments);
    process.waitForFinished(120000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Four difference squares, in pixels, well apart.
const QList<QRect> kSquares{QRect(40, 40, 40, 40), QRect(300, 60, 40, 40), QRect(80, 300, 40, 40),
                            QRect(320, 340, 40, 40)};

// A picture with some structure, so that a difference has something to differ from.
QImage drawBase(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(60, 120, 180));
    g.setColorAt(1, QColor(200, 180, 90));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < size.width(); i += 50)
        p.fillRect(i, 0, 6, size.height(), QColor(40, 40, 40));
    return image;
}

QImage withChanges(QImage image, const QList<QRect>& squares)
{
    QPainter p(&image);
    for (const QRect& r : squares)
        p.fillRect(r, QColor(230, 30, 30));
    return image;
}

QJsonObject rectJson(const QRect& r, int margin = 3)
{
    return QJsonObject{{"x1", (r.left() - margin) * 15},
                       {"y1", (r.top() - margin) * 15},
                       {"x2", (r.right() + margin) * 15},
                       {"y2", (r.bottom() + margin) * 15}};
}

// Writes a manifest with the given pairs, each a JSON object with its pictures saved beside it.
struct Author
{
    QTemporaryDir dir;
    QJsonArray pairs;
    QString coordinateType = "long";

    QJsonObject pair(int id, int level, const QImage& original, const QImage& modified,
                     const QList<QRect>& rects = kSquares, const char* format = "png")
    {
        const QString o = QStringLiteral("%1-o-%2.%3").arg(id).arg(pairs.size()).arg(format);
        const QString m = QStringLiteral("%1-m-%2.%3").arg(id).arg(pairs.size()).arg(format);
        original.save(dir.filePath(o), format, 95);
        modified.save(dir.filePath(m), format, 95);
        QJsonArray differences;
        for (const QRect& r : rects)
            differences.append(rectJson(r));
        return QJsonObject{{"id", id},
                           {"level", level},
                           {"original", o},
                           {"modified", m},
                           {"differences", differences}};
    }

    void add(const QJsonObject& p) { pairs.append(p); }

    // A database with every pair twice: the manifest refuses duplicate ids, the writer doesn't, so
    // this goes around the manifest the way a file from elsewhere could.
    QString buildWithDuplicates()
    {
        build();
        pack::Manifest manifest = pack::readManifest(dir.filePath("manifest.json"));
        const std::vector<pack::Pair> once = manifest.pairs;
        manifest.pairs.insert(manifest.pairs.end(), once.begin(), once.end());
        const QString db = dir.filePath("duplicates.mdb");
        pack::buildDatabase(manifest, db, true);
        return db;
    }

    QString build()
    {
        QFile json(dir.filePath("manifest.json"));
        json.open(QIODevice::WriteOnly | QIODevice::Truncate);
        json.write(QJsonDocument(QJsonObject{{"units", "twips"},
                                             {"coordinate_type", coordinateType},
                                             {"pairs", pairs}})
                       .toJson());
        json.close();
        const QString db = dir.filePath("out.mdb");
        const Run r = runPack({"build", json.fileName(), "-o", db, "--force"});
        if (r.status != 0)
            qWarning("%s", qPrintable(r.err));
        return db;
    }

    // A fair pair at every level.
    void addFairLevels(int firstId = 1)
    {
        const QImage base = drawBase({450, 459});
        for (int level = 1; level <= 3; ++level)
            add(pair(firstId + level - 1, level, base, withChanges(base, kSquares)));
    }
};

// Gives a Jet 4 file the header of an Access 2010 (ACE) file. The two keep their pages alike, so
// the file stays whole; what changes is what a reader must accept.
bool relabelAsAccess2010(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(4))
        return false;
    return f.write("Standard ACE DB\0\x03", 17) == 17;
}

QStringList findingsOf(const pack::CheckReport& report)
{
    QStringList all;
    for (const pack::PairReport& p : report.pairs)
        for (const pack::Finding& f : p.findings)
            all << QStringLiteral("%1 %2: %3")
                       .arg(p.id, f.severity == pack::Finding::Error ? "error" : "warning", f.text);
    for (const pack::Finding& f : report.database)
        all << QStringLiteral("db %1: %2")
                   .arg(f.severity == pack::Finding::Error ? "error" : "warning", f.text);
    return all;
}

} // namespace

class AuthoringTests : public QObject
{
    Q_OBJECT

  private slots:
    void checkFindsExactlyTheFaultOfEachPair_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected"); // a piece of the one finding, "" for none
        QTest::newRow("a fair pair") << "none"
                                     << "";
        QTest::newRow("a fair pair in JPEG") << "jpeg"
                                             << "";
        QTest::newRow("a fair pair with an edge inside a pixel") << "midpixel"
                                                                 << "";
        QTest::newRow("a duplicate id") << "duplicate"
                                        << "error: id ";
        QTest::newRow("a Null coordinate") << "null"
                                           << "error: difference 2: a coordinate is Null";
        QTest::newRow("x1 greater than x2") << "x1>x2"
                                            << "error: difference 1: x1 > x2";
        QTest::newRow("y1 greater than y2") << "y1>y2"
                                            << "error: difference 3: y1 > y2";
        QTest::newRow("a picture that doesn't decode")
            << "undecodable"
            << "error: the original picture doesn't decode";
        QTest::newRow("pictures of different sizes") << "sizes"
                                                     << "error: the pictures differ in size";
        QTest::newRow("a rectangle outside the picture") << "outside"
                                                         << "error: difference 4 reaches outside";
        QTest::newRow("a rectangle with no visible change")
            << "invisible"
            << "error: difference 3: nothing visibly changes";
        QTest::newRow("a rectangle over mirrored grain")
            << "shuffled"
            << "warning: difference 3: the change hardly shows";
        QTest::newRow("a smear over grain")
            << "smear"
            << "warning: difference 3: the change is smoother than the picture around it";
        QTest::newRow("changed pixels outside every rectangle")
            << "uncovered"
            << "changed pixels lie outside every difference";
        QTest::newRow("a level without pairs") << "emptylevel"
                                               << "db warning: level 3 (Hard) has no pairs";
        QTest::newRow("a picture cut off by the box")
            << "large"
            << "warning: the pictures (500 x 500) are larger";
        QTest::newRow("a picture much smaller than the box")
            << "small"
            << "warning: the pictures (200 x 220) fill less";
        QTest::newRow("overlapping rectangles") << "overlap"
                                                << "warning: differences 1 and 2 overlap";
    }
    void checkFindsExactlyTheFaultOfEachPair()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        Author author;
        const QImage base = drawBase({450, 459});
        const QImage changed = withChanges(base, kSquares);
        if (fault != "emptylevel")
            author.add(author.pair(2, 2, base, changed));
        author.add(author.pair(3, 3 - (fault == "emptylevel" ? 1 : 0), base, changed));

        QJsonObject p = author.pair(1, 1, base, changed, kSquares, fault == "jpeg" ? "jpg" : "png");
        QJsonArray d = p["differences"].toArray();
        const auto setCorner = [&](int k, const char* corner, QJsonValue v) {
            QJsonObject r = d[k].toObject();
            r[corner] = v;
            d[k] = r;
        };
        if (fault == "null")
            setCorner(1, "y2", QJsonValue::Null);
        if (fault == "x1>x2")
            setCorner(0, "x1", 100 * 15);
        if (fault == "y1>y2")
            setCorner(2, "y1", 400 * 15);
        if (fault == "outside")
            setCorner(3, "x2", 451 * 15);
        if (fault == "undecodable") {
            QFile f(author.dir.filePath(p["original"].toString()));
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write("definitely not a picture");
        }
        if (fault == "sizes")
            p = author.pair(1, 1, base, withChanges(drawBase({450, 400}), kSquares));
        if (fault == "invisible")
            p = author.pair(1, 1, base, withChanges(base, kSquares.mid(0, 2) + kSquares.mid(3)),
                            {kSquares[0], kSquares[1], QRect(200, 200, 30, 30), kSquares[3]});
        if (fault == "shuffled" || fault == "smear") {
            // Grass around the third square. Mirrored inside it: thousands of pixels differ, the
            // eye sees the same grass. Smeared: a flat lighter green where the grain was.
            QImage grained = base;
            QRandomGenerator random(5);
            for (int y = 290; y < 350; ++y)
                for (int x = 70; x < 130; ++x) {
                    const int v = 90 + int(random.bounded(80));
                    grained.setPixel(x, y, qRgb(v * 6 / 10, v, v * 7 / 10));
                }
            QImage edited = withChanges(grained, {kSquares[0], kSquares[1], kSquares[3]});
            const QRect g = kSquares[2];
            if (fault == "shuffled")
                QPainter(&edited).drawImage(g.topLeft(), grained.copy(g).mirrored(true, false));
            else
                QPainter(&edited).fillRect(g, QColor(110, 165, 120));
            p = author.pair(1, 1, grained, edited);
        }
        if (fault == "uncovered")
            p = author.pair(1, 1, base,
                            withChanges(base, kSquares + QList<QRect>{QRect(200, 200, 40, 40)}));
        if (fault == "large")
            p = author.pair(1, 1, drawBase({500, 500}),
                            withChanges(drawBase({500, 500}), kSquares));
        if (fault == "small") {
            const QList<QRect> small{QRect(10, 10, 20, 20), QRect(100, 10, 20, 20),
                                     QRect(10, 150, 20, 20), QRect(150, 150, 20, 20)};
            p = author.pair(1, 1, drawBase({200, 220}), withChanges(drawBase({200, 220}), small),
                            small);
        }
        if (fault == "overlap")
            setCorner(1, "x1", 50 * 15);
        if (fault == "midpixel") // inside the first changed pixel column, which spans 15 twips
            setCorner(0, "x1", (kSquares[0].left() - 1) * 15 + 7);
        if (fault == "x1>x2" || fault == "y1>y2" || fault == "null" || fault == "outside" ||
            fault == "overlap" || fault == "midpixel")
            p["differences"] = d;
        author.add(p);

        const pack::CheckReport report = pack::checkDatabase(
            fault == "duplicate" ? author.buildWithDuplicates() : author.build());
        const QStringList findings = findingsOf(report);
        if (expected.isEmpty()) {
            QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
            return;
        }
        QVERIFY2(!findings.isEmpty() && findings.filter(expected).size() == findings.size(),
                 qPrintable(findings.join('\n')));
    }

    void checkExitsByTheWorstFinding_data()
    {
        QTest::addColumn<bool>("error");
        QTest::addColumn<bool>("warning");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("type");
        QTest::newRow("clean") << false << false << 0 << "long";
        QTest::newRow("clean, decimal coordinates") << false << false << 0 << "decimal";
        QTest::newRow("warnings only") << false << true << 0 << "long";
        QTest::newRow("an error") << true << false << 1 << "long";
        QTest::newRow("an error, decimal coordinates") << true << false << 1 << "decimal";
    }
    void checkExitsByTheWorstFinding()
    {
        QFETCH(bool, error);
        QFETCH(bool, warning);
        QFETCH(int, status);
        QFETCH(QString, type);
        Author author;
        author.coordinateType = type;
        const QImage base = drawBase({450, 459});
        author.add(author.pair(1, 1, base, withChanges(base, kSquares)));
        author.add(author.pair(2, 2, base, withChanges(base, kSquares)));
        if (!warning)
            author.add(author.pair(3, 3, base, error ? base : withChanges(base, kSquares)));
        else if (error)
            author.add(author.pair(3, 2, base, base));
        const QString db = author.build();
        const Run text = runPack({"check", db});
        QCOMPARE(text.status, status);
        QVERIFY(text.out.endsWith(QStringLiteral("checked: %1 error%2, %3 warning%4\n")
                                      .arg(error ? 4 : 0)
                                      .arg(error ? "s" : "s")
                                      .arg(warning ? 1 : 0)
                                      .arg(warning ? "" : "s")));
        const Run json = runPack({"check", db, "--json"});
        QCOMPARE(json.status, status);
        const QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(root["error_count"].toInt(), error ? 4 : 0);
        QCOMPARE(root["warning_count"].toInt(), warning ? 1 : 0);
        QCOMPARE(root["pairs"].toArray().size(), warning ? 2 : 3);
    }

    void extractThenBuildGivesBackTheSameDatabase_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("long") << "long";
        QTest::newRow("integer") << "integer";
        QTest::newRow("single") << "single";
        QTest::newRow("double") << "double";
        QTest::newRow("decimal") << "decimal";
        QTest::newRow("long, in an Access 2010 file") << "long ace";
    }
    void extractThenBuildGivesBackTheSameDatabase()
    {
        QFETCH(QString, type);
        const bool ace = type.endsWith(" ace");
        type.remove(" ace");
        Author author;
        author.coordinateType = type;
        const QImage base = drawBase({450, 459});
        author.add(author.pair(9, 2, base, withChanges(base, kSquares), kSquares, "jpg"));
        QJsonObject odd = author.pair(4, 1, base, withChanges(base, kSquares));
        odd["modified"] = QJsonValue::Null;
        QJsonArray d = odd["differences"].toArray();
        QJsonObject r = d[2].toObject();
        r["x2"] = QJsonValue::Null;
        const bool fractions = type == "single" || type == "double" || type == "decimal";
        if (fractions)
            r["y1"] = 1234.5;
        d[2] = r;
        odd["differences"] = d;
        author.add(odd);
        const QString first = author.build();
        if (ace)
            QVERIFY(relabelAsAccess2010(first));

        QTemporaryDir out;
        const Run extract = runPack({"extract", first, "--dir", out.path()});
        QVERIFY2(extract.status == 0, qPrintable(extract.err));
        QFile given(author.dir.filePath("9-o-0.jpg")), extracted(out.filePath("9-original.jpg"));
        QVERIFY(given.open(QIODevice::ReadOnly) && extracted.open(QIODevice::ReadOnly));
        QVERIFY(given.readAll() == extracted.readAll());
        QVERIFY(QFile::exists(out.filePath("4-original.png")));
        QVERIFY(!QFile::exists(out.filePath("4-modified.png")));

        const QString second = out.filePath("again.mdb");
        const Run build = runPack({"build", out.filePath("manifest.json"), "-o", second});
        QVERIFY2(build.status == 0, qPrintable(build.err));
        QCOMPARE(runPack({"list", second}).out, runPack({"list", first}).out);
        QVERIFY(runPack({"list", first})
                    .out.contains(type == "decimal" ? ",1234.50,"
                                  : fractions       ? ",1234.5,"
                                                    : "null"));

        QTemporaryDir again;
        QCOMPARE(runPack({"extract", second, "--dir", again.path()}).status, 0);
        for (const QString& name :
             QDir(out.path()).entryList({"*.jpg", "*.png", "manifest.json"})) {
            QFile a(out.filePath(name)), b(again.filePath(name));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QVERIFY2(a.readAll() == b.readAll(), qPrintable(name));
        }
    }

    void extractRefusesToOverwriteWithoutForce()
    {
        Author author;
        author.addFairLevels();
        const QString db = author.build();
        QTemporaryDir out;
        QCOMPARE(runPack({"extract", db, "--dir", out.path()}).status, 0);
        const Run again = runPack({"extract", db, "--dir", out.path()});
        QCOMPARE(again.status, 2);
        QVERIFY(again.err.contains("already exists"));
        QCOMPARE(runPack({"extract", db, "--dir", out.path(), "--force"}).status, 0);
    }

    void listPrintsOneLinePerRowInFileOrder()
    {
        Author author;
        author.addFairLevels(7);
        const Run list = runPack({"list", author.build()});
        QCOMPARE(list.status, 0);
        const QStringList lines = list.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("7 1 "));
        QVERIFY(lines[2].startsWith("9 3 "));
        QVERIFY(lines[0].endsWith(
            " 555,555,1230,1230 4455,855,5130,1530 1155,4455,1830,5130 4755,5055,5430,5730"));
    }

    void filesWithoutThePairsTableFailWithOneClearLine_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::newRow("list on Northwind (Jet 4)") << "list"
                                                   << "northwind-jet4.mdb";
        QTest::newRow("extract on Northwind (Jet 3)") << "extract"
                                                      << "northwind-jet3.mdb";
        QTest::newRow("check on an empty Access database") << "check"
                                                           << "empty-jet4.mdb";
        QTest::newRow("list on an Access 2007 file") << "list"
                                                     << "ASampleDatabase.accdb";
        QTest::newRow("list on a missing file") << "list"
                                                << "no-such.mdb";
    }
    void filesWithoutThePairsTableFailWithOneClearLine()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        const QString path = QStringLiteral(TAVRELLO_JET_TESTDATA "/") + file;
        if (file != "no-such.mdb" && !QFile::exists(path))
            QSKIP("needs the Access files of TAVRELLO_JET_TESTDATA, not on this machine");
        QTemporaryDir out;
        QStringList args{command, path};
        if (command == "extract")
            args << "--dir" << out.path();
        const Run run = runPack(args);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.startsWith("tavrello-pack: " + path + ": "), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(QDir(out.path()).isEmpty());
    }

    void badArgumentsGetOneLineAndStatus2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("list without a file") << QStringList{"list"};
        QTest::newRow("list with two files") << QStringList{"list", "a", "b"};
        QTest::newRow("extract without --dir") << QStringList{"extract", "a.mdb"};
        QTest::newRow("check with an unknown option") << QStringList{"check", "a.mdb", "--fast"};
    }
    void badArgumentsGetOneLineAndStatus2()
    {
        QFETCH(QStringList, arguments);
        const Run run = runPack(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err.count('\n'), 1);
    }

    void everyCommandHasHelp_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* c : {"build", "list", "extract", "check", "generate"})
            QTest::newRow(c) << c;
    }
    void everyCommandHasHelp()
    {
        QFETCH(QString, command);
        const Run run = runPack({command, "--help"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith("Usage: tavrello-pack " + command));
    }
};

QTEST_MAIN(AuthoringTests)
#include "tst_authoring.moc"
