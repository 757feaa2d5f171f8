#pragma once

#include <QFrame>
#include <QImage>

namespace game {

// A picture box: a thin sunken border around an inner area that shows a picture at its own size
// from the inner top-left corner, cut off at the inner edges. Child controls (the markers) live
// in the inner area, so their coordinates and the press positions are measured from its corner.
class PictureBox : public QFrame
{
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent);

    // The inner area, the container of markers.
    QWidget* inner() const { return m_inner; }

    const QImage& Picture() const { return m_picture; }
    // An empty image clears the box.
    void setPicture(const QImage& picture);

  signals:
    // A mouse-button press in the inner area, position in twips.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, float x, float y);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* m_inner;
    QImage m_picture;
};

} // namespace game
