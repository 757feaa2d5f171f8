#pragma once

#include <QWidget>

namespace game {

// A difference marker: a red rectangle outline, 2 pixels wide, over a picture. Its place is kept
// in twips as 32-bit floats, so that reading Left back gives exactly what was written. It never
// takes a press: presses fall through to the picture beneath.
class ShapeMarker : public QWidget
{
    Q_OBJECT
  public:
    explicit ShapeMarker(QWidget* container, float left, float top, float width, float height);

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    float Width() const { return m_width; }
    float Height() const { return m_height; }
    // A negative width or height throws, as the marker can't be drawn inside out.
    void setLeft(float left);
    void setTop(float top);
    void setWidth(float width);
    void setHeight(float height);

    bool Visible() const { return !isHidden(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void place();

    float m_left;
    float m_top;
    float m_width;
    float m_height;
};

} // namespace game
