#include "ShapeMarker.h"

#include "Twips.h"

#include <QPainter>
#include <cmath>
#include <stdexcept>

namespace game {
namespace {
constexpr int outlineWidth = 2;

int toPixels(float twips)
{
    return static_cast<int>(std::lround(format::pixelsFromTwips(twips)));
}

void requireSize(float value)
{
    if (!(value >= 0.0f))
        throw std::invalid_argument("Invalid property value.");
}
} // namespace

ShapeMarker::ShapeMarker(QWidget* container, float left, float top, float width, float height)
    : QWidget(container), m_left(left), m_top(top), m_width(width), m_height(height)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
    place();
}

void ShapeMarker::setLeft(float left)
{
    m_left = left;
    place();
}

void ShapeMarker::setTop(float top)
{
    m_top = top;
    place();
}

void ShapeMarker::setWidth(float width)
{
    requireSize(width);
    m_width = width;
    place();
}

void ShapeMarker::setHeight(float height)
{
    requireSize(height);
    m_height = height;
    place();
}

void ShapeMarker::place()
{
    // Out-of-range coordinates from a database are clamped for drawing only; the twips values
    // stay as written.
    const auto clampPixels = [](float twips) {
        const float limit = 1.0e6f;
        return toPixels(std::isfinite(twips) ? std::fmax(-limit, std::fmin(limit, twips)) : 0.0f);
    };
    const int left = clampPixels(m_left);
    const int top = clampPixels(m_top);
    const int right = clampPixels(m_left + m_width);
    const int bottom = clampPixels(m_top + m_height);
    setGeometry(left, top, std::max(right - left, 1), std::max(bottom - top, 1));
}

void ShapeMarker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(QColor(0xFF, 0x00, 0x00));
    pen.setWidth(outlineWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // The outline lies inside the marker's rectangle.
    const qreal inset = outlineWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

} // namespace game
