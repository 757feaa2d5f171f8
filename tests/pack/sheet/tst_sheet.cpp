// tavrello-pack sheet: run as a user runs it, on small drawn pairs, its PNG read back.
#include "DrawnPairs.h"
#include "Readers.h"
#include "pack/Sheet.h"

#include <QtTest>

using namespace packtest;

namespace {

constexpr int kBoxWidth = 450;
constexpr int kBoxHeight = 459;

QImage sheetOf(const QString& source, const QString& png, const QStringList& options = {})
{
    const Run r = runPack(QStringList{"sheet", source, "-o", png} + options);
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
    void rowsHoldThePicturesAtTheirOwnSize()
    {
        PairsFolder folder;
        const QImage big = drawBase();
        const QList<QRect> small{QRect(10, 10, 30, 30), QRect(120, 10, 30, 30),
                                 QRect(10, 150, 30, 30), QRect(140, 160, 30, 30)};
        const QImage little = drawBase({200, 220});
        folder.pairs.append(folder.pair(5, 1, big, withChanges(big)));
        folder.pairs.append(folder.pair(2, 2, little, withChanges(little, small), small));
        const QString db = folder.database();
        const QImage sheet = sheetOf(db, folder.dir.filePath("s.png"), {"--no-rectangles"});

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
        QCOMPARE(sheet.copy(QRect(first + QPoint(toModified, 0), big.size())), withChanges(big));
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
        PairsFolder folder;
        const QImage base = drawBase();
        // Difference 1 covers pixels 40 to 79 across; its corners lie inside those pixels.
        QJsonObject pair = folder.pair(1, 1, base, withChanges(base));
        setCorner(pair, 0, "x1", 40 * 15 + 7);
        setCorner(pair, 0, "x2", 79 * 15 + 14);
        folder.pairs.append(pair);
        const QImage sheet = sheetOf(folder.manifest(), folder.dir.filePath("s.png"),
                                     outlined ? QStringList{} : QStringList{"--no-rectangles"});
        QVERIFY(!sheet.isNull());

        const QRgb colour = pack::sheet::kRectangleColour;
        for (const QPoint box : {originalBoxOf({}), originalBoxOf({}) + QPoint(474, 0)}) {
            const QPoint middle = box + QPoint(0, 60);
            QCOMPARE(sheet.pixel(middle + QPoint(40, 0)) == colour, outlined);
            QCOMPARE(sheet.pixel(middle + QPoint(79, 0)) == colour, outlined);
            QVERIFY(sheet.pixel(middle + QPoint(41, 0)) != colour);
            QVERIFY(sheet.pixel(middle + QPoint(78, 0)) != colour);
        }
    }

    // The same pairs, Null corner and all, look the same from the manifest and the database.
    void databaseAndManifestGiveTheSameSheet()
    {
        PairsFolder folder;
        const QImage base = drawBase();
        folder.pairs.append(folder.pair(3, 1, base, withChanges(base)));
        QJsonObject pair = folder.pair(1, 3, base, withChanges(base));
        setCorner(pair, 2, "y2", QJsonValue::Null);
        folder.pairs.append(pair);
        const QImage fromManifest = sheetOf(folder.manifest(), folder.dir.filePath("m.png"));
        const QImage fromDatabase = sheetOf(folder.database(), folder.dir.filePath("d.png"));
        QVERIFY(!fromManifest.isNull());
        QVERIFY(fromManifest == fromDatabase);
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
