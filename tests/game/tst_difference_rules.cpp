// When a press finds a difference and when a picture is solved, without a window or a database.
#include <QtTest>

// moc stumbles over <compare>, which the stored values need; the test class itself doesn't.
#ifndef Q_MOC_RUN
#include "game/DifferenceRules.h"
#endif

using game::DifferenceEdges;
using store::FieldValue;

Q_DECLARE_METATYPE(DifferenceEdges)

namespace {
FieldValue whole(std::int64_t v)
{
    return FieldValue(FieldValue::Storage(v));
}
// The edges 150, 300, 600, 450 of the test pairs, as a Long column stores them.
DifferenceEdges longEdges()
{
    return {whole(150), whole(300), whole(600), whole(450)};
}
} // namespace

class DifferenceRulesTests : public QObject
{
    Q_OBJECT
  private slots:
    void aPressHitsOnTheEdgesAndMissesOneTwipOutside_data()
    {
        QTest::addColumn<DifferenceEdges>("edges");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<bool>("hit");
        const DifferenceEdges e = longEdges();
        QTest::newRow("left bottom corner") << e << 150.f << 450.f << true;
        QTest::newRow("right top corner") << e << 600.f << 300.f << true;
        QTest::newRow("one twip right") << e << 601.f << 400.f << false;
        QTest::newRow("one twip left") << e << 149.f << 400.f << false;
        QTest::newRow("one twip above") << e << 300.f << 299.f << false;
        QTest::newRow("one twip below") << e << 300.f << 451.f << false;
        QTest::newRow("a fraction inside") << e << 599.5f << 449.5f << true;
        QTest::newRow("a fraction outside") << e << 600.5f << 400.f << false;

        DifferenceEdges nullRight = e;
        nullRight.x2 = FieldValue();
        QTest::newRow("a Null edge never hits") << nullRight << 300.f << 400.f << false;
        DifferenceEdges inverted{whole(600), whole(300), whole(150), whole(450)};
        QTest::newRow("inverted edges hold nothing") << inverted << 300.f << 400.f << false;

        // Each stored type is compared exactly as the number it holds.
        DifferenceEdges single = e;
        single.x2 = FieldValue(FieldValue::Storage(600.25f));
        QTest::newRow("single edge on a quarter twip") << single << 600.25f << 400.f << true;
        DifferenceEdges dbl = e;
        dbl.x2 = FieldValue(FieldValue::Storage(599.9));
        QTest::newRow("double edge below the press") << dbl << 600.f << 400.f << false;
        DifferenceEdges currency = e;
        currency.x2 = FieldValue(FieldValue::Storage(FieldValue::Currency{6000000}));
        QTest::newRow("currency 600.0000") << currency << 600.f << 400.f << true;
        DifferenceEdges decimal = e;
        decimal.x2 = FieldValue(FieldValue::Storage(FieldValue::Decimal{60000, 2}));
        QTest::newRow("decimal 600.00") << decimal << 600.f << 400.f << true;
        QTest::newRow("decimal 600.00, one twip right") << decimal << 601.f << 400.f << false;
    }
    void aPressHitsOnTheEdgesAndMissesOneTwipOutside()
    {
        QFETCH(DifferenceEdges, edges);
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(bool, hit);
        QCOMPARE(game::PressHits(edges, x, y), hit);
    }

    void aPictureIsSolvedOnlyWithAllFourFound_data()
    {
        QTest::addColumn<std::array<bool, 4>>("found");
        QTest::addColumn<bool>("solved");
        QTest::newRow("none") << std::array<bool, 4>{} << false;
        QTest::newRow("the first three") << std::array<bool, 4>{true, true, true, false} << false;
        QTest::newRow("the last three") << std::array<bool, 4>{false, true, true, true} << false;
        QTest::newRow("all four") << std::array<bool, 4>{true, true, true, true} << true;
    }
    void aPictureIsSolvedOnlyWithAllFourFound()
    {
        using Found = std::array<bool, 4>;
        QFETCH(Found, found);
        QFETCH(bool, solved);
        QCOMPARE(game::PictureSolved(found), solved);
    }
};

QTEST_APPLESS_MAIN(DifferenceRulesTests)
#include "tst_difference_rules.moc"
