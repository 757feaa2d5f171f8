#pragma once

#include "format/DifferenceRect.h"

#include <QRect>

namespace game {

// The window's layout is given in twips, as the pictures' coordinates are: a whole number of
// pixels each.
constexpr int pixels(int twips)
{
    return format::pixelsFromTwips(twips);
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

} // namespace game
