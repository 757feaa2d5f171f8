#include "GameTimer.h"

namespace game {

GameTimer::GameTimer(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &GameTimer::tick);
}

void GameTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    apply();
}

void GameTimer::setInterval(int interval)
{
    m_interval = interval;
    apply();
}

void GameTimer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace game
