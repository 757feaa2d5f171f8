// The rules of a game without a window or a database: when a press finds a difference, when a
// picture is solved, the clock, the way from pair to pair and what the player is told.
#include <QtTest>

// moc stumbles over <compare>, which the stored values need; the test class itself doesn't.
#ifndef Q_MOC_RUN
#include "rules/LevelGame.h"
#endif

using rules::DifferenceEdges;
using rules::LevelGame;
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

class GameRulesTests : public QObject
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
        QCOMPARE(rules::PressHits(edges, x, y), hit);
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
        QCOMPARE(rules::PictureSolved(found), solved);
    }
    void eachLevelOpensWithItsOwnQuery_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("query");
        QTest::newRow("Easy") << 1 << "select * from tblImages where level=1 order by id";
        QTest::newRow("Medium") << 2 << "select * from tblImages where level=2 order by id";
        QTest::newRow("Hard") << 3 << "select * from tblImages where level=3 order by id";
    }
    void eachLevelOpensWithItsOwnQuery()
    {
        QFETCH(int, level);
        QFETCH(QString, query);
        QCOMPARE(QString::fromLatin1(LevelGame::openingQuery(level)), query);
    }

    void aPictureTimedAndSolvedThenTheNextStartsAfresh()
    {
        LevelGame game;
        QVERIFY(!game.running());
        game.start();
        QVERIFY(game.running());
        game.tick();
        game.tick();
        const DifferenceEdges e = longEdges();
        QVERIFY(!game.press(0, e, 149.f, 400.f));
        for (int k = 0; k < 4; ++k) {
            QVERIFY(!game.solved());
            QVERIFY(game.press(k, e, 150.f, 450.f));
        }
        QVERIFY(game.solved());
        QCOMPARE(game.solvedMessage(), QStringLiteral("You solve it in 2 second(s)"));

        // The next pair is on screen: its clock starts from nought and nothing of it is found.
        game.nextPairShown();
        QCOMPARE(game.secondsElapsed(), 0);
        QCOMPARE(game.foundCount(), 0);
        QVERIFY(!game.solved());
        QVERIFY(game.running());
        game.tick();
        QCOMPARE(game.solvedMessage(), QStringLiteral("You solve it in 1 second(s)"));

        // The last pair solved: the game stops, and a new one starts from nought.
        game.stop();
        QVERIFY(!game.running());
        game.start();
        QCOMPARE(game.secondsElapsed(), 0);
        QVERIFY(game.running());
    }

    void givingUpCountsEachDifferenceFoundOnce_data()
    {
        QTest::addColumn<QList<int>>("hits"); // the differences pressed, in order
        QTest::addColumn<QString>("message");
        QTest::newRow("none") << QList<int>{} << "Game Over.You only solve 0 out of 4.";
        QTest::newRow("the same one twice")
            << QList<int>{2, 2} << "Game Over.You only solve 1 out of 4.";
        QTest::newRow("two") << QList<int>{0, 3} << "Game Over.You only solve 2 out of 4.";
        QTest::newRow("three") << QList<int>{3, 1, 0} << "Game Over.You only solve 3 out of 4.";
    }
    void givingUpCountsEachDifferenceFoundOnce()
    {
        QFETCH(QList<int>, hits);
        QFETCH(QString, message);
        LevelGame game;
        game.start();
        for (int k : hits)
            QVERIFY(game.press(k, longEdges(), 300.f, 400.f));
        game.stop();
        QVERIFY(!game.running());
        QCOMPARE(game.gameOverMessage(), message);
    }
};

QTEST_APPLESS_MAIN(GameRulesTests)
#include "tst_game_rules.moc"
