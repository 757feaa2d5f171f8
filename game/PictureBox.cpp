#include "PictureBox.h"

#include "Twips.h"

#include <QMouseEvent>
#include <QPainter>

namespace game {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent), m_inner(new QWidget(this))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    // The sunken edge: darker above and left, lighter below and right, visible on white.
    QPalette edges = palette();
    edges.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
    edges.setColor(QPalette::Light, QColor(0xD8, 0xD8, 0xD8));
    setPalette(edges);
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    setAutoFillBackground(true);
    m_inner->setBackgroundRole(QPalette::Base);
    m_inner->installEventFilter(this);
}

void PictureBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    m_inner->update();
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_inner->setGeometry(contentsRect());
}

bool PictureBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_inner)
        return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter painter(m_inner);
        if (!m_picture.isNull())
            painter.drawImage(QPoint(0, 0), m_picture);
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A double click is a second press, as far as the game is concerned.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF at(format::twipsFromPixels(mouse->position().x()),
                         format::twipsFromPixels(mouse->position().y()));
        emit mouseDown(mouse->button(), mouse->modifiers(), static_cast<float>(at.x()),
                       static_cast<float>(at.y()));
        return true;
    }
    default:
        return false;
    }
}

} // namespace game
