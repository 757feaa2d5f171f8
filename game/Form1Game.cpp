// The game itself: the game button's start and end, the loading of a pair and the hit test on the
// left picture with the way from pair to pair.
#include "Form1.h"
#include "ObjectReference.h"
#include "PictureLoader.h"
#include "format/PairTable.h"
#include "store/Connection.h"
#include "store/PictureFiles.h"
#include "store/Recordset.h"
#include "support/ErrorTrap.h"
#include "support/MessageBoxes.h"
#include "support/PictureFolder.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <array>
#include <cmath>
#include <stdexcept>

using support::ErrorTrap;

namespace game {
namespace {

const QString startCaption = QStringLiteral("Start New Game");
const QString endCaption = QStringLiteral("End Game");

// The numeric value of a field, for placing a marker.
double number(const store::Field& field)
{
    const store::FieldValue value = field.Value();
    if (value.isNull())
        throw std::runtime_error("Invalid use of Null.");
    return value.toDouble();
}

void clearPicture(PictureBox& box)
{
    box.setPicture(LoadPicture(QString()));
}

} // namespace

// Hides the markers of the left picture, then those of the right one.
void Form1::hideMarkers()
{
    for (ShapeMarker* marker : Shape1)
        marker->hide();
    for (ShapeMarker* marker : Shape2)
        marker->hide();
}

void Form1::PushButton1_Click()
{
    // A press that arrives while the button's own press runs (in one of its yields), or while the
    // next pair loads, would pull the record set from under the running step: it is ignored.
    if (m_handlingGameButton || m_loadingNextPair)
        return;
    const QScopedValueRollback handling(m_handlingGameButton, true);

    ErrorTrap trap(QStringLiteral("in Tavrello2021/08/31.Form1.PushButton1_Click ")); // 100
    trap.run(102, [&] { ImageRecordset = std::make_unique<store::Recordset>(); });
    if (trap.test(104, [&] { return PushButton1->text() == startCaption; })) {
        // Start a game at the chosen difficulty.
        trap.run(106, [&] { PushButton1->setText(endCaption); });
        trap.run(108, [&] { Frame1->setEnabled(false); });
        trap.run(110, [&] { object(ImageRecordset).setCursorLocation(store::kClientCursor); });
        trap.run(112, [&] {
            Label1->setCaption(QStringLiteral("Reading images from the database...please wait."));
        });
        trap.run(114, [&] { QCoreApplication::processEvents(); });
        const auto openLevel = [&](const char* query) {
            object(ImageRecordset)
                .Open(query, object(ImageConnection), store::kStaticCursor, store::kOptimisticLock);
        };
        if (trap.test(116, [&] { return Option1->isChecked(); }))
            trap.run(118, [&] { openLevel(rules::LevelGame::openingQuery(1)); });
        else if (trap.test(120, [&] { return Option2->isChecked(); }))
            trap.run(122, [&] { openLevel(rules::LevelGame::openingQuery(2)); });
        else if (trap.test(124, [&] { return Option3->isChecked(); }))
            trap.run(126, [&] { openLevel(rules::LevelGame::openingQuery(3)); });
        trap.run(128, [&] { object(ImageRecordset).MoveFirst(); });
        loadPair(trap, 130);
        trap.run(150, [&] { Timer1->setEnabled(true); });
        trap.run(152, [&] { Timer1->setInterval(1000); });
        trap.run(154, [&] { Game.start(); });
    } else {
        // The player gives up: tell how many differences of this picture were found.
        trap.run(158, [&] { Game.stop(); });
        trap.run(162, [&] { support::ShowMessage(Game.gameOverMessage()); });
        trap.run(164, [&] { Timer1->setEnabled(false); });
        trap.run(166, [&] { Timer1->setInterval(0); });
        trap.run(168, [&] { PushButton1->setText(startCaption); });
        trap.run(170, [&] { Frame1->setEnabled(true); });
        trap.run(172, [&] { clearPicture(*Picture2); });
        trap.run(174, [&] { clearPicture(*Picture3); });
        trap.run(176, [&] { hideMarkers(); });
    }
}

// Shows the pair in the record set's current row. The pictures reach the boxes through two
// temporary files that exist only while this runs. Each step is a statement of the calling
// handler, numbered from firstLine, so a failing step is reported and the next one still runs:
// the files are removed even when a picture fails to load.
void Form1::loadPair(ErrorTrap& trap, int firstLine)
{
    // The program folder, or the player's own folder when they can't write there.
    const QString folder = support::PictureFolder(m_programDir) + QLatin1Char('/');
    const QString original = folder + QStringLiteral("orig.jpg");
    const QString modified = folder + QStringLiteral("mod.jpg");
    int line = firstLine;
    const auto step = [&](auto&& statement) {
        trap.run(line, statement);
        line += 2;
    };
    step([&] { Label1->setCaption(QStringLiteral("Loading images...please wait.")); });
    step([&] { QCoreApplication::processEvents(); });
    step([&] {
        store::WriteFieldToFile(object(ImageRecordset).Fields(format::kOriginalColumn),
                                original.toStdString());
    });
    step([&] {
        store::WriteFieldToFile(object(ImageRecordset).Fields(format::kModifiedColumn),
                                modified.toStdString());
    });
    step([&] { Picture2->setPicture(LoadPicture(original)); });
    step([&] { Picture3->setPicture(LoadPicture(modified)); });
    step([&] { store::RemoveFile(modified.toStdString()); });
    step([&] { store::RemoveFile(original.toStdString()); });
    step([&] { Label1->setCaption(QString()); });
    step([&] { QCoreApplication::processEvents(); });
}

void Form1::Picture2_MouseDown(int /*button*/, int /*shift*/, float x, float y)
{
    ErrorTrap trap(QStringLiteral("in Tavrello2021/08/31.Form1.Picture2_MouseDown ")); // 100
    if (!trap.test(102, [&] { return Game.running(); }))
        return;

    // Every difference is tested on every press; a press in overlapping rectangles finds them all.
    for (std::size_t i = 0; i < std::size_t(format::kDifferenceCount); ++i) {
        const format::DifferenceColumns& names = format::kDifferenceColumns[i];
        const bool hit = trap.test(104, [&] {
            store::Recordset& rows = object(ImageRecordset);
            rules::DifferenceEdges edges;
            edges.x1 = rows.Fields(names.x1).Value();
            edges.x2 = rows.Fields(names.x2).Value();
            edges.y1 = rows.Fields(names.y1).Value();
            edges.y2 = rows.Fields(names.y2).Value();
            return Game.press(int(i), edges, x, y);
        });
        if (!hit)
            continue;
        int line = 106;
        for (ShapeMarker* marker : {Shape1[i], Shape2[i]}) {
            // The width and height come from the edges minus the Left and Top the marker reports
            // back, so the marker ends exactly on the far edges.
            trap.run(line, [&] { marker->setVisible(true); });
            trap.run(line + 2, [&] {
                marker->setLeft(float(number(object(ImageRecordset).Fields(names.x1))));
            });
            trap.run(line + 4, [&] {
                marker->setTop(float(number(object(ImageRecordset).Fields(names.y1))));
            });
            trap.run(line + 6, [&] {
                marker->setWidth(float(number(object(ImageRecordset).Fields(names.x2)) -
                                       double(marker->Left())));
            });
            trap.run(line + 8, [&] {
                marker->setHeight(
                    float(number(object(ImageRecordset).Fields(names.y2)) - double(marker->Top())));
            });
            line += 10;
        }
    }

    if (!trap.test(126, [&] { return Game.solved(); }))
        return;

    // The picture is solved.
    trap.run(128, [&] { support::ShowMessage(Game.solvedMessage()); });
    trap.run(130, [&] { clearPicture(*Picture2); });
    trap.run(132, [&] { clearPicture(*Picture3); });
    trap.run(134, [&] { hideMarkers(); });
    trap.run(136, [&] { object(ImageRecordset).MoveNext(); });
    if (trap.test(138, [&] { return !object(ImageRecordset).Eof(); })) {
        // The next pair; the game button waits until it is on screen.
        const QScopedValueRollback loading(m_loadingNextPair, true);
        loadPair(trap, 140);
        trap.run(160, [&] { Game.nextPairShown(); });
    } else {
        // The level is done.
        trap.run(162, [&] { Timer1->setEnabled(false); });
        trap.run(164, [&] { Timer1->setInterval(0); });
        trap.run(166, [&] { PushButton1->setText(startCaption); });
        trap.run(168, [&] { Frame1->setEnabled(true); });
        trap.run(170, [&] { clearPicture(*Picture2); });
        trap.run(172, [&] { clearPicture(*Picture3); });
        if (trap.test(174, [&] { return object(ImageRecordset).State() != 0; }))
            trap.run(176, [&] { object(ImageRecordset).Close(); });
        trap.run(178, [&] { support::ShowMessage(QStringLiteral("End of the game.")); });
        trap.run(180, [&] { Game.stop(); });
    }
}

} // namespace game
