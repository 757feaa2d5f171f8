// list, extract and check, on databases built by tavrello-pack from small drawn pictures.
#include "DrawnPairs.h"
#include "Readers.h"
#include "pack/Findability.h"
#include "tests/TestFiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using namespace packtest;
using testfiles::readFile;
using testfiles::writeFile;

namespace {

// The same places as kSquares with small squares: quiet changes, as a Hard pair has them.
const QList<QRect> kSmallSquares{QRect(40, 40, 7, 7), QRect(300, 60, 7, 7), QRect(80, 300, 7, 7),
                                 QRect(320, 340, 7, 7)};
// A Medium pair: three changes seen at a glance and one to search for.
const QList<QRect> kMediumSquares{kSquares[0], kSquares[1], QRect(80, 300, 11, 11), kSquares[3]};

} // namespace

class AuthoringTests : public QObject
{
    Q_OBJECT

  private slots:
    void checkFindsExactlyTheFaultOfEachPair_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected"); // a piece of the one finding, "" for none
        const auto row = [](const char* name, const char* fault, const char* expected) {
            QTest::newRow(name) << QString(fault) << QString(expected);
        };
        row("a fair pair", "none", "");
        row("a fair pair in JPEG", "jpeg", "");
        row("a fair pair with an edge inside a pixel", "midpixel", "");
        row("a fair pair with decimal coordinates", "none decimal", "");
        row("a duplicate id", "duplicate", "error: id ");
        row("a Null coordinate", "null", "error: difference 2: a coordinate is Null");
        row("x1 greater than x2", "x1>x2", "error: difference 1: x1 > x2");
        row("x1 greater than x2 in decimal", "x1>x2 decimal", "error: difference 1: x1 > x2");
        row("y1 greater than y2", "y1>y2", "error: difference 3: y1 > y2");
        row("a picture that doesn't decode", "undecodable",
            "error: the original picture doesn't decode");
        row("pictures of different sizes", "sizes", "error: the pictures differ in size");
        row("a rectangle outside the picture", "outside", "error: difference 4 reaches outside");
        row("a right edge one twip past the last pixel", "one twip past",
            "error: difference 4 reaches outside");
        row("a rectangle with no visible change", "invisible",
            "error: difference 3: nothing visibly changes");
        row("a rectangle over mirrored grain", "shuffled",
            "warning: difference 3: the change hardly shows");
        row("a smear over grain", "smear",
            "warning: difference 3: the change is smoother than the picture around it");
        row("leaves turned magenta", "magenta leaves",
            "warning: difference 3: recolours what looks like leaves, water or sky");
        row("sunlit yellow-green leaves turned magenta", "magenta sunlit leaves",
            "warning: difference 3: recolours what looks like leaves, water or sky");
        row("a dark fir turned blue", "blue fir",
            "warning: difference 3: recolours what looks like leaves, water or sky");
        row("a red thing turned blue", "blue thing", "");
        row("a piece cut out of a bar, the ground beside it in the gap", "cut bar",
            "warning: difference 3: cuts a piece out of something");
        row("changed pixels outside every rectangle", "uncovered",
            "changed pixels lie outside every difference");
        row("a level without pairs", "emptylevel", "warning: level 3 (Hard) has no pairs");
        row("a picture cut off by the box", "large",
            "warning: the pictures (500 x 500) are larger");
        row("a picture much smaller than the box", "small",
            "warning: the pictures (200 x 220) fill less");
        row("overlapping rectangles", "overlap", "warning: differences 1 and 2 overlap");
        row("an Easy pair with a difference to search for", "easy with a small one",
            "warning: difference 3: too hard to find for Easy");
        row("a Hard pair found at a glance", "hard with large ones",
            "too plain for Hard (findability");
        row("a Medium pair whose every difference is found at a glance", "medium with large ones",
            "warning: every difference plays as Easy: too plain for Medium");
    }
    void checkFindsExactlyTheFaultOfEachPair()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        PairsFolder author;
        if (fault.endsWith(" decimal")) {
            author.coordinateType = "decimal";
            fault.chop(8);
        }
        const QImage base = drawBase();
        const QImage changed = withChanges(base);
        if (fault != "emptylevel")
            author.pairs.append(
                author.pair(2, 2, base, withChanges(base, kMediumSquares), kMediumSquares));
        if (fault == "emptylevel")
            author.pairs.append(
                author.pair(3, 2, base, withChanges(base, kMediumSquares), kMediumSquares));
        else
            author.pairs.append(
                author.pair(3, 3, base, withChanges(base, kSmallSquares), kSmallSquares));

        QJsonObject p = author.pair(1, 1, base, changed, kSquares, fault == "jpeg" ? "jpg" : "png");
        if (fault == "null")
            setCorner(p, 1, "y2", QJsonValue::Null);
        if (fault == "x1>x2")
            setCorner(p, 0, "x1", 100 * 15);
        if (fault == "y1>y2")
            setCorner(p, 2, "y1", 400 * 15);
        if (fault == "outside")
            setCorner(p, 3, "x2", 451 * 15);
        if (fault == "overlap") // on difference 1's right edge: a press there finds both
            setCorner(p, 1, "x1", (kSquares[0].right() + 3) * 15);
        if (fault == "midpixel") // inside the first changed pixel column, which spans 15 twips
            setCorner(p, 0, "x1", (kSquares[0].left() - 1) * 15 + 7);
        if (fault == "one twip past") // the picture's width in twips, a pixel past its last one
            setCorner(p, 3, "x2", format::twipsFromPixels(format::kPictureWidth));
        if (fault == "undecodable")
            writeFile(author.dir.filePath(p["original"].toString()), "definitely not a picture");
        if (fault == "sizes")
            p = author.pair(1, 1, base, withChanges(drawBase({450, 400})));
        if (fault == "invisible")
            p = author.pair(1, 1, base, withChanges(base, kSquares.mid(0, 2) + kSquares.mid(3)),
                            {kSquares[0], kSquares[1], QRect(200, 200, 30, 30), kSquares[3]});
        const bool sunlit = fault == "magenta sunlit leaves";
        if (fault == "shuffled" || fault == "smear" || fault == "magenta leaves" ||
            fault == "blue fir" || sunlit) {
            // Grass around the third square. Mirrored inside it: thousands of pixels differ, the
            // eye sees the same grass. Smeared: a flat lighter green where the grain was.
            QImage grained = base;
            QRandomGenerator random(5);
            for (int y = 290; y < 350; ++y)
                for (int x = 70; x < 130; ++x) {
                    const int v = 90 + int(random.bounded(80));
                    grained.setPixel(x, y,
                                     sunlit ? qRgb(v * 95 / 100, v, v / 2)
                                            : qRgb(v * 6 / 10, v, v * 7 / 10));
                }
            QImage edited = withChanges(grained, {kSquares[0], kSquares[1], kSquares[3]});
            const QRect g = kSquares[2];
            if (fault == "shuffled")
                QPainter(&edited).drawImage(g.topLeft(), grained.copy(g).mirrored(true, false));
            else if (fault == "magenta leaves" || sunlit) // the same grain and shade, another hue
                for (int y = g.top(); y <= g.bottom(); ++y)
                    for (int x = g.left(); x <= g.right(); ++x) {
                        const int v = qGreen(grained.pixel(x, y));
                        edited.setPixel(x, y, qRgb(v, v * 6 / 10, v * 9 / 10));
                    }
            else if (fault == "blue fir") // deep, saturated green in shade, then blue
                for (int y = g.top(); y <= g.bottom(); ++y)
                    for (int x = g.left(); x <= g.right(); ++x) {
                        const int v = qGreen(grained.pixel(x, y)) / 2 + 20;
                        grained.setPixel(x, y, qRgb(v / 10, v, v * 3 / 10));
                        edited.setPixel(x, y, qRgb(v / 10, v * 3 / 10, v));
                    }
            else
                QPainter(&edited).fillRect(g, QColor(110, 165, 120));
            p = author.pair(1, 1, grained, edited);
        }
        if (fault == "blue thing") {
            const QImage red = withChanges(base, {kSquares[2]});
            QImage blue = changed;
            QPainter(&blue).fillRect(kSquares[2], QColor(30, 30, 230));
            p = author.pair(1, 1, red, blue);
        }
        if (fault == "cut bar") { // a brown bar, its middle taken away between two stripes
            QImage bar = base;
            QPainter(&bar).fillRect(20, 310, 180, 20, QColor(120, 60, 30));
            QImage cut = withChanges(bar, {kSquares[0], kSquares[1], kSquares[3]});
            QPainter(&cut).drawImage(QPoint(60, 310), base.copy(60, 310, 35, 20));
            p = author.pair(1, 1, bar, cut,
                            {kSquares[0], kSquares[1], QRect(57, 307, 41, 26), kSquares[3]});
        }
        if (fault == "easy with a small one") {
            const QList<QRect> one{kSquares[0], kSquares[1], kSmallSquares[2], kSquares[3]};
            p = author.pair(1, 1, base, withChanges(base, one), one);
        }
        if (fault == "medium with large ones")
            author.pairs.append(author.pair(4, 2, base, changed));
        if (fault == "hard with large ones") {
            author.pairs.append(author.pair(4, 1, base, changed));
            p = author.pair(1, 3, base, changed);
        }
        if (fault == "uncovered")
            p = author.pair(1, 1, base,
                            withChanges(base, kSquares + QList{QRect(200, 200, 40, 40)}));
        if (fault == "large")
            p = author.pair(1, 1, drawBase({500, 500}), withChanges(drawBase({500, 500})));
        if (fault == "small") {
            const QList<QRect> small{QRect(40, 10, 40, 40), QRect(140, 10, 40, 40),
                                     QRect(40, 150, 40, 40), QRect(140, 150, 40, 40)};
            p = author.pair(1, 1, drawBase({200, 220}), withChanges(drawBase({200, 220}), small),
                            small);
        }
        author.pairs.append(p);

        // What check says, as JSON and as text: the same findings, the exit status by the worst.
        const QString db = author.database(fault == "duplicate");
        const Run json = runPack({"check", db, "--json"});
        const QJsonObject root = QJsonDocument::fromJson(json.out).object();
        QStringList findings;
        for (const QJsonValue& entry : root["pairs"].toArray() + QJsonValue(root))
            for (const char* kind : {"error", "warning"})
                for (const QJsonValue& f : entry[QString(kind) + "s"].toArray())
                    findings << kind + QStringLiteral(": ") + f.toString();
        QVERIFY2(findings.filter(expected).size() == findings.size() &&
                     findings.isEmpty() == expected.isEmpty(),
                 qPrintable(findings.join('\n')));
        // Every measurable difference has its findability; the fair Easy pair's all suit Easy.
        const QJsonArray differences = root["pairs"].toArray().last()["differences"].toArray();
        QCOMPARE(differences.size(), 4);
        if (expected.isEmpty())
            for (const QJsonValue& f : differences)
                QVERIFY2(f["findability"].toInt() >= pack::levelFindability(1).minScore &&
                             f["changed_area"].toInt() >= pack::levelFindability(1).minArea,
                         qPrintable(QJsonDocument(differences).toJson()));
        const int errors = int(findings.filter(QRegularExpression("^error")).size());
        const int warnings = int(findings.size()) - errors;
        QCOMPARE(json.exitCode, errors > 0 ? 1 : 0);
        QCOMPARE(root["error_count"].toInt(), errors);
        QCOMPARE(root["warning_count"].toInt(), warnings);
        const Run text = runPack({"check", db});
        QCOMPARE(text.exitCode, json.exitCode);
        for (const QString& f : findings + QStringList{"(findability "})
            QVERIFY2(text.out.contains(f.toUtf8()), text.out.constData());
        QVERIFY2(text.out.endsWith(QString::asprintf("%d error%s, %d warning%s\n", errors,
                                                     errors == 1 ? "" : "s", warnings,
                                                     warnings == 1 ? "" : "s")
                                       .toUtf8()),
                 text.out.constData());
        // extract refuses a database that holds an id twice, which no manifest can hold.
        const Run extract = runPack({"extract", db, "--dir", author.dir.filePath("out")});
        QCOMPARE(extract.exitCode == 2 && extract.err.contains("appears twice"),
                 fault == "duplicate");
    }

    void extractThenBuildGivesBackTheSameDatabase_data()
    {
        QTest::addColumn<QString>("type");
        for (const char* type : {"long", "integer", "single", "double", "decimal", "long ace"})
            QTest::newRow(type) << type;
    }
    void extractThenBuildGivesBackTheSameDatabase()
    {
        QFETCH(QString, type);
        const bool ace = type.endsWith(" ace");
        type.remove(" ace");
        PairsFolder author;
        author.coordinateType = type;
        const QImage base = drawBase();
        author.pairs.append(author.pair(9, 2, base, withChanges(base), kSquares, "jpg"));
        QJsonObject odd = author.pair(4, 1, base, withChanges(base));
        odd["modified"] = QJsonValue::Null;
        setCorner(odd, 2, "x2", QJsonValue::Null);
        const bool fractions = type == "single" || type == "double" || type == "decimal";
        if (fractions)
            setCorner(odd, 2, "y1", 1234.5);
        author.pairs.append(odd);
        const QString first = author.database();
        if (ace) { // an Access 2010 header on the same pages: what changes is what a reader accepts
            QFile f(first);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(4));
            QCOMPARE(f.write("Standard ACE DB\0\x03", 17), 17);
        }

        QTemporaryDir out;
        const Run extract = runPack({"extract", first, "--dir", out.path()});
        QVERIFY2(extract.exitCode == 0, extract.err.constData());
        QCOMPARE(readFile(out.filePath("9-original.jpg")),
                 readFile(author.dir.filePath("9-original-0.jpg")));
        QVERIFY(QFile::exists(out.filePath("4-original.png")));
        QVERIFY(!QFile::exists(out.filePath("4-modified.png")));

        const QString second = out.filePath("again.mdb");
        const Run build = runPack({"build", out.filePath("manifest.json"), "-o", second});
        QVERIFY2(build.exitCode == 0, build.err.constData());
        // list: a line per row in the file's order, id, level, picture sizes, corners.
        const QByteArray listed = runPack({"list", first}).out;
        QCOMPARE(runPack({"list", second}).out, listed);
        QVERIFY(listed.contains(type == "decimal" ? ",1234.50," : fractions ? ",1234.5," : "null"));
        if (type == "long")
            QVERIFY2(QRegularExpression("^9 2 \\d+ \\d+ 555,555,1230,1230 4455,855,5130,1530 "
                                        "1155,4455,1830,5130 4755,5055,5430,5730\n4 1 \\d+ null ")
                         .match(QString::fromUtf8(listed))
                         .hasMatch(),
                     listed.constData());

        // Extracting again gives the same files; without --force it refuses to overwrite them.
        QTemporaryDir again;
        QCOMPARE(runPack({"extract", second, "--dir", again.path()}).exitCode, 0);
        for (const QString& name : QDir(out.path()).entryList({"*.jpg", "*.png", "manifest.json"}))
            QVERIFY2(readFile(out.filePath(name)) == readFile(again.filePath(name)),
                     qPrintable(name));
        QVERIFY(writeFile(again.filePath("9-original.jpg"), "mine"));
        const Run refused = runPack({"extract", second, "--dir", again.path()});
        QVERIFY2(refused.exitCode == 2 && refused.err.contains("already exists"),
                 refused.err.constData());
        QCOMPARE(readFile(again.filePath("9-original.jpg")), QByteArray("mine"));
        QCOMPARE(runPack({"extract", second, "--dir", again.path(), "--force"}).exitCode, 0);
    }

    // writeManifest: what it writes reads back as the same pairs, in twips, pictures relative to
    // it.
    void manifestReadsBackTheSame()
    {
        const QByteArray json = R"({"units": "pixels", "coordinate_type": "single", "pairs": [
            {"id": 7, "level": 2, "original": "pictures/a.jpg", "modified": "../elsewhere/b.png",
            "differences": [{"x1": 0, "y1": 1, "x2": 29, "y2": 30},
            {"x1": null, "y1": null, "x2": null, "y2": null},
            {"x1": 30.25, "y1": null, "x2": 60, "y2": 90}, {"x1": -1, "y1": 0, "x2": 449, "y2": 458}]},
            {"id": 1, "level": 1, "original": null, "modified": "c.jpg", "differences": [
            {"x1": 1, "y1": 2, "x2": 3, "y2": 4}, {"x1": 1, "y1": 2, "x2": 3, "y2": 4},
            {"x1": 1, "y1": 2, "x2": 3, "y2": 4}, {"x1": 1, "y1": 2, "x2": 3, "y2": 4}]}]})";
        QTemporaryDir dir;
        const QString folder = dir.filePath("set");
        QVERIFY(QDir().mkpath(folder));
        const pack::Manifest given = pack::parseManifest(json, "given.json", folder);

        // Written one folder up from the pictures' base: every path must be rewritten.
        const QString path = dir.filePath("manifest.json");
        pack::writeManifest(given, path);
        const pack::Manifest back = pack::readManifest(path);
        QCOMPARE(back.units, pack::Units::Twips);
        QCOMPARE(back.coordinateType, given.coordinateType);
        QCOMPARE(back.pairs.size(), given.pairs.size());
        for (std::size_t i = 0; i < given.pairs.size(); ++i) {
            QCOMPARE(back.pairs[i].id, given.pairs[i].id);
            QCOMPARE(back.pairs[i].level, given.pairs[i].level);
            QCOMPARE(back.pairs[i].original, given.pairs[i].original);
            QCOMPARE(back.pairs[i].modified, given.pairs[i].modified);
            for (std::size_t k = 0; k < 4; ++k)
                QCOMPARE(back.pairs[i].differences[k], given.pairs[i].differences[k]);
        }
        // No temporary file left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"manifest.json"});
    }
};

QTEST_MAIN(AuthoringTests)
#include "tst_authoring.moc"
