#pragma once

#include <QGroupBox>

namespace game {

// The difficulty frame: a group box that reports pointer movement over its own surface (not over
// the option buttons inside it, whose movement is not handled).
class DifficultyFrame : public QGroupBox
{
    Q_OBJECT
  public:
    DifficultyFrame(const QString& title, QWidget* parent);

  signals:
    void mouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

} // namespace game
