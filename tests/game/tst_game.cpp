// Whole games in the real window against databases made by tavrello-pack.
#include "ProgramFolder.h"
#include "game/Form1.h"
#include "store/Connection.h"
#include "store/PictureFiles.h"
#include "support/MessageBoxes.h"
#include "support/ProgramEnd.h"

#include <QtTest>
#include <memory>

using game::Form1;
using support::Message;

namespace {

// A PNG whose header claims 40 000 x 40 000 RGBA pixels (its IHDR and IEND chunks, checksums
// included): decoding it would take gigabytes.
const QByteArray kHugePng = QByteArray::fromHex(
    "89504e470d0a1a0a0000000d4948445200009c4000009c400806000000510c0e050000000049454e44ae426082");

} // namespace

class GameTests : public QObject
{
    Q_OBJECT

    QList<Message> shown;
    int programEnds = 0;

    std::unique_ptr<Form1> openWindow(const ProgramFolder& folder, const QString& database = {})
    {
        auto form = std::make_unique<Form1>(folder.path(), database);
        form->Form_Load();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("window not exposed");
        return form;
    }

    void start(Form1& form, int level = 1)
    {
        QRadioButton* options[] = {form.Option1, form.Option2, form.Option3};
        options[level - 1]->setChecked(true);
        QTest::mouseClick(form.PushButton1, Qt::LeftButton);
    }

    // A real press on the left picture, at a point given in twips (multiples of 15).
    void press(Form1& form, int x, int y, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(form.Picture2->inner(), button, modifiers, QPoint(x / 15, y / 15));
        QTest::mouseRelease(form.Picture2->inner(), button, modifiers, QPoint(x / 15, y / 15));
    }

    void solveDefaultPair(Form1& form)
    {
        press(form, 300, 375);
        press(form, 1125, 1350);
        press(form, 3225, 375);
        press(form, 4950, 4800);
    }

    int visibleMarkers(const Form1& form)
    {
        int n = 0;
        for (int i = 0; i < 4; ++i)
            n += (form.Shape1[i]->Visible() ? 1 : 0) + (form.Shape2[i]->Visible() ? 1 : 0);
        return n;
    }

    QStringList texts() const
    {
        QStringList list;
        for (const Message& m : shown)
            list << m.text;
        return list;
    }

    QColor leftColour(const Form1& form) { return form.Picture2->Picture().pixelColor(1, 1); }

    void verifyIdle(const Form1& form)
    {
        QCOMPARE(form.PushButton1->text(), QStringLiteral("Start New Game"));
        QVERIFY(form.Frame1->isEnabled());
        QVERIFY(!form.Timer1->Enabled());
        QCOMPARE(form.Timer1->Interval(), 0);
        QVERIFY(!form.gameRunning());
        QVERIFY(form.Picture2->Picture().isNull());
        QVERIFY(form.Picture3->Picture().isNull());
        QCOMPARE(visibleMarkers(form), 0);
    }

  private slots:
    void initTestCase()
    {
        store::setEventYield([] { QCoreApplication::processEvents(); });
    }

    void init()
    {
        shown.clear();
        programEnds = 0;
        support::setMessagePresenter([this](const Message& m) { shown.append(m); });
        support::setProgramEndHandler([this] { ++programEnds; });
    }

    void cleanup()
    {
        support::setMessagePresenter({});
        support::setProgramEndHandler({});
    }

    // Where exactly a press hits is the rules' test; here, that a real press with any button,
    // Shift held or not, shows both markers over each difference it hits and none on a miss.
    void aPressShowsBothMarkersOfEachDifferenceItHits_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("markers");
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
        QTest::newRow("left bottom corner") << 150 << 450 << Qt::LeftButton << none << 2;
        QTest::newRow("one pixel below") << 150 << 465 << Qt::LeftButton << none << 0;
        QTest::newRow("right with shift") << 150 << 300 << Qt::RightButton << shift << 2;
        QTest::newRow("middle with shift") << 150 << 300 << Qt::MiddleButton << shift << 2;
        // The second difference overlaps the first around (450..600, 375..450).
        QTest::newRow("where two overlap") << 525 << 420 << Qt::LeftButton << none << 4;
    }
    void aPressShowsBothMarkersOfEachDifferenceItHits()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, markers);
        ProgramFolder folder;
        TestPair pair;
        pair.differences[1] = {450, 375, 900, 900};
        folder.addDatabase({pair});
        auto form = openWindow(folder);
        start(*form);
        press(*form, x, y, button, modifiers);
        QCOMPARE(visibleMarkers(*form), markers);
        for (int k = 0; k < markers / 2; ++k)
            for (const game::ShapeMarker* m : {form->Shape1[k], form->Shape2[k]})
                QVERIFY(m->Visible());
        if (markers > 0)
            for (const game::ShapeMarker* m : {form->Shape1[0], form->Shape2[0]})
                QCOMPARE(QRectF(m->Left(), m->Top(), m->Width(), m->Height()),
                         QRectF(150, 300, 450, 150));
        QVERIFY(shown.isEmpty());
    }

    void aQuickSecondPressThatArrivesAsADoubleClickStillFinds()
    {
        ProgramFolder folder;
        folder.addDatabase({TestPair{}});
        auto form = openWindow(folder);
        start(*form);
        press(*form, 300, 375);
        // The window system reports a second press soon after the first as a double click.
        const QPointF at(1125 / 15, 1350 / 15);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, form->Picture2->inner()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->Picture2->inner(), &twice);
        QCOMPARE(visibleMarkers(*form), 4);
    }

    void pressesThatMustChangeNothing()
    {
        ProgramFolder folder;
        folder.addDatabase({TestPair{}});
        auto form = openWindow(folder);
        press(*form, 300, 375); // idle
        QCOMPARE(visibleMarkers(*form), 0);
        start(*form);
        QTest::mouseClick(form->Picture3->inner(), Qt::LeftButton, {}, QPoint(20, 25));
        QCOMPARE(visibleMarkers(*form), 0);
        press(*form, 300, 375);
        press(*form, 300, 375);   // the same difference again: nothing more is found
        press(*form, 6000, 6000); // nothing there
        QCOMPARE(visibleMarkers(*form), 2);
        QVERIFY(shown.isEmpty());
        QVERIFY(form->gameRunning());
    }

    // The level's pairs come in id order, the next on each solve. Giving up tells how many of
    // the picture's differences were found, and the next game starts at the first pair again.
    void aGameRunsThroughTheLevelInIdOrderUntilGivenUp()
    {
        ProgramFolder folder;
        const TestPair later = pairOf(9, 1, QColor(200, 0, 0));
        const TestPair other = pairOf(3, 2, QColor(0, 0, 200));
        const TestPair first = pairOf(4, 1, QColor(0, 160, 0));
        folder.addDatabase({later, other, first});
        auto form = openWindow(folder);
        start(*form);
        QCOMPARE(form->PushButton1->text(), QStringLiteral("End Game"));
        QVERIFY(!form->Frame1->isEnabled());
        QVERIFY(form->Timer1->Enabled());
        QCOMPARE(form->Timer1->Interval(), 1000);
        QCOMPARE(leftColour(*form), first.colour);
        QVERIFY(form->Label1->Caption().isEmpty());

        form->Timer1_Timer();
        solveDefaultPair(*form);
        QCOMPARE(texts(), QStringList{"You solve it in 1 second(s)"});
        QCOMPARE(shown[0].title, QStringLiteral("Tavrello"));
        QCOMPARE(shown[0].style, 0);
        QCOMPARE(leftColour(*form), later.colour);
        QCOMPARE(visibleMarkers(*form), 0);

        press(*form, 300, 375);
        press(*form, 3225, 375);
        QTest::mouseClick(form->PushButton1, Qt::LeftButton);
        QCOMPARE(texts().constLast(), QStringLiteral("Game Over.You only solve 2 out of 4."));
        verifyIdle(*form);
        start(*form);
        QCOMPARE(leftColour(*form), first.colour);
    }

    void everyLevelShowsOnlyItsOwnRows_data()
    {
        QTest::addColumn<int>("level");
        QTest::newRow("easy") << 1;
        QTest::newRow("medium") << 2;
        QTest::newRow("hard") << 3;
    }
    void everyLevelShowsOnlyItsOwnRows()
    {
        QFETCH(int, level);
        ProgramFolder folder;
        const QColor colours[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
        folder.addDatabase(
            {pairOf(30, 3, colours[2]), pairOf(20, 2, colours[1]), pairOf(10, 1, colours[0])});
        auto form = openWindow(folder);
        start(*form, level);
        QCOMPARE(leftColour(*form), colours[level - 1]);
        solveDefaultPair(*form);
        QCOMPARE(texts(), (QStringList{"You solve it in 0 second(s)", "End of the game."}));
        verifyIdle(*form);
    }

    void aLevelWithoutRowsReportsAndRunsWithEmptyPictures()
    {
        ProgramFolder folder;
        folder.addDatabase({pairOf(1, 1, Qt::darkCyan)});
        // A picture left over from an earlier run must not pass for the level's first pair.
        QVERIFY(writeFile(folder.file("orig.jpg"), ProgramFolder::drawn(Qt::yellow)));
        auto form = openWindow(folder);
        start(*form, 3);
        QVERIFY(!shown.isEmpty());
        for (const Message& m : shown) {
            QCOMPARE(m.title, QStringLiteral("Application Error"));
            QVERIFY(m.text.contains("in Tavrello2021/08/31.Form1.PushButton1_Click at line "));
        }
        QVERIFY(form->gameRunning());
        QCOMPARE(form->PushButton1->text(), QStringLiteral("End Game"));
        QVERIFY(form->Picture2->Picture().isNull());
        QVERIFY(!QFile::exists(folder.file("orig.jpg")));
        QVERIFY(!QFile::exists(folder.file("mod.jpg")));

        // A press has no row to test against: reported, never counted as found.
        shown.clear();
        press(*form, 300, 375);
        QCOMPARE(visibleMarkers(*form), 0);
        QVERIFY(!texts().join('|').contains("You solve it"));

        shown.clear();
        QTest::mouseClick(form->PushButton1, Qt::LeftButton);
        QCOMPARE(texts(), QStringList{"Game Over.You only solve 0 out of 4."});
        verifyIdle(*form);
    }

    // A picture that can't be shown is reported once and the game goes on without it, the left
    // box empty: also where the picture is the next pair's, nothing of the solved one stays.
    void badPicturesGiveOneReportAndTheGameGoesOn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("next"); // the pair with the bad picture comes after a solved one
        QTest::newRow("zero bytes") << QByteArray() << false;
        QTest::newRow("cut short") << ProgramFolder::drawn(Qt::red).left(200) << false;
        QTest::newRow("text") << QByteArray("this is not a picture\n") << false;
        QTest::newRow("40000 x 40000 png") << kHugePng << false;
        QTest::newRow("text, the next pair's") << QByteArray("this is not a picture\n") << true;
    }
    void badPicturesGiveOneReportAndTheGameGoesOn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, next);
        ProgramFolder folder;
        TestPair pair = pairOf(2);
        pair.originalBytes = bytes;
        folder.addDatabase(next ? QList<TestPair>{pairOf(1, 1, Qt::red), pair} : QList{pair});
        auto form = openWindow(folder);
        start(*form);
        if (next)
            solveDefaultPair(*form);
        QCOMPARE(shown.size(), next ? 2 : 1);
        const QString line =
            next ? "Picture2_MouseDown at line 148" : "PushButton1_Click at line 138";
        QVERIFY2(shown.constLast().text.contains(line), qPrintable(shown.constLast().text));
        QVERIFY(form->gameRunning());
        QVERIFY(form->Picture2->Picture().isNull());
        QVERIFY(!form->Picture3->Picture().isNull());
        QVERIFY(!QFile::exists(folder.file("orig.jpg")));
        QVERIFY(!QFile::exists(folder.file("mod.jpg")));
    }

    void theGameButtonIsIgnoredWhileItsOwnPressRuns()
    {
        ProgramFolder folder;
        folder.addDatabase({TestPair{}});
        auto form = openWindow(folder);
        // A second press waits in the queue and arrives in the start's first yield.
        QTimer::singleShot(0, form.get(), [&] { form->PushButton1->click(); });
        start(*form);
        QTest::qWait(20);
        QVERIFY(shown.isEmpty());
        QVERIFY(form->gameRunning());
        QCOMPARE(form->PushButton1->text(), QStringLiteral("End Game"));
        QVERIFY(!form->Picture2->Picture().isNull());
    }

    // A database of the player's, given on the command line, is played instead of the program
    // folder's, wherever it lies; the short-lived pictures still go to the program folder.
    void aDatabaseGivenIsPlayedInsteadOfTheProgramFolders_data()
    {
        QTest::addColumn<QString>("folderName");
        QTest::addColumn<bool>("relative"); // given by a name relative to the current folder
        QTest::newRow("space, semicolon and quote") << "my games; \"x\"" << false;
        QTest::newRow("non-ASCII") << "Spiele für Ännchen" << false;
        QTest::newRow("relative name") << "pairs" << true;
    }
    void aDatabaseGivenIsPlayedInsteadOfTheProgramFolders()
    {
        QFETCH(QString, folderName);
        QFETCH(bool, relative);
        ProgramFolder program;
        program.addDatabase({pairOf(1, 1, Qt::red)});
        ProgramFolder own(folderName);
        own.addDatabase({pairOf(5, 1, Qt::blue), pairOf(6, 1, Qt::green)});
        // A folder in the way of the pictures: writing them beside the database would fail.
        QVERIFY(QDir(own.path()).mkdir("orig.jpg") && QDir(own.path()).mkdir("mod.jpg"));
        const QString before = QDir::currentPath();
        if (relative)
            QVERIFY(QDir::setCurrent(own.path()));
        auto form = openWindow(program, relative ? "dbImages.mdb" : own.file("dbImages.mdb"));
        QDir::setCurrent(before);
        QCOMPARE(form->databaseFile(), own.file("dbImages.mdb"));
        start(*form);
        QVERIFY2(shown.isEmpty(), qPrintable(texts().join('|')));
        QCOMPARE(leftColour(*form), QColor(Qt::blue));
        solveDefaultPair(*form);
        QCOMPARE(leftColour(*form), QColor(Qt::green));
        QCOMPARE(texts(), QStringList{"You solve it in 0 second(s)"});
        QVERIFY(!QFile::exists(program.file("orig.jpg")));
    }

    // What can't be played, the program folder's database or one given, gets the message of a
    // missing database with the full name, and the program ends; a file that is no database is
    // reported as a damaged one and the window still opens.
    void aDatabaseThatCantBePlayed_data()
    {
        QTest::addColumn<QString>("given"); // what the name given is
        QTest::addColumn<bool>("ends");
        QTest::addColumn<bool>("programFolders"); // none given: the program folder's
        QTest::newRow("missing file") << "missing" << true << false;
        QTest::newRow("missing, by a relative name") << "relative" << true << false;
        QTest::newRow("a folder") << "folder" << true << false;
        QTest::newRow("not a database") << "text" << false << false;
        QTest::newRow("the program folder's, missing") << "missing" << true << true;
        QTest::newRow("the program folder's, not a database") << "text" << false << true;
    }
    void aDatabaseThatCantBePlayed()
    {
        QFETCH(QString, given);
        QFETCH(bool, ends);
        QFETCH(bool, programFolders);
        ProgramFolder program;
        if (!programFolders)
            program.addDatabase({TestPair{}});
        ProgramFolder own("own; pairs");
        QString name = programFolders ? program.file("dbImages.mdb") : own.file("garden.mdb");
        if (given == "folder") {
            QVERIFY(QDir().mkdir(name));
        } else if (given == "text") {
            QVERIFY(writeFile(name, QByteArray(8192, 'z')));
        }
        const QString before = QDir::currentPath();
        if (given == "relative")
            QVERIFY(QDir::setCurrent(own.path()));
        Form1 form(program.path(), programFolders        ? QString()
                                   : given == "relative" ? "garden.mdb"
                                                         : name);
        QDir::setCurrent(before);
        if (!ends) {
            form.Form_Load();
            QCOMPARE(programEnds, 0);
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, QStringLiteral("Application Error"));
            QVERIFY2(shown[0].text.contains("Form_Load at line 122"), qPrintable(shown[0].text));
            QCOMPARE(form.imageConnection()->State(), 0);
            return;
        }
        QVERIFY_THROWS_EXCEPTION(support::ProgramEnded, form.Form_Load());
        QCOMPARE(programEnds, 1);
        QCOMPARE(texts(), QStringList{name + " not found."});
        QCOMPARE(shown[0].title, QStringLiteral("Tavrello"));
        QCOMPARE(shown[0].style, 0);
        QVERIFY(!form.imageConnection());
    }

    // Given a database, the game starts on its lowest level that has pairs.
    void theLowestLevelWithPairsIsChosen_data()
    {
        QTest::addColumn<QList<int>>("levels");
        QTest::addColumn<int>("chosen");
        QTest::newRow("every level") << QList<int>{3, 2, 1} << 1;
        QTest::newRow("medium and hard") << QList<int>{3, 2} << 2;
        QTest::newRow("only hard") << QList<int>{3} << 3;
    }
    void theLowestLevelWithPairsIsChosen()
    {
        QFETCH(QList<int>, levels);
        QFETCH(int, chosen);
        ProgramFolder program;
        QList<TestPair> pairs;
        for (const int level : levels)
            pairs << pairOf(int(pairs.size()) + 1, level);
        program.addDatabase(pairs);
        auto form = openWindow(program, program.file("dbImages.mdb"));
        form->selectFirstLevelWithPairs();
        const QRadioButton* options[] = {form->Option1, form->Option2, form->Option3};
        for (int level = 1; level <= 3; ++level)
            QCOMPARE(options[level - 1]->isChecked(), level == chosen);
        QVERIFY(shown.isEmpty());
    }

    void closingEndsTheProgramAtOnceWithoutAQuestion_data()
    {
        QTest::addColumn<bool>("inGame");
        QTest::newRow("idle") << false;
        QTest::newRow("during a game") << true;
    }
    void closingEndsTheProgramAtOnceWithoutAQuestion()
    {
        QFETCH(bool, inGame);
        ProgramFolder folder;
        folder.addDatabase({TestPair{}});
        auto form = openWindow(folder);
        if (inGame)
            start(*form);
        form->close();
        QCOMPARE(programEnds, 1);
        QVERIFY(shown.isEmpty());
        QVERIFY(!form->imageRecordset());
        QVERIFY(!form->imageConnection());
    }

    void thePointerFollowsTheButtonAndTheBackground()
    {
        ProgramFolder folder;
        folder.addDatabase({TestPair{}});
        QVERIFY(QFile::copy(QStringLiteral(TAVRELLO_SOURCE_DIR "/assets/HAND-M.CUR"),
                            folder.file("HAND-M.CUR")));
        auto form = openWindow(folder);
        QVERIFY(shown.isEmpty());
        QVERIFY(form->MouseIcon());
        QCOMPARE(form->MouseIcon()->hotSpot(), QPoint(10, 1));

        QTest::mouseMove(form->PushButton1, QPoint(100, 10));
        QCOMPARE(form->MousePointer(), 99);
        QCOMPARE(form->cursor().shape(), Qt::BitmapCursor);
        QTest::mouseMove(form->Option2, QPoint(5, 5)); // inside the frame, over an option: stays
        QCOMPARE(form->MousePointer(), 99);
        QTest::mouseMove(form->Frame1, QPoint(600, 30));
        QCOMPARE(form->MousePointer(), 0);
        QTest::mouseMove(form->PushButton1, QPoint(100, 10));
        QTest::mouseMove(form.get(), QPoint(940, 580)); // the window's own surface
        QCOMPARE(form->MousePointer(), 0);
    }

    // A program file that can't be used gives one report at its line; the window goes on
    // without it, coloured as the skin would have it.
    void aBrokenProgramFileIsReportedOnceAndTheWindowGoesOn_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::newRow("a cursor file that is no cursor") << "HAND-M.CUR" << 112;
        QTest::newRow("a skin that can't be read") << "x/o.cjs" << 102;
    }
    void aBrokenProgramFileIsReportedOnceAndTheWindowGoesOn()
    {
        QFETCH(QString, file);
        QFETCH(int, line);
        ProgramFolder folder;
        folder.addDatabase({TestPair{}});
        QDir(folder.path()).mkdir("x");
        if (file == "x/o.cjs") {
            QVERIFY(QFile::link("/proc/self/mem", folder.file(file)));
        } else {
            QVERIFY(writeFile(folder.file(file), "not a cursor at all, just some text"));
        }
        auto form = openWindow(folder);
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("Form_Load at line %1").arg(line)));
        QCOMPARE(form->windowTitle(), QStringLiteral("Tavrello"));
        form->setMousePointer(99);
        QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
        const QColor face = QApplication::palette().color(QPalette::Button);
        if (file == "x/o.cjs")
            for (QWidget* w :
                 std::initializer_list<QWidget*>{form.get(), form->Frame1, form->Label1})
                QCOMPARE(w->palette().color(QPalette::Window), face);
    }
};

QTEST_MAIN(GameTests)
#include "tst_game.moc"
