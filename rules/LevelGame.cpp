#include "LevelGame.h"

#include <algorithm>
#include <stdexcept>

namespace rules {

const char* LevelGame::openingQuery(int level)
{
    if (level < 1 || level > format::kLevelCount)
        throw std::out_of_range("no such level");
    return format::kLevelQueries[std::size_t(level - 1)];
}

void LevelGame::start()
{
    SecondsElapsed = 0;
    m_found = {};
    GameRunning = true;
}

void LevelGame::tick()
{
    ++SecondsElapsed;
}

bool LevelGame::press(int k, const DifferenceEdges& edges, float x, float y)
{
    if (!PressHits(edges, x, y))
        return false;
    m_found.at(std::size_t(k)) = true;
    return true;
}

bool LevelGame::solved() const
{
    return PictureSolved(m_found);
}

void LevelGame::nextPairShown()
{
    SecondsElapsed = 0;
    m_found = {};
}

void LevelGame::stop()
{
    GameRunning = false;
}

int LevelGame::foundCount() const
{
    return int(std::count(m_found.begin(), m_found.end(), true));
}

QString LevelGame::solvedMessage() const
{
    return QStringLiteral("You solve it in ") + QString::number(SecondsElapsed) +
           QStringLiteral(" second(s)");
}

QString LevelGame::gameOverMessage() const
{
    return QStringLiteral("Game Over.") + QStringLiteral("You only solve ") +
           QString::number(foundCount()) + QStringLiteral(" out of ") +
           QString::number(format::kDifferenceCount) + QStringLiteral(".");
}

} // namespace rules
