#pragma once
// What makes a pair unfair or odd, found by looking at its numbers and comparing its pictures.

#include "store/FieldValue.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pack {

// The inner size of a picture box on screen, in pixels.
inline constexpr int kBoxWidth = 450;
inline constexpr int kBoxHeight = 459;

struct Finding
{
    enum Severity { Error, Warning };
    Severity severity;
    QString text;
};

// A difference rectangle in twips, as stored (Null where a corner is Null). The corners keep the
// column's own type and are compared exactly, as the game's hit test compares them.
struct StoredRect
{
    std::array<store::FieldValue, 4> corners; // x1, y1, x2, y2
};

// Checks of the rectangles alone: Null corners, inverted edges, overlaps.
std::vector<Finding> checkRectangles(const std::array<StoredRect, 4>& rects);

// Checks of the pictures against each other and against the rectangles. Rectangles with Null or
// inverted corners are left out of the pixel checks (checkRectangles reports them), and with one of
// them missing the changes outside the others are not judged either.
std::vector<Finding> checkPictures(const QImage& original, const QImage& modified,
                                   const std::array<StoredRect, 4>& rects);

// Pixels that differ between two pictures of the same size by more than JPEG noise.
std::vector<bool> changedPixels(const QImage& original, const QImage& modified);

} // namespace pack
