#pragma once
// A difference's rectangle: its left, top, right and bottom edges, both edges inclusive, in every
// form the programs hold one. The stored form keeps each corner as its column gave it (a Null,
// an exact decimal); the manifest's form a number or nothing; pixel and twips forms whole numbers.
// How twips edges and pixels turn into each other, and what edges a picture allows, are written
// here once, for the game, the checks, the generator and the editor alike.

#include <cmath>
#include <cstddef>
#include <functional>
#include <type_traits>

namespace format {

template <typename Value> struct DifferenceRect
{
    Value x1{};
    Value y1{};
    Value x2{};
    Value y2{};

    // The corners in column order (x1, y1, x2, y2), for code that walks them alongside the
    // columns or a manifest's keys.
    Value& operator[](std::size_t corner)
    {
        return corner == 0 ? x1 : corner == 1 ? y1 : corner == 2 ? x2 : y2;
    }
    const Value& operator[](std::size_t corner) const
    {
        return corner == 0 ? x1 : corner == 1 ? y1 : corner == 2 ? x2 : y2;
    }

    // The same rectangle with each corner turned into another form by `convert`.
    template <typename Convert>
    auto map(Convert convert) const
        -> DifferenceRect<std::decay_t<std::invoke_result_t<Convert, const Value&>>>
    {
        return {std::invoke(convert, x1), std::invoke(convert, y1), std::invoke(convert, x2),
                std::invoke(convert, y2)};
    }

    // The same rectangle with each corner converted to another type (an int to a double).
    template <typename To> DifferenceRect<To> as() const
    {
        return {To(x1), To(y1), To(x2), To(y2)};
    }

    bool operator==(const DifferenceRect&) const = default;
};

// Rectangles are stored in twips, 15 to a logical pixel, measured from the picture box's inner
// top-left corner.
inline constexpr int kTwipsPerPixel = 15;

// A position or length in twips as pixels, in the type it is given: a float or double keeps the
// fraction of a pixel, an int (the window layout's twips, whole pixels) drops it.
template <typename Number> constexpr Number pixelsFromTwips(Number twips)
{
    return twips / Number(kTwipsPerPixel);
}

// A position or length in pixels as twips.
template <typename Number> constexpr Number twipsFromPixels(Number pixels)
{
    return pixels * Number(kTwipsPerPixel);
}

// The whole pixels a rectangle's twips edges cover, edges inclusive: pixel i spans twips 15 i to
// 15 i + 14, so an edge inside a pixel takes in that whole pixel.
inline DifferenceRect<int> coveredPixels(const DifferenceRect<double>& twips)
{
    return twips.map([](double edge) { return int(std::floor(pixelsFromTwips(edge))); });
}

// The twips edges of whole pixels (edges inclusive): from the first twip of the left and top
// pixels to the last twip of the right and bottom ones, not the first twip after them.
constexpr DifferenceRect<int> twipsOfPixels(const DifferenceRect<int>& pixels)
{
    return {twipsFromPixels(pixels.x1), twipsFromPixels(pixels.y1),
            twipsFromPixels(pixels.x2 + 1) - 1, twipsFromPixels(pixels.y2 + 1) - 1};
}

// The twips edges of `width` x `height` pixels from pixel (x, y).
constexpr DifferenceRect<int> twipsOfPixels(int x, int y, int width, int height)
{
    return twipsOfPixels({x, y, x + width - 1, y + height - 1});
}

// The area twips edges cover on screen, in fractions of a pixel: from the left edge to just past
// the right one (the last twip, 15 i + 14, ends at pixel i + 1).
inline DifferenceRect<double> pixelSpan(const DifferenceRect<double>& twips)
{
    return {pixelsFromTwips(twips.x1), pixelsFromTwips(twips.y1), pixelsFromTwips(twips.x2 + 1),
            pixelsFromTwips(twips.y2 + 1)};
}

// Whether a rectangle's twips edges lie on a picture of `width` x `height` pixels: no edge before
// its first twip, and the right and bottom edges no further than the last twip of its last pixel
// (x2 < width * 15; x2 = width * 15 is already a pixel past the picture). Value needs only to be
// ordered against a double, so the stored corners are judged exactly as stored.
template <typename Value>
bool liesOnPicture(const DifferenceRect<Value>& twips, int width, int height)
{
    return twips.x1 >= 0.0 && twips.y1 >= 0.0 && twips.x2 < twipsFromPixels(double(width)) &&
           twips.y2 < twipsFromPixels(double(height));
}

} // namespace format
