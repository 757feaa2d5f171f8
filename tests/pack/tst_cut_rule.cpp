// The reading of a change as a piece cut out of something, on pictures drawn for the purpose:
// grey ground with dark things on it, changed in the ways the generator changes things.
#include "pack/CutRule.h"

#include <QtTest>

namespace {

constexpr int kSide = 60;

struct Block
{
    int x0, y0, x1, y1; // [x0, x1) x [y0, y1)
    unsigned char r, g, b;
};

// A grey picture with the blocks drawn on it in order, three bytes a pixel.
std::vector<unsigned char> draw(const std::vector<Block>& blocks)
{
    std::vector<unsigned char> bytes(std::size_t(kSide) * kSide * 3, 150);
    for (const Block& b : blocks)
        for (int y = b.y0; y < b.y1; ++y)
            for (int x = b.x0; x < b.x1; ++x) {
                unsigned char* px = &bytes[(std::size_t(y) * kSide + std::size_t(x)) * 3];
                px[0] = b.r;
                px[1] = b.g;
                px[2] = b.b;
            }
    return bytes;
}

pack::ColourPixels viewOf(const std::vector<unsigned char>& bytes)
{
    pack::ColourPixels p;
    p.data = bytes.data();
    p.width = p.height = kSide;
    p.bytesPerLine = kSide * 3;
    return p;
}

constexpr Block dark(int x0, int y0, int x1, int y1)
{
    return {x0, y0, x1, y1, 40, 40, 40};
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Block>)

class CutRuleTests : public QObject
{
    Q_OBJECT

  private slots:
    void aPieceCutOutOfAThingIsToldFromAWholeThingChanged_data()
    {
        QTest::addColumn<std::vector<Block>>("before");
        QTest::addColumn<std::vector<Block>>("after");
        QTest::addColumn<bool>("cuts");
        QTest::newRow("a whole thing taken off its ground")
            << std::vector<Block>{dark(22, 22, 34, 34)} << std::vector<Block>{} << false;
        QTest::newRow("the middle of a long bar taken away, ground in the gap")
            << std::vector<Block>{dark(4, 24, 56, 36)}
            << std::vector<Block>{dark(4, 24, 56, 36), {24, 24, 36, 36, 150, 150, 150}} << true;
        QTest::newRow("a thing enlarged") << std::vector<Block>{dark(24, 24, 36, 36)}
                                          << std::vector<Block>{dark(20, 20, 40, 40)} << false;
        QTest::newRow("a thing shrunk") << std::vector<Block>{dark(18, 18, 42, 42)}
                                        << std::vector<Block>{dark(20, 20, 40, 40)} << false;
        QTest::newRow("a thing recoloured")
            << std::vector<Block>{dark(22, 22, 34, 34)}
            << std::vector<Block>{{22, 22, 34, 34, 200, 30, 30}} << false;
        QTest::newRow("a thing swapped for ground of another colour")
            << std::vector<Block>{dark(4, 24, 56, 36)}
            << std::vector<Block>{dark(4, 24, 56, 36), {24, 24, 36, 36, 230, 230, 60}} << false;
    }
    void aPieceCutOutOfAThingIsToldFromAWholeThingChanged()
    {
        QFETCH(std::vector<Block>, before);
        QFETCH(std::vector<Block>, after);
        QFETCH(bool, cuts);
        const std::vector<unsigned char> a = draw(before), b = draw(after);
        std::vector<bool> changed(std::size_t(kSide) * kSide);
        int x0 = kSide, y0 = kSide, x1 = 0, y1 = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const std::size_t i = std::size_t(y) * kSide + std::size_t(x);
                changed[i] = a[i * 3] != b[i * 3] || a[i * 3 + 2] != b[i * 3 + 2];
                if (changed[i]) {
                    x0 = std::min(x0, x);
                    y0 = std::min(y0, y);
                    x1 = std::max(x1, x + 1);
                    y1 = std::max(y1, y + 1);
                }
            }
        // The rectangle an author draws: a few pixels of room around the change.
        const pack::CutReading r = pack::readCut(viewOf(a), viewOf(b), changed,
                                                 {x0 - 3, y0 - 3, x1 - x0 + 6, y1 - y0 + 6});
        QVERIFY2(r.cuts() == cuts, qPrintable(QStringLiteral("continuation %1, ground %2")
                                                  .arg(r.continuation)
                                                  .arg(r.groundShare)));
    }
};

QTEST_APPLESS_MAIN(CutRuleTests)
#include "tst_cut_rule.moc"
