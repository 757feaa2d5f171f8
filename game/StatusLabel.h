#pragma once

#include <QLabel>

namespace game {

// The status label: one line high, as wide as its text, resized on every change of the text.
class StatusLabel : public QLabel
{
    Q_OBJECT
  public:
    explicit StatusLabel(QWidget* parent);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption);
};

} // namespace game
