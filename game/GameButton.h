#pragma once

#include <QMouseEvent>
#include <QPushButton>

namespace game {

// The game button: a push button that also reports pointer movement over it.
class GameButton : public QPushButton
{
    Q_OBJECT
  public:
    explicit GameButton(QWidget* parent);

  signals:
    void mouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

} // namespace game
