// The findability measure on buffers made for the purpose: the change a player sees, what counts
// as plainly changed, how busy surroundings weigh a change down, and which level a difference
// fits, at the edges.
#include "pack/Findability.h"

#include <QtTest>

namespace {

constexpr int kW = 120, kH = 120;

// A grey picture: flat, or with stripes two pixels wide (every pixel among them is busy) in the
// square [busyFrom, busyTo) across and down.
std::vector<float> ground(int busyFrom = 0, int busyTo = 0)
{
    std::vector<float> grey(std::size_t(kW) * kH, 100.f);
    for (int y = busyFrom; y < busyTo; ++y)
        for (int x = busyFrom; x < busyTo; ++x)
            grey[std::size_t(y) * kW + std::size_t(x)] = (x / 2) % 2 ? 40.f : 160.f;
    return grey;
}

// A 40 x 40 grey picture, three bytes a pixel in the given channel order, with a red square
// (15..24) when `red` is set.
std::vector<unsigned char> squarePicture(bool red, bool blueFirst)
{
    std::vector<unsigned char> bytes(40 * 40 * 3, 128);
    for (int y = 15; y < 25; ++y)
        for (int x = 15; x < 25; ++x) {
            unsigned char* px = &bytes[std::size_t(y * 40 + x) * 3];
            if (red) {
                px[blueFirst ? 2 : 0] = 230;
                px[1] = 20;
                px[blueFirst ? 0 : 2] = 20;
            }
        }
    return bytes;
}

pack::ColourPixels viewOf(const std::vector<unsigned char>& bytes, bool blueFirst)
{
    pack::ColourPixels p;
    p.data = bytes.data();
    p.width = p.height = 40;
    p.bytesPerLine = 40 * 3;
    p.red = blueFirst ? 2 : 0;
    p.blue = blueFirst ? 0 : 2;
    return p;
}

} // namespace

class FindabilityTests : public QObject
{
    Q_OBJECT

  private slots:
    void labColoursOfKnownSrgbColours_data()
    {
        QTest::addColumn<QList<int>>("rgb");
        QTest::addColumn<QList<double>>("lab");
        QTest::newRow("white") << QList<int>{255, 255, 255} << QList<double>{100, 0, 0};
        QTest::newRow("black") << QList<int>{0, 0, 0} << QList<double>{0, 0, 0};
        QTest::newRow("red") << QList<int>{255, 0, 0} << QList<double>{53.24, 80.09, 67.20};
        QTest::newRow("blue") << QList<int>{0, 0, 255} << QList<double>{32.30, 79.19, -107.86};
        QTest::newRow("mid grey") << QList<int>{119, 119, 119} << QList<double>{50.0, 0, 0};
    }
    void labColoursOfKnownSrgbColours()
    {
        QFETCH(QList<int>, rgb);
        QFETCH(QList<double>, lab);
        const std::array<float, 3> got = pack::labOf(rgb[0], rgb[1], rgb[2]);
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::abs(got[std::size_t(c)] - lab[c]) < 0.3,
                     qPrintable(QString("channel %1: %2").arg(c).arg(got[std::size_t(c)])));
    }

    // Qt's buffers hold red first, OpenCV's blue first: both must read as the same change, and
    // the eye's blur carries a change past its square's edge and softens its corners.
    void aChangeReadsAlikeFromEitherChannelOrderAndBlursAtItsEdges()
    {
        std::array<std::vector<float>, 2> change;
        for (bool blueFirst : {false, true}) {
            const auto before = squarePicture(false, blueFirst);
            const auto after = squarePicture(true, blueFirst);
            change[blueFirst] = pack::perceptibleChange(viewOf(before, blueFirst),
                                                        viewOf(after, blueFirst), {10, 10, 20, 20});
        }
        QCOMPARE(change[0], change[1]);
        const auto at = [&](int x, int y) {
            return change[0][std::size_t((y - 10) * 20 + x - 10)];
        };
        const double full = pack::labOf(230, 20, 20)[1] - pack::labOf(128, 128, 128)[1];
        QVERIFY(at(20, 20) > 0.9 * full);       // the square's middle: nearly the whole change
        QVERIFY(at(15, 15) < 0.5 * at(20, 20)); // its corner: blurred with the grey around
        QVERIFY(at(12, 20) > pack::kJustVisibleDeltaE); // three pixels outside it, still seen
    }

    void plainlyChangedPixelsAreThoseAboveTheThreshold()
    {
        const float at = float(pack::kPlainChangeDeltaE);
        const std::vector<float> deltaE{0.f, at, std::nextafter(at, 100.f), 50.f};
        const pack::Findability f =
            pack::measureFindability(deltaE, ground(), kW, kH, {50, 50, 2, 2});
        QCOMPARE(f.changedArea, 2);
        QCOMPARE(f.clutter, 0.0);
        QCOMPARE(f.score, 2.0);
    }

    void busySurroundingsWeighAChangeDown_data()
    {
        QTest::addColumn<int>("busyFrom");
        QTest::addColumn<int>("busyTo");
        QTest::addColumn<double>("clutter");
        QTest::newRow("plain ground") << 0 << 0 << 0.0;
        QTest::newRow("busy ground all round") << 20 << 100 << 1.0;
        // The neighbourhood of a 20-pixel box at 50 reaches from 30 to 90; stripes under the box
        // itself don't count. (Most of the picture is busy all round, less its outer rows.)
        QTest::newRow("busy only under the change") << 52 << 68 << 0.0;
        QTest::newRow("busy only beyond the neighbourhood") << 92 << kW << 0.0;
    }
    void busySurroundingsWeighAChangeDown()
    {
        QFETCH(int, busyFrom);
        QFETCH(int, busyTo);
        QFETCH(double, clutter);
        const std::vector<float> deltaE(20 * 20, 40.f);
        const pack::Findability f =
            pack::measureFindability(deltaE, ground(busyFrom, busyTo), kW, kH, {50, 50, 20, 20});
        QCOMPARE(f.changedArea, 400);
        QCOMPARE(f.clutter, clutter);
        QCOMPARE(f.score, 400 / (1 + pack::kClutterWeight * clutter));
    }

    void neighbourhoodStaysInsideThePicture()
    {
        const pack::SeamBox n = pack::neighbourhood({0, 100, 30, 20}, kW, kH);
        QCOMPARE(n.x, 1);
        QCOMPARE(n.y, 70);
        QCOMPARE(n.x + n.width, 60);
        QCOMPARE(n.y + n.height, kH - 1);
    }

    void aDifferenceFitsTheEasiestLevelWhoseDemandsItMeets_data()
    {
        QTest::addColumn<int>("area");
        QTest::addColumn<double>("score");
        QTest::addColumn<int>("level");
        const pack::LevelFindability easy = pack::levelFindability(1);
        const pack::LevelFindability medium = pack::levelFindability(2);
        const pack::LevelFindability hard = pack::levelFindability(3);
        QTest::newRow("Easy at its minimum") << easy.minArea << easy.minScore << 1;
        QTest::newRow("Easy's score but one pixel short") << easy.minArea - 1 << easy.minScore << 2;
        QTest::newRow("Easy's area on busy ground") << easy.minArea << easy.minScore - 1 << 2;
        QTest::newRow("Medium at its minimum") << medium.minArea << medium.minScore << 2;
        QTest::newRow("Hard at its loudest") << medium.minArea - 1 << hard.maxScore << 3;
        QTest::newRow("too loud for Hard, too small for Medium")
            << medium.minArea - 1 << hard.maxScore + 1 << 2;
        QTest::newRow("Hard at its quietest") << hard.minArea << hard.minScore << 3;
        QTest::newRow("fainter than any level") << hard.minArea - 1 << 10.0 << 3;
    }
    void aDifferenceFitsTheEasiestLevelWhoseDemandsItMeets()
    {
        QFETCH(int, area);
        QFETCH(double, score);
        QFETCH(int, level);
        pack::Findability f;
        f.changedArea = area;
        f.score = score;
        QCOMPARE(pack::fittingLevel(f), level);
    }
};

QTEST_APPLESS_MAIN(FindabilityTests)
#include "tst_findability.moc"
