// The pair editor driven as an author drives it: real widgets, presses, drags and keys.

#include "editor/EditorWindow.h"
#include "editor/GenerateDialog.h"
#include "editor/PairPanel.h"
#include "editor/PairView.h"
#include "pack/Build.h"
#include "pack/Check.h"
#include "pack/StoredPairs.h"
#include "tests/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using editor::EditorWindow;
using editor::PairView;
using testfiles::readFile;
using testfiles::writeFile;

namespace {

// A folder of twelve pairs of its own, so that new default pairs don't move what these tests press
// on.
const QString kPairs = QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/editor/data/pairs");

using Corners = pack::Difference;

Corners corners(double x1, double y1, double x2, double y2)
{
    return {x1, y1, x2, y2};
}

// Answers the next message box with `button` once it is up.
void answerNextQuestion(QMessageBox::StandardButton button)
{
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(button)->click();
    });
}

// The ids of a database's rows, in stored order.
QList<int> storedIds(const QString& database)
{
    QList<int> ids;
    pack::forEachPair(database,
                      [&](const pack::PairRow& row) { ids << int(row.numbers().id.toDouble()); });
    return ids;
}

void drag(QWidget* view, QPoint from, QPoint to)
{
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QTest::mouseMove(view, (from + to) / 2);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
}

// A finding with `text`; given `about`, one that concerns one of the differences in it (bit k:
// difference k+1).
bool mentions(const std::vector<pack::Finding>& findings, const QString& text, unsigned about = 0)
{
    return std::any_of(findings.begin(), findings.end(), [&](const pack::Finding& f) {
        return f.text.contains(text) && (!about || (f.differences & about));
    });
}

} // namespace

class EditorTest : public QObject
{
    Q_OBJECT

  private slots:
    void init()
    {
        m_settings = std::make_unique<QTemporaryDir>();
        m_window = std::make_unique<EditorWindow>(m_settings->filePath("editor.ini"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY(m_window->openPath(kPairs));
    }
    void cleanup()
    {
        // Whatever a test left unsaved is dropped without a question.
        if (m_window)
            doc()->undoStack()->setClean();
        m_window.reset();
    }

    // A folder and a database open alike, the first pair shown with its four differences; both
    // are remembered among the recent files (also by the next window); either saves as a folder.
    void opensAFolderOrADatabaseRemembersThemAndSavesAsAFolder()
    {
        QCOMPARE(m_window->pairList()->count(), 12);
        QVERIFY(m_window->windowTitle().startsWith("Tavrello Editor"));
        QVERIFY(m_window->windowTitle().contains("manifest.json"));
        QVERIFY(!m_window->isWindowModified());
        QCOMPARE(m_window->panel()->currentPair(), 0);

        QTemporaryDir dir;
        const QString db = dir.filePath("pairs.mdb");
        pack::buildDatabase(pack::readManifest(kPairs + "/manifest.json"), db, false);
        QVERIFY(m_window->openPath(db));
        QCOMPARE(doc()->count(), 12);
        QVERIFY(m_window->windowTitle().contains("pairs.mdb"));
        QCOMPARE(doc()->pair(0).numbers.id, 1);
        QCOMPARE(cornersOf(0, 0), corners(1650, 5850, 2969, 6494));
        QVERIFY(!doc()->pair(0).modified.image().isNull());
        QVERIFY(doc()->findings(0).empty());

        QVERIFY(QDir(dir.path()).mkdir("out"));
        QVERIFY(m_window->saveTo(dir.filePath("out/manifest.json")));
        const pack::Manifest written = pack::readManifest(dir.filePath("out/manifest.json"));
        QCOMPARE(written.pairs.size(), std::size_t(12));
        QCOMPARE(*written.pairs[0].original, dir.filePath("out/1-original.jpg"));
        QVERIFY(QFile::exists(*written.pairs[11].modified));
        // The next save names the files the first one wrote, each picture its own.
        QVERIFY(m_window->save());
        QCOMPARE(*pack::readManifest(dir.filePath("out/manifest.json")).pairs[0].modified,
                 dir.filePath("out/1-modified.jpg"));

        QVERIFY(m_window->openPath(kPairs));
        QCOMPARE(m_window->recentFiles().value(0), QDir(kPairs).absolutePath());
        QVERIFY(m_window->recentFiles().contains(db));
        EditorWindow another(m_settings->filePath("editor.ini"));
        QCOMPARE(another.recentFiles(), m_window->recentFiles());
    }

    // A manifest's own faults are tavrello-pack's tests' business; here, that they reach the
    // message bar or the pair's findings.
    void badInput_data()
    {
        QTest::addColumn<QString>("open");        // a file written in the folder, or the folder
        QTest::addColumn<QByteArray>("contents"); // of that file
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("says"); // in the message bar, or in the first pair's findings

        const QByteArray box = R"({"x1": 0, "y1": 0, "x2": 10, "y2": 10})";
        const QByteArray pair = R"({"id": 1, "level": 1, "original": "a.jpg", "modified": "b.jpg",
            "differences": [)" + box +
                                "," + box + "," + box + "," + box + "]}";
        QTest::newRow("folder without a manifest")
            << "" << QByteArray() << false << "holds no manifest.json";
        QTest::newRow("manifest that is not JSON")
            << "manifest.json" << QByteArray("{\"pairs\": [") << false << "invalid JSON at line 1";
        QTest::newRow("database that is not one")
            << "letter.mdb" << QByteArray("This is a letter, not a database.\n").repeated(200)
            << false << "letter.mdb";
        QTest::newRow("picture that doesn't decode")
            << "manifest.json"
            << "{\"pairs\": [" + pair + "]}" << true << "the original picture can't be shown";
    }
    void badInput()
    {
        QFETCH(QString, open);
        QFETCH(QByteArray, contents);
        QFETCH(bool, opens);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("a.jpg"), "not a JPEG at all"));
        QVERIFY(writeFile(dir.filePath("b.jpg"), "not a JPEG either"));
        QVERIFY(open.isEmpty() || writeFile(dir.filePath(open), contents));

        QCOMPARE(m_window->openPath(dir.filePath(open)), opens);
        if (!opens) {
            QVERIFY2(m_window->problem().contains(says), qPrintable(m_window->problem()));
            QVERIFY(m_window->problem().endsWith('.'));
            QCOMPARE(doc()->count(), 12); // what was open stays open
            return;
        }
        QVERIFY(m_window->problem().isEmpty());
        QVERIFY(mentions(doc()->findings(0), says));
        QCOMPARE(shownAs(0), "error");
    }

    void drawsReplacesAndResizesDifferencesByDragging()
    {
        PairView* original = m_window->panel()->originalView();
        // Select difference 1 by a press inside it and clear it with Delete.
        QTest::mouseClick(original, Qt::LeftButton, {}, QPoint(150, 410));
        QCOMPARE(m_window->panel()->selectedDifference(), 0);
        QTest::keyClick(original, Qt::Key_Delete);
        QCOMPARE(cornersOf(0, 0), Corners{});
        // Escape lets go of it; a drag on empty ground fills the first difference without
        // coordinates, the one just cleared.
        QTest::keyClick(original, Qt::Key_Escape);
        drag(m_window->panel()->modifiedView(), QPoint(199, 432), QPoint(110, 390));
        QCOMPARE(cornersOf(0, 0), corners(110 * 15, 390 * 15, 199 * 15 + 14, 432 * 15 + 14));
        QCOMPARE(m_window->panel()->selectedDifference(), 0);
        QVERIFY(m_window->isWindowModified());

        // With a difference selected, a drag replaces it.
        m_window->panel()->selectDifference(2);
        drag(original, QPoint(10, 10), QPoint(40, 30));
        QCOMPARE(cornersOf(0, 2), corners(150, 150, 614, 464));

        // Difference 2 covers pixels 179..235 x 226..257; select it, then pull its right edge
        // and its top-left corner.
        QTest::mouseClick(original, Qt::LeftButton, {}, QPoint(200, 240));
        drag(original, QPoint(236, 240), QPoint(260, 250));
        QCOMPARE(cornersOf(0, 1), corners(2685, 3390, 260 * 15 + 14, 3869));
        drag(original, QPoint(179, 226), QPoint(170, 200));
        QCOMPARE(cornersOf(0, 1), corners(170 * 15, 200 * 15, 260 * 15 + 14, 3869));
        // An edge dragged past its opposite edge stops a pixel short of it.
        drag(original, QPoint(170, 240), QPoint(300, 240));
        QCOMPARE(cornersOf(0, 1), corners(260 * 15, 200 * 15, 260 * 15 + 14, 3869));
        QCOMPARE(doc()->undoStack()->count(), 6);
    }

    void movesAndResizesWithKeysUndoAndRedo()
    {
        QUndoStack* undo = doc()->undoStack();
        PairView* view = m_window->panel()->modifiedView();
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(200, 240)); // inside difference 2
        QCOMPARE(m_window->panel()->selectedDifference(), 1);
        const Corners before = corners(2685, 3390, 3539, 3869);
        QCOMPARE(cornersOf(0, 1), before);

        for (int i = 0; i < 3; ++i)
            QTest::keyClick(view, Qt::Key_Right);
        QTest::keyClick(view, Qt::Key_Up);
        const Corners moved = corners(2730, 3375, 3584, 3854);
        QCOMPARE(cornersOf(0, 1), moved);
        QCOMPARE(undo->count(), 1); // the key presses are one step
        QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
        const Corners wider = corners(2730, 3375, 3734, 3854);
        QCOMPARE(cornersOf(0, 1), wider);

        undo->undo();
        QCOMPARE(cornersOf(0, 1), moved);
        undo->undo();
        QCOMPARE(cornersOf(0, 1), before);
        QVERIFY(!m_window->isWindowModified());
        undo->redo();
        QCOMPARE(cornersOf(0, 1), moved);
        undo->redo();
        QCOMPARE(cornersOf(0, 1), wider);
        QVERIFY(m_window->isWindowModified());
    }

    void editsIdAndLevel()
    {
        auto* id = m_window->panel()->findChild<QSpinBox*>("pairId");
        id->setFocus();
        id->selectAll();
        QTest::keyClicks(id, "2"); // pair 2 has that id already
        QTest::keyClick(id, Qt::Key_Return);
        QCOMPARE(doc()->pair(0).numbers.id, 2);
        QVERIFY(mentions(doc()->findings(1), "id 2 is used by 2 pairs"));
        // The list learns of it once the pair has been checked, in the background.
        QTRY_COMPARE(shownAs(1), "error");
        auto* level = m_window->panel()->findChild<QComboBox*>("pairLevel");
        QTest::keyClick(level, Qt::Key_Down);
        QTest::keyClick(level, Qt::Key_Down);
        QCOMPARE(doc()->pair(0).numbers.level, 3);
        // One step for the id, one for each level the keys went through.
        QCOMPARE(doc()->undoStack()->count(), 3);
        doc()->undoStack()->setIndex(0);
        QCOMPARE(doc()->pair(0).numbers.id, 1);
        QCOMPARE(doc()->pair(0).numbers.level, 1);
        QCOMPARE(shownAs(1), "ready");
    }

    // The findings follow the rectangles and the level, in the panel and the list.
    void findingsFollowTheRectanglesAndTheLevel()
    {
        QVERIFY(doc()->findings(0).empty());
        // Drag difference 1 a hundred pixels up, off the change it covered.
        drag(m_window->panel()->originalView(), QPoint(150, 410), QPoint(150, 310));
        QCOMPARE(cornersOf(0, 0), corners(1650, 4350, 2969, 4994));
        const auto findings = doc()->findings(0);
        QVERIFY(mentions(findings, "nothing visibly changes inside it", 1u));
        QVERIFY(mentions(findings, "lie outside every difference"));
        auto* list = m_window->panel()->findChild<QListWidget*>("findings");
        QCOMPARE(list->item(0)->data(Qt::UserRole).toString(), "error");
        QCOMPARE(shownAs(0), "error");

        doc()->undoStack()->undo();
        QVERIFY(doc()->findings(0).empty());
        QCOMPARE(shownAs(0), "ready");

        // A level that does not fit the differences is warned of. Pair 13's are found at a
        // glance, and listed with their findability.
        int index = 0;
        while (doc()->pair(index).numbers.id != 13)
            ++index;
        m_window->pairList()->setCurrentRow(index);
        QVERIFY(doc()->findings(index).empty());
        QVERIFY(list->item(list->count() - 1)->text().startsWith("Findability 1: "));

        // Made Hard, it is too plain for the level.
        auto* level = m_window->panel()->findChild<QComboBox*>("pairLevel");
        level->setCurrentIndex(level->findData(3));
        emit level->activated(level->currentIndex()); // as a choice in the list makes it
        QVERIFY(mentions(doc()->findings(index), "too plain for Hard"));
        QCOMPARE(list->item(0)->data(Qt::UserRole).toString(), "warning");
        doc()->undoStack()->undo();
        QVERIFY(doc()->findings(index).empty());
    }

    void heatMapAndBlinkShowWhereThePicturesDiffer()
    {
        m_window->findChild<QAction*>("heatMapAction")->setChecked(true);
        const QImage plain = doc()->pair(0).original.image().convertToFormat(QImage::Format_RGB32);
        const QImage shown = m_window->panel()->originalView()->grab().toImage().convertToFormat(
            QImage::Format_RGB32);
        // Tinted inside difference 1, where the change is; untouched in the top-left corner,
        // where nothing changes.
        int tinted = 0;
        for (int y = 390; y <= 432; ++y)
            for (int x = 120; x <= 190; ++x)
                tinted += shown.pixel(x, y) != plain.pixel(x, y);
        QVERIFY(tinted > 100);
        for (int y = 30; y < 60; ++y)
            for (int x = 30; x < 60; ++x)
                QCOMPARE(shown.pixel(x, y), plain.pixel(x, y));

        auto* blink = m_window->findChild<QAction*>("blinkAction");
        blink->setChecked(true);
        QVERIFY(m_window->panel()->isBlinking());
        // In turn, the right-hand box shows the original.
        QTRY_VERIFY(m_window->panel()->modifiedView()->grab().toImage() ==
                    m_window->panel()->originalView()->grab().toImage());
        blink->setChecked(false);
        QVERIFY(m_window->panel()->modifiedView()->grab().toImage() !=
                m_window->panel()->originalView()->grab().toImage());
    }

    void addsAPairFromTwoPictures_data()
    {
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("modified");
        QTest::addColumn<QString>("says"); // empty: added

        QTest::newRow("two pictures") << "1-original.jpg"
                                      << "1-modified.jpg" << QString();
        QTest::newRow("original missing") << "gone.jpg"
                                          << "1-modified.jpg"
                                          << "can't be read";
        QTest::newRow("modified not a picture") << "1-original.jpg"
                                                << "manifest.json"
                                                << "doesn't decode";
    }
    void addsAPairFromTwoPictures()
    {
        QFETCH(QString, original);
        QFETCH(QString, modified);
        QFETCH(QString, says);
        const bool added =
            m_window->addPairFromPictures(kPairs + "/" + original, kPairs + "/" + modified);
        QCOMPARE(added, says.isEmpty());
        if (!added) {
            QVERIFY2(m_window->problem().contains(says), qPrintable(m_window->problem()));
            QCOMPARE(doc()->count(), 12);
            return;
        }
        // A new id, shown, with no differences yet: an error until all four are drawn.
        QCOMPARE(doc()->count(), 13);
        QCOMPARE(m_window->panel()->currentPair(), 12);
        QCOMPARE(doc()->pair(12).numbers.id, 14);
        QCOMPARE(shownAs(12), "error");
    }

    void savesAndReopensEqual()
    {
        QTemporaryDir dir; // the bundled pairs, copied to be saved over
        for (const QString& name : QDir(kPairs).entryList(QDir::Files))
            QVERIFY(QFile::copy(kPairs + "/" + name, dir.filePath(name)));
        QVERIFY(m_window->openPath(dir.path()));
        PairView* view = m_window->panel()->originalView();
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(150, 410));
        QTest::keyClick(view, Qt::Key_Delete); // saved as null corners
        m_window->pairList()->setCurrentRow(3);
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(1, 1));
        m_window->panel()->selectDifference(1);
        drag(view, QPoint(5, 5), QPoint(60, 70));
        std::vector<editor::PairNumbers> edited;
        for (int i = 0; i < doc()->count(); ++i)
            edited.push_back(doc()->pair(i).numbers);

        QVERIFY(m_window->save());
        QVERIFY(!m_window->isWindowModified());
        QVERIFY(readFile(dir.filePath("manifest.json")).contains("\"x1\": null"));

        QVERIFY(m_window->openPath(dir.path()));
        QCOMPARE(doc()->count(), int(edited.size()));
        for (int i = 0; i < doc()->count(); ++i)
            QVERIFY(doc()->pair(i).numbers == edited[std::size_t(i)]);
    }

    void buildsADatabaseThatCheckPasses()
    {
        QTemporaryDir dir;
        const QString db = dir.filePath("built.mdb");
        pack::buildDatabase(pack::readManifest(kPairs + "/manifest.json"), db, false);
        // Start from a database: its pictures exist only in memory.
        QVERIFY(m_window->openPath(db));
        const QString out = dir.filePath("dbImages.mdb");
        QVERIFY(m_window->buildTo(out));
        const pack::CheckReport report = pack::checkDatabase(out);
        QCOMPARE(report.pairs.size(), std::size_t(12));
        QCOMPARE(report.errors, 0);

        // Replacing a file asks first; No leaves it alone.
        const auto size = QFileInfo(out).size();
        QVERIFY(writeFile(out, "keep me"));
        answerNextQuestion(QMessageBox::No);
        QVERIFY(!m_window->buildTo(out));
        QCOMPARE(readFile(out), QByteArray("keep me"));
        answerNextQuestion(QMessageBox::Yes);
        QVERIFY(m_window->buildTo(out));
        QCOMPARE(QFileInfo(out).size(), size);
    }

    // F5 builds the pairs as they are, without those that have errors, and starts the game beside
    // the editor on them; with nothing left to play nothing starts, and the message bar says why.
    void playStartsTheGameOnThePairsWithoutErrors_data()
    {
        QTest::addColumn<QList<int>>("spoil");  // rows whose first difference is cleared
        QTest::addColumn<QList<int>>("played"); // ids in the database the game gets
        QTest::addColumn<QString>("says");      // in the message bar
        QTest::newRow("every pair ready")
            << QList<int>{} << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13} << "";
        QTest::newRow("one pair with an error")
            << QList<int>{2} << QList<int>{1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 13}
            << "Played without pair 3: it has errors.";
        QTest::newRow("two pairs with errors")
            << QList<int>{5, 2} << QList<int>{1, 2, 4, 5, 7, 8, 9, 10, 11, 13}
            << "Played without pairs 3 and 6: they have errors.";
        QTest::newRow("every pair with errors")
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << QList<int>{}
            << "Nothing to play: every pair has errors (pairs 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 "
               "and 13).";
        QTest::newRow("no pairs") << QList<int>{} << QList<int>{}
                                  << "Nothing to play: there are no pairs yet.";
    }
    void playStartsTheGameOnThePairsWithoutErrors()
    {
        QFETCH(QList<int>, spoil);
        QFETCH(QList<int>, played);
        QFETCH(QString, says);
        if (spoil.isEmpty() && played.isEmpty()) { // a new window, nothing open
            m_window = std::make_unique<EditorWindow>(m_settings->filePath("editor.ini"));
            m_window->show();
        }
        for (const int row : spoil)
            clearDifference(row, 0);
        QList<QStringList> started;
        m_window->setGameLauncher([&](const QString& program, const QStringList& arguments) {
            started << (QStringList{program} + arguments);
            return true;
        });

        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_F5);

        QVERIFY2(says.isEmpty() ? m_window->problem().isEmpty()
                                : m_window->problem().contains(says),
                 qPrintable(m_window->problem()));
        if (played.isEmpty()) {
            QCOMPARE(started.size(), 0);
            return;
        }
        QCOMPARE(started.size(), 1);
        QCOMPARE(started[0].size(), 2);
        QCOMPARE(started[0][0], QCoreApplication::applicationDirPath() + "/tavrello");
        const QString database = started[0][1];
        QCOMPARE(database, m_window->playedDatabase());
        QCOMPARE(storedIds(database), played);
        QVERIFY(m_window->statusBar()->currentMessage().startsWith("Playing"));

        // Played again after a change, the game gets the pairs as they are now.
        clearDifference(0, 1);
        QVERIFY(m_window->play());
        QCOMPARE(started.size(), 2);
        QCOMPARE(storedIds(started[1][1]), played.mid(1));

        // The database goes with the editor.
        doc()->undoStack()->setClean();
        m_window.reset();
        QVERIFY(!QFileInfo::exists(database));
        QVERIFY(!QFileInfo::exists(QFileInfo(database).path()));
    }

    // Build Database... proposes the author's data folder, made if missing, and the name of the
    // pairs folder.
    void buildOffersTheAuthorsDataFolder()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tavrello";
        QVERIFY(QDir(folder).removeRecursively());
        const QString offered = m_window->suggestedDatabase();
        QStandardPaths::setTestModeEnabled(false);
        QCOMPARE(offered, folder + "/pairs.mdb");
        QVERIFY(QFileInfo(folder).isDir());
    }

    void closingWithUnsavedChangesAsks()
    {
        QTest::mouseClick(m_window->panel()->originalView(), Qt::LeftButton, {}, QPoint(150, 410));
        QTest::keyClick(m_window->panel()->originalView(), Qt::Key_Delete);
        QVERIFY(m_window->isWindowModified());
        answerNextQuestion(QMessageBox::Cancel);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        answerNextQuestion(QMessageBox::Discard);
        QVERIFY(m_window->close());
    }

    // Cancelled, or closed while it works, the generator's dialog adds nothing; kept, its pair
    // is added at the level of the pair selected.
    void generatesInTheWorkerCancelsAndKeeps()
    {
        editor::GenerateDialog* dialog =
            m_window->generateFrom(TAVRELLO_SOURCE_DIR "/assets/photos/16_brushes.jpg");
        QVERIFY(dialog->isRunning());
        dialog->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 60000);
        QCOMPARE(dialog->status(), "Cancelled.");
        QVERIFY(!dialog->hasCandidate());
        QCOMPARE(doc()->count(), 12);
        dialog->close();

        // Closed while it works, the dialog stops the generator and goes.
        QPointer<editor::GenerateDialog> closing =
            m_window->generateFrom(TAVRELLO_SOURCE_DIR "/assets/photos/16_brushes.jpg");
        QVERIFY(closing->isRunning());
        closing->close();
        QTRY_VERIFY(closing.isNull());
        QCOMPARE(doc()->count(), 12);

        m_window->pairList()->setCurrentRow(3); // a Medium pair: the dialog starts at its level
        dialog = m_window->generateFrom(TAVRELLO_SOURCE_DIR "/assets/photos/13_room.jpg");
        // The window answers while the generator works.
        QVERIFY(dialog->isRunning());
        QTest::keyClick(m_window->panel()->originalView(), Qt::Key_2);
        QCOMPARE(m_window->panel()->selectedDifference(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 300000);
        QVERIFY2(dialog->hasCandidate(), qPrintable(dialog->status()));
        const auto buttons = dialog->findChildren<QPushButton*>();
        const auto keep = std::find_if(buttons.begin(), buttons.end(),
                                       [](QPushButton* b) { return b->text() == "Keep"; });
        QVERIFY(keep != buttons.end());
        QTest::mouseClick(*keep, Qt::LeftButton);
        QCOMPARE(doc()->count(), 13);
        const auto& pair = doc()->pair(12);
        QCOMPARE(pair.numbers.id, 14);
        for (const pack::Difference& d : pair.numbers.differences)
            QVERIFY(editor::isComplete(d));
        QCOMPARE(pair.numbers.level, 2);
        QCOMPARE(m_window->panel()->currentPair(), 12);
        doc()->undoStack()->undo();
        QCOMPARE(doc()->count(), 12);
    }

  private:
    editor::PairDocument* doc() { return m_window->document(); }
    void clearDifference(int row, int k)
    {
        editor::PairNumbers numbers = doc()->pair(row).numbers;
        numbers.differences[std::size_t(k)] = {};
        doc()->setNumbers(row, numbers);
    }
    Corners cornersOf(int pair, int k)
    {
        return doc()->pair(pair).numbers.differences[std::size_t(k)];
    }
    // How the pair list marks a pair: "ready", "warning" or "error".
    QString shownAs(int row)
    {
        return m_window->pairList()->item(row)->data(Qt::UserRole).toString();
    }

    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<EditorWindow> m_window;
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
