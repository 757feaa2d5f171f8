#pragma once
// How much two pictures differ to a player who looks at them whole, not pixel by pixel. check
// (Qt), the editor's heat map and the pair generator (OpenCV) all measure a change by this one
// routine, on plain buffers, so the numbers the generator chose by are the numbers an author
// reads.

#include "SeamMeasure.h"

#include <array>
#include <cstddef>
#include <vector>

namespace pack {

// A patch of grass or foliage that is mirrored or shuffled differs in thousands of pixels yet
// looks the same. The colour difference of the two pictures (CIE Lab, Delta E 1976) is therefore
// averaged over a Gaussian of this sigma, in pixels, before it is compared with a threshold.
inline constexpr double kViewingSigmaPixels = 2.5;
// A pixel whose averaged difference exceeds this (Delta E) is one a careful eye can see ...
inline constexpr double kJustVisibleDeltaE = 12.0;
// ... and a difference with fewer such pixels than this hardly shows at all.
inline constexpr int kJustVisibleMinimumPixels = 60;

// 8-bit colour pixels, three or four bytes each, row by row, as a QImage (RGB888, RGB32) or an
// OpenCV matrix (BGR) holds them. Not owned.
struct ColourPixels
{
    const unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    std::size_t bytesPerLine = 0;
    int bytesPerPixel = 3;
    int red = 0, green = 1, blue = 2; // the byte of each channel within a pixel
};

// The CIE Lab colour (D65 white) of an 8-bit sRGB colour.
std::array<float, 3> labOf(int red, int green, int blue);

// The CIE Lab colour of the pixel at (x, y).
inline std::array<float, 3> labAt(const ColourPixels& p, int x, int y)
{
    const unsigned char* px =
        p.data + std::size_t(y) * p.bytesPerLine + std::size_t(x) * std::size_t(p.bytesPerPixel);
    return labOf(px[p.red], px[p.green], px[p.blue]);
}

// The change of each pixel of `box` (box.width * box.height values, row by row): the Lab
// difference of the two pictures, blurred by kViewingSigmaPixels over the box grown by three
// sigmas (clipped to the picture, its edges repeated outwards), as a Delta E. The pictures must
// be the same size, and the box inside them.
std::vector<float> perceptibleChange(const ColourPixels& original, const ColourPixels& modified,
                                     SeamBox box);

// How many of the values exceed deltaE.
int countAbove(const std::vector<float>& change, double deltaE);

} // namespace pack
