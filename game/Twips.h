#pragma once

#include "format/PairTable.h"

#include <QRect>

namespace game {

// One logical pixel is 15 twips; the window's layout and the pictures' coordinates are in twips.
constexpr int twipsPerPixel = format::kTwipsPerPixel;

constexpr int pixels(int twips)
{
    return twips / twipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

} // namespace game
