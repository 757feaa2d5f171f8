#pragma once

#include "DifficultyFrame.h"
#include "GameButton.h"
#include "GameTimer.h"
#include "PictureBox.h"
#include "PointerMode.h"
#include "ShapeMarker.h"
#include "StatusLabel.h"
#include "format/PairTable.h"
#include "rules/LevelGame.h"

#include <QCursor>
#include <QRadioButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace store {
class Connection;
class Recordset;
} // namespace store

namespace support {
class ErrorTrap;
} // namespace support

namespace game {

// The game window: two pictures side by side, the difficulty frame, the game button and the
// status label, and the handlers of every event the game reacts to.
class Form1 : public QWidget
{
    Q_OBJECT
  public:
    // programDir is the folder the game reads its database, cursor and skin from, and writes its
    // temporary pictures to. A databaseFile given (the player's own pairs) is played instead of
    // the program folder's dbImages.mdb; a relative name is taken from the current folder.
    explicit Form1(QString programDir, const QString& databaseFile = {}, QWidget* parent = nullptr);
    ~Form1() override;

    const QString& programDir() const { return m_programDir; }
    // The full name of the database the game plays.
    QString databaseFile() const;

    // Selects the difficulty of the lowest level that has pairs, so a database of only Hard
    // pairs starts on Hard. For a database given on the command line; the program folder's
    // starts on Easy as it always has. Changes nothing when the database can't be read.
    void selectFirstLevelWithPairs();

    // The controls, by the names the handlers use.
    GameTimer* const Timer1;
    PictureBox* const Picture1;
    PictureBox* const Picture3;
    PictureBox* const Picture2;
    std::array<ShapeMarker*, format::kDifferenceCount> Shape2{};
    std::array<ShapeMarker*, format::kDifferenceCount> Shape1{};
    GameButton* const PushButton1;
    DifficultyFrame* const Frame1;
    QRadioButton* const Option1;
    QRadioButton* const Option2;
    QRadioButton* const Option3;
    StatusLabel* const Label1;

    // The window-level state, to look at from outside (tests, benchmarks); only the handlers
    // change it.
    const store::Recordset* imageRecordset() const { return ImageRecordset.get(); }
    const store::Connection* imageConnection() const { return ImageConnection.get(); }
    std::int32_t secondsElapsed() const { return Game.secondsElapsed(); }
    bool gameRunning() const { return Game.running(); }

    // The pointer mode of the whole window.
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int mode);
    // The custom pointer image, when one was loaded.
    const std::optional<QCursor>& MouseIcon() const { return m_mouseIcon; }

    // Event handlers.
    void Form_Load();
    void Form_QueryUnload(int& cancel, int reason);
    void Form_Unload(int& cancel);
    void Form_MouseMove();
    void Frame1_MouseMove();
    void PushButton1_MouseMove();
    void PushButton1_Click();
    void Picture2_MouseDown(int button, int shift, float x, float y);
    void Timer1_Timer();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void layOutControls();
    void connectEvents();
    void centreOnScreen();
    void loadPair(support::ErrorTrap& trap, int firstLine);
    void hideMarkers();
    QString programFile(const QString& name) const;
    bool databaseMissing() const;

    // The window-level state, for the whole life of the window.
    std::unique_ptr<store::Recordset> ImageRecordset;
    std::unique_ptr<store::Connection> ImageConnection;
    // The game at the chosen level: its clock, what is found, whether it runs.
    rules::LevelGame Game;

    QString m_programDir;
    QString m_databaseFile; // empty: the program folder's
    int m_mousePointer = DefaultPointer;
    std::optional<QCursor> m_mouseIcon;
    bool m_centred = false;
    bool m_handlingGameButton = false;
    bool m_loadingNextPair = false;
};

} // namespace game
