#pragma once

#include <QObject>
#include <QTimer>

namespace game {

// The game clock's timer: an enabled flag and an interval in milliseconds. It ticks only while it
// is enabled with an interval above 0; changing either restarts the count of the interval.
class GameTimer : public QObject
{
    Q_OBJECT
  public:
    explicit GameTimer(QObject* parent);

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int Interval() const { return m_interval; }
    void setInterval(int interval);

  signals:
    void tick();

  private:
    void apply();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};

} // namespace game
