#include "StatusLabel.h"

namespace game {
namespace {
// The width of the label without text: the few pixels of its margins.
constexpr int emptyWidth = 3;
} // namespace

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void StatusLabel::setCaption(const QString& caption)
{
    setText(caption);
    resize(caption.isEmpty() ? emptyWidth : sizeHint().width(), height());
}

} // namespace game
