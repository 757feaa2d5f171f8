#include "DifficultyFrame.h"

#include <QMouseEvent>

namespace game {

DifficultyFrame::DifficultyFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent)
{
    setMouseTracking(true);
}

void DifficultyFrame::mouseMoveEvent(QMouseEvent* event)
{
    QGroupBox::mouseMoveEvent(event);
    // Movement over an option button arrives here too, passed up by Qt; only the frame's own
    // surface counts.
    if (!childAt(event->position().toPoint()))
        emit mouseMoved();
    event->accept();
}

} // namespace game
