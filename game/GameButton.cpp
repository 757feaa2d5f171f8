#include "GameButton.h"

namespace game {

GameButton::GameButton(QWidget* parent) : QPushButton(parent)
{
    setMouseTracking(true);
}

void GameButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    emit mouseMoved();
    event->accept();
}

} // namespace game
