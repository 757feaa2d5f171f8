#pragma once
// What an author edits on a pair: everything but its pictures. Undo keeps these before and after.

#include "format/DifferenceRect.h"
#include "pack/Manifest.h"

#include <QRectF>
#include <array>

namespace editor {

struct PairNumbers
{
    qint32 id = 0;
    qint32 level = 1;
    std::array<pack::Difference, format::kDifferenceCount> differences;

    bool operator==(const PairNumbers&) const = default;
};

// True when all four corners of a difference are known.
inline bool isComplete(const pack::Difference& d)
{
    return d.x1 && d.y1 && d.x2 && d.y2;
}

// Where a complete difference lies on its picture, in pixels and fractions of one: from its left
// and top edges to just past its right and bottom ones, so an outline drawn on it encloses every
// pixel it covers.
inline QRectF pixelArea(const pack::Difference& d)
{
    const format::DifferenceRect<double> span =
        format::pixelSpan(d.map([](const std::optional<double>& corner) { return *corner; }));
    return QRectF(QPointF(span.x1, span.y1), QPointF(span.x2, span.y2));
}

} // namespace editor
