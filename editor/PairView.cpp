#include "PairView.h"

#include "PairNumbers.h"
#include "pack/PairCheck.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace editor {
namespace {

// One pixel's width in twips: a difference is never narrower than this.
constexpr double kOnePixel = format::twipsFromPixels(1.0);
// How near an edge of the selected difference (in pixels) a press grabs it for resizing.
constexpr double kGrab = 4;
// A press that moves less than this (in pixels) is a click, not a drag.
constexpr double kClick = 3;

int pixelOf(double coordinate, int limit)
{
    return std::clamp(int(std::floor(coordinate)), 0, limit - 1);
}

// The first and the last twip of a pixel column (or row): where a left (top) and a right (bottom)
// edge put on that pixel lie.
double firstTwipOf(int pixel)
{
    return format::twipsOfPixels(pixel, pixel, 1, 1).x1;
}
double lastTwipOf(int pixel)
{
    return format::twipsOfPixels(pixel, pixel, 1, 1).x2;
}

QColor colourOf(PairView::Mark mark)
{
    switch (mark) {
    case PairView::Mark::Error:
        return QColor(229, 57, 53);
    case PairView::Mark::Warning:
        return QColor(251, 140, 0);
    case PairView::Mark::Fine:
    case PairView::Mark::None:
        break;
    }
    return QColor(67, 160, 71);
}

} // namespace

PairView::PairView(QWidget* parent) : QWidget(parent)
{
    setFixedSize(format::kPictureWidth, format::kPictureHeight);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

QSize PairView::sizeHint() const
{
    return {format::kPictureWidth, format::kPictureHeight};
}

void PairView::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void PairView::setOverlay(const QImage& overlay)
{
    m_overlay = overlay;
    update();
}

void PairView::setDifferences(
    const std::array<pack::Difference, format::kDifferenceCount>& differences,
    const std::array<Mark, format::kDifferenceCount>& marks)
{
    m_differences = differences;
    m_marks = marks;
    update();
}

void PairView::setSelected(int difference)
{
    m_selected = difference;
    update();
}

void PairView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(48, 48, 48));
    if (m_picture.isNull()) {
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, tr("No picture"));
    } else {
        painter.drawImage(0, 0, m_picture);
    }
    if (!m_overlay.isNull())
        painter.drawImage(0, 0, m_overlay);

    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    for (int k = 0; k < format::kDifferenceCount; ++k) {
        const bool previewed = m_preview && m_dragging == k;
        const pack::Difference& d = previewed ? *m_preview : m_differences[std::size_t(k)];
        if (!isComplete(d) || *d.x1 > *d.x2 || *d.y1 > *d.y2)
            continue;
        const QRectF area = pixelArea(d);
        const QColor colour = colourOf(m_marks[std::size_t(k)]);
        painter.setBrush(Qt::NoBrush);
        // A dark outline under the colour keeps the rectangle visible on any picture.
        painter.setPen(QPen(QColor(0, 0, 0, 160), k == m_selected ? 5 : 3));
        painter.drawRect(area);
        painter.setPen(QPen(colour, k == m_selected ? 3 : 1.5));
        painter.drawRect(area);
        const QRectF badge(area.topLeft() + QPointF(2, 2), QSizeF(16, 16));
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(badge);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, QString::number(k + 1));
        if (k == m_selected) {
            // Handles at the corners: the edges can be dragged.
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(Qt::white);
            for (const QPointF& corner :
                 {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()})
                painter.drawRect(QRectF(corner - QPointF(3, 3), QSizeF(6, 6)));
        }
    }
    if (m_preview && m_dragging < 0) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1.5, Qt::DashLine));
        painter.drawRect(pixelArea(*m_preview));
    }
}

PairView::Edges PairView::edgesAt(const QPointF& p) const
{
    if (m_selected < 0 || !isComplete(m_differences[std::size_t(m_selected)]))
        return {};
    const QRectF area = pixelArea(m_differences[std::size_t(m_selected)]);
    if (!area.adjusted(-kGrab, -kGrab, kGrab, kGrab).contains(p))
        return {};
    Edges e;
    e.left = std::abs(p.x() - area.left()) <= kGrab;
    e.right = !e.left && std::abs(p.x() - area.right()) <= kGrab;
    e.top = std::abs(p.y() - area.top()) <= kGrab;
    e.bottom = !e.top && std::abs(p.y() - area.bottom()) <= kGrab;
    return e;
}

int PairView::differenceAt(const QPointF& p) const
{
    // The selected one first: where differences overlap, it is the one being worked on.
    if (m_selected >= 0 && isComplete(m_differences[std::size_t(m_selected)]) &&
        pixelArea(m_differences[std::size_t(m_selected)]).contains(p))
        return m_selected;
    for (int k = 0; k < format::kDifferenceCount; ++k)
        if (isComplete(m_differences[std::size_t(k)]) &&
            pixelArea(m_differences[std::size_t(k)]).contains(p))
            return k;
    return -1;
}

pack::Difference PairView::dragged(const QPointF& p) const
{
    const int w = format::kPictureWidth;
    const int h = format::kPictureHeight;
    pack::Difference d;
    switch (m_drag) {
    case Drag::Draw: {
        const int x1 = pixelOf(std::min(m_pressedAt.x(), p.x()), w);
        const int x2 = pixelOf(std::max(m_pressedAt.x(), p.x()), w);
        const int y1 = pixelOf(std::min(m_pressedAt.y(), p.y()), h);
        const int y2 = pixelOf(std::max(m_pressedAt.y(), p.y()), h);
        d = format::twipsOfPixels({x1, y1, x2, y2}).as<std::optional<double>>();
        break;
    }
    case Drag::Move: {
        d = m_differences[std::size_t(m_dragging)];
        const double dx = format::twipsFromPixels(std::round(p.x() - m_pressedAt.x()));
        const double dy = format::twipsFromPixels(std::round(p.y() - m_pressedAt.y()));
        d = {*d.x1 + dx, *d.y1 + dy, *d.x2 + dx, *d.y2 + dy};
        break;
    }
    case Drag::Resize: {
        d = m_differences[std::size_t(m_dragging)];
        // An edge follows the pointer but never crosses its opposite edge.
        if (m_edges.left)
            d.x1 = std::min(firstTwipOf(pixelOf(p.x(), w)), *d.x2 - kOnePixel + 1);
        if (m_edges.right)
            d.x2 = std::max(lastTwipOf(pixelOf(p.x(), w)), *d.x1 + kOnePixel - 1);
        if (m_edges.top)
            d.y1 = std::min(firstTwipOf(pixelOf(p.y(), h)), *d.y2 - kOnePixel + 1);
        if (m_edges.bottom)
            d.y2 = std::max(lastTwipOf(pixelOf(p.y(), h)), *d.y1 + kOnePixel - 1);
        break;
    }
    case Drag::None:
        break;
    }
    return d;
}

void PairView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    m_pressedAt = event->position();
    m_preview.reset();
    m_edges = edgesAt(m_pressedAt);
    if (m_edges.any()) {
        m_drag = Drag::Resize;
        m_dragging = m_selected;
        return;
    }
    const int hit = differenceAt(m_pressedAt);
    if (hit >= 0) {
        m_drag = Drag::Move;
        m_dragging = hit;
        if (hit != m_selected) {
            m_selected = hit;
            emit selectedChanged(hit);
        }
        update();
        return;
    }
    m_drag = Drag::Draw;
    m_dragging = -1;
}

void PairView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_drag == Drag::None) {
        const Edges e = edgesAt(event->position());
        if ((e.left || e.right) && (e.top || e.bottom))
            setCursor((e.left == e.top) ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        else if (e.left || e.right)
            setCursor(Qt::SizeHorCursor);
        else if (e.top || e.bottom)
            setCursor(Qt::SizeVerCursor);
        else
            setCursor(differenceAt(event->position()) >= 0 ? Qt::SizeAllCursor : Qt::CrossCursor);
        return;
    }
    m_preview = dragged(event->position());
    update();
}

void PairView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_drag == Drag::None)
        return;
    const Drag drag = std::exchange(m_drag, Drag::None);
    const QPointF moved = event->position() - m_pressedAt;
    const bool click = std::abs(moved.x()) < kClick && std::abs(moved.y()) < kClick;
    m_drag = drag;
    const pack::Difference result = dragged(event->position());
    m_drag = Drag::None;
    m_preview.reset();
    update();
    if (drag == Drag::Draw) {
        if (click) {
            if (m_selected >= 0) {
                m_selected = -1;
                emit selectedChanged(-1);
            }
            return;
        }
        emit drawn(result);
        return;
    }
    if (click || result == m_differences[std::size_t(m_dragging)])
        return;
    emit edited(m_dragging, result, false);
}

void PairView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_4) {
        m_selected = event->key() - Qt::Key_1;
        emit selectedChanged(m_selected);
        update();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_selected >= 0) {
        m_selected = -1;
        emit selectedChanged(-1);
        update();
        return;
    }
    if (m_selected < 0 || !isComplete(m_differences[std::size_t(m_selected)])) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit deleteRequested(m_selected);
        return;
    }
    int dx = 0;
    int dy = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dx = -1;
        break;
    case Qt::Key_Right:
        dx = 1;
        break;
    case Qt::Key_Up:
        dy = -1;
        break;
    case Qt::Key_Down:
        dy = 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const double step =
        format::twipsFromPixels(event->modifiers() & Qt::ControlModifier ? 10.0 : 1.0);
    pack::Difference d = m_differences[std::size_t(m_selected)];
    if (event->modifiers() & Qt::ShiftModifier) {
        // Shift: the right and bottom edges move, the difference grows or shrinks, down to a pixel.
        d.x2 = std::max(*d.x2 + dx * step, *d.x1 + kOnePixel - 1);
        d.y2 = std::max(*d.y2 + dy * step, *d.y1 + kOnePixel - 1);
    } else {
        d = {*d.x1 + dx * step, *d.y1 + dy * step, *d.x2 + dx * step, *d.y2 + dy * step};
    }
    if (d != m_differences[std::size_t(m_selected)])
        emit edited(m_selected, d, true);
}

} // namespace editor
