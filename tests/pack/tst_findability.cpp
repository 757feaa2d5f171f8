// The findability measure on buffers made for the purpose: what counts as plainly changed,
// how busy surroundings weigh a change down, and which level a difference fits, at the edges.
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

} // namespace

class FindabilityTests : public QObject
{
    Q_OBJECT

  private slots:
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
