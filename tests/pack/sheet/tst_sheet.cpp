// tavrello-pack sheet: run as a user runs it, on small drawn pairs, its PNG read back.
#include "Readers.h"
#include "pack/Build.h"
#include "pack/Manifest.h"
#include "pack/Sheet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using packtest::runPack;

namespace {

constexpr int kBoxWidth = 450;
constexpr int kBoxHeight = 459;

// Blue to yellow with dark stripes: structure for the findability to weigh, and no magenta.
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

const QList<QRect> kSquares{QRect(40, 60, 40, 40), QRect(300, 60, 40, 40), QRect(80, 300, 40, 40),
                            QRect(320, 340, 40, 40)};

// A pairs folder: PNG pictures and a manifest; differences in twips, given per pair.
struct Folder
{
    QTemporaryDir dir;
    QJsonArray pairs;

    void add(int id, int level, const QImage& original, const QImage& modified,
             const QJsonArray& differences)
    {
        QJsonObject p{{"id", id}, {"level", level}, {"differences", differences}};
        for (const auto& [key, image] :
             {std::pair{"original", original}, std::pair{"modified", modified}}) {
            const QString name = QStringLiteral("%1-%2.png").arg(id).arg(key);
            QVERIFY(image.save(dir.filePath(name)));
            p[key] = name;
        }
        pairs.append(p);
    }
    static QJsonArray inTwips(const QList<QRect>& rects)
    {
        QJsonArray list;
        for (const QRect& r : rects)
            list.append(QJsonObject{{"x1", r.left() * 15},
                                    {"y1", r.top() * 15},
                                    {"x2", r.right() * 15 + 14},
                                    {"y2", r.bottom() * 15 + 14}});
        return list;
    }
    QString manifest()
    {
        const QString path = dir.filePath("manifest.json");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(QJsonDocument(QJsonObject{{"pairs", pairs}}).toJson()) < 0)
            return {};
        return path;
    }
    QString database()
    {
        const QString db = dir.filePath("pairs.mdb");
        pack::buildDatabase(pack::readManifest(manifest()), db, true);
        return db;
    }
};

QImage sheetOf(const QString& source, const QString& png, const QStringList& options = {})
{
    const packtest::Run r = runPack(QStringList{"sheet", source, "-o", png} + options);
    if (r.exitCode != 0)
        qWarning("%s", r.err.constData());
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

// Where pair `row`'s original box starts on a one-column sheet, given the findings of the pairs
// before it.
QPoint originalBoxOf(const QList<int>& findingsBefore)
{
    int y = pack::sheet::kMargin;
    for (int findings : findingsBefore)
        y += pack::sheet::kHeadingHeight + kBoxHeight + pack::sheet::kTextGap +
             (2 + findings) * pack::sheet::kLineHeight + pack::sheet::kMargin;
    return {pack::sheet::kMargin, y + pack::sheet::kHeadingHeight};
}

} // namespace

class SheetTests : public QObject
{
    Q_OBJECT

  private slots:
    // Two pairs, one of full-size pictures, one smaller: a row each, the pictures unscaled in
    // their boxes, the height that of the rows with check's findings listed under them.
    void rowsHoldThePicturesAtTheirOwnSize_data()
    {
        QTest::addColumn<bool>("fromDatabase");
        QTest::newRow("from a manifest") << false;
        QTest::newRow("from a database") << true;
    }
    void rowsHoldThePicturesAtTheirOwnSize()
    {
        QFETCH(bool, fromDatabase);
        Folder folder;
        const QImage big = drawBase({kBoxWidth, kBoxHeight});
        const QList<QRect> small{QRect(10, 10, 30, 30), QRect(120, 10, 30, 30),
                                 QRect(10, 150, 30, 30), QRect(140, 160, 30, 30)};
        const QImage little = drawBase({200, 220});
        folder.add(5, 1, big, withChanges(big, kSquares), Folder::inTwips(kSquares));
        folder.add(2, 2, little, withChanges(little, small), Folder::inTwips(small));
        const QString db = folder.database();
        const QString source = fromDatabase ? db : folder.manifest();
        const QImage sheet = sheetOf(source, folder.dir.filePath("s.png"), {"--no-rectangles"});

        QList<int> findings;
        const QJsonArray checked = QJsonDocument::fromJson(runPack({"check", db, "--json"}).out)
                                       .object()["pairs"]
                                       .toArray();
        QCOMPARE(checked.size(), 2);
        for (const QJsonValue& p : checked)
            findings << int(p["errors"].toArray().size() + p["warnings"].toArray().size());
        QVERIFY(findings[1] > 0); // the small pictures are warned about
        QCOMPARE(sheet.size(),
                 QSize(2 * pack::sheet::kMargin + 2 * kBoxWidth + pack::sheet::kPictureGap,
                       originalBoxOf(findings).y() - pack::sheet::kHeadingHeight));

        const int toModified = kBoxWidth + pack::sheet::kPictureGap;
        const QPoint first = originalBoxOf({});
        QCOMPARE(sheet.copy(QRect(first, big.size())), big);
        QCOMPARE(sheet.copy(QRect(first + QPoint(toModified, 0), big.size())),
                 withChanges(big, kSquares));
        const QPoint second = originalBoxOf({findings[0]});
        QCOMPARE(sheet.copy(QRect(second, little.size())), little);
        QCOMPARE(sheet.copy(QRect(second + QPoint(toModified, 0), little.size())),
                 withChanges(little, small));
        QCOMPARE(sheet.pixel(second + QPoint(little.width() + 5, 5)), qRgb(255, 255, 255));
    }

    // The outline lies on the difference's own edge pixels (and one outside), converted from
    // twips as the game hits them; --no-rectangles leaves the pictures bare.
    void outlinesLieOnTheEdgesOfEachDifference_data()
    {
        QTest::addColumn<bool>("outlined");
        QTest::newRow("outlined") << true;
        QTest::newRow("with --no-rectangles") << false;
    }
    void outlinesLieOnTheEdgesOfEachDifference()
    {
        QFETCH(bool, outlined);
        Folder folder;
        const QImage base = drawBase({kBoxWidth, kBoxHeight});
        QJsonArray differences = Folder::inTwips(kSquares);
        // Difference 1 covers pixels 40 to 79 across; its corners lie inside those pixels.
        QJsonObject first = differences[0].toObject();
        first["x1"] = 40 * 15 + 7;
        first["x2"] = 79 * 15 + 14;
        differences[0] = first;
        folder.add(1, 1, base, withChanges(base, kSquares), differences);
        const QImage sheet = sheetOf(folder.manifest(), folder.dir.filePath("s.png"),
                                     outlined ? QStringList{} : QStringList{"--no-rectangles"});
        QVERIFY(!sheet.isNull());

        const QRgb colour = pack::sheet::kRectangleColour;
        for (const QPoint box : {originalBoxOf({}), originalBoxOf({}) + QPoint(474, 0)}) {
            const QPoint middle = box + QPoint(0, 80);
            QCOMPARE(sheet.pixel(middle + QPoint(40, 0)) == colour, outlined);
            QCOMPARE(sheet.pixel(middle + QPoint(79, 0)) == colour, outlined);
            QVERIFY(sheet.pixel(middle + QPoint(41, 0)) != colour);
            QVERIFY(sheet.pixel(middle + QPoint(78, 0)) != colour);
        }
    }

    // The same pairs, Null corner and all, look the same from the manifest and the database.
    void databaseAndManifestGiveTheSameSheet()
    {
        Folder folder;
        const QImage base = drawBase({kBoxWidth, kBoxHeight});
        folder.add(3, 1, base, withChanges(base, kSquares), Folder::inTwips(kSquares));
        QJsonArray differences = Folder::inTwips(kSquares);
        QJsonObject third = differences[2].toObject();
        third["y2"] = QJsonValue::Null;
        differences[2] = third;
        folder.add(1, 3, base, withChanges(base, kSquares), differences);
        const QImage fromManifest = sheetOf(folder.manifest(), folder.dir.filePath("m.png"));
        const QImage fromDatabase = sheetOf(folder.database(), folder.dir.filePath("d.png"));
        QVERIFY(!fromManifest.isNull());
        QVERIFY(fromManifest == fromDatabase);
    }

    void badInputIsOneLineAndExitStatusTwo_data()
    {
        QTest::addColumn<QString>("source"); // a file name in the folder, written when "content"
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a missing file") << "gone.mdb" << QByteArray() << "s.png"
                                        << "no such file";
        QTest::newRow("not a database") << "text.mdb" << QByteArray("just some words\n") << "s.png"
                                        << "text.mdb: ";
        QTest::newRow("a broken manifest")
            << "manifest.json" << QByteArray("{\"pairs\": [") << "s.png"
            << "manifest.json: ";
        QTest::newRow("no -o") << "text.mdb" << QByteArray("x") << ""
                               << "give -o SHEET.png";
        QTest::newRow("-o not a PNG") << "text.mdb" << QByteArray("x") << "pairs.mdb"
                                      << "a name ending in .png";
    }
    void badInputIsOneLineAndExitStatusTwo()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, content);
        QFETCH(QString, output);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        if (!content.isEmpty()) {
            QFile f(dir.filePath(source));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        }
        QStringList arguments{"sheet", dir.filePath(source)};
        if (!output.isEmpty())
            arguments << "-o" << dir.filePath(output);
        const packtest::Run r = runPack(arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.count('\n') == 1 && r.err.endsWith('\n') &&
                     r.err.contains(expected.toUtf8()),
                 r.err.constData());
        QVERIFY(output.isEmpty() || !QFile::exists(dir.filePath(output)));
    }

    // One column while it stays within the limit; past it, two of about the same height.
    void pairsGoIntoTwoColumnsWhenOneIsTooTall()
    {
        const auto rows = [](int count, int height) { return std::vector<int>(count, height); };
        const auto start = [](const std::vector<int>& heights) {
            return int(pack::secondColumnStart(heights).value_or(999));
        };
        QCOMPARE(start(rows(10, 600)), 10);
        QCOMPARE(start(rows(51, 600)), 26);
        QCOMPARE(start({20000, 9000, 1000, 4000}), 1);
        QCOMPARE(start(rows(101, 600)), 999);
    }
};

QTEST_MAIN(SheetTests)
#include "tst_sheet.moc"
