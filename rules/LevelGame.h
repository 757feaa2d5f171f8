#pragma once
// A game at one level, from the press of "Start New Game" to its end, apart from any window.

#include "DifferenceRules.h"

#include <QString>
#include <array>
#include <cstdint>

namespace rules {

// What a game at one level knows: whether it runs, the seconds on its clock and which differences
// of the picture on screen were found. The game window's handlers tell it what happened, in their
// numbered steps, and show what it says; the window's markers follow the differences found here.
class LevelGame
{
  public:
    // The query that opens level 1 (Easy) to 3 (Hard).
    static const char* openingQuery(int level);

    // The first pair is on screen: the clock starts from nought, nothing is found yet.
    void start();
    // One second on the clock.
    void tick();
    // A press at (x, y) twips on the left picture, tested against difference k's edges: true when
    // it lies within them, and the difference counts as found from then on.
    bool press(int k, const DifferenceEdges& edges, float x, float y);
    // All four differences of the picture on screen are found.
    bool solved() const;
    // The next pair is on screen: its own clock starts from nought, nothing of it is found yet.
    // Called once the pair is shown, so the time spent loading it isn't counted.
    void nextPairShown();
    // The game ends: the last pair was solved, or the player gave up. Found stays as it was, for
    // the count of the message.
    void stop();

    bool running() const { return GameRunning; }
    std::int32_t secondsElapsed() const { return SecondsElapsed; }
    // The differences of the picture on screen found so far.
    int foundCount() const;

    // What the player is told when a picture is solved, and when they end the game before.
    QString solvedMessage() const;
    QString gameOverMessage() const;

  private:
    std::int32_t SecondsElapsed = 0;
    bool GameRunning = false;
    std::array<bool, format::kDifferenceCount> m_found{};
};

} // namespace rules
