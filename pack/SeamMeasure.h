#pragma once
// How the texture of an edit compares with its surroundings. A hole filled by smearing the
// colours around it, or a blob painted over grain, is smoother than the picture around it and
// gives the edit away even where its colours match. `tavrello-pack check` (Qt) and the pair
// generator (OpenCV) both judge an edit by this one routine, on plain buffers.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pack {

// A pixel of a stored pair counts as changed when the strongest colour channel differs,
// averaged over its 3 x 3 neighbourhood, by more than this: JPEG's ringing at quality 85 and
// above stays well below, while a change a player can see lies well above.
inline constexpr int kChangeNoiseLevel = 22;
// Fewer changed pixels than this are noise, not a difference a player can find.
inline constexpr int kNoiseChangedPixels = 12;
// Width of the band around a difference's rectangle that stands for its surroundings, pixels.
inline constexpr int kSeamBand = 10;
// Below this mean texture the surroundings are plain (sky, a wall) and anything matches them.
inline constexpr double kPlainTexture = 6.0;
// An edit whose texture falls under this share of its surroundings' reads as a smear.
inline constexpr double kMinTextureRatio = 0.4;
// A filled hole more than this many times as busy as its surroundings reads as a pasted patch.
inline constexpr double kMaxFillTextureRatio = 2.5;

struct SeamBox
{
    int x, y, width, height;
};

// Texture of the changed pixels inside `box` (mean absolute central difference of the grey
// picture, across and down) divided by that of the unchanged pixels in the band around `box`;
// 1 where the band is plain or there is nothing to compare. grey and changed hold w * h
// values, row by row.
template <typename Flags>
double textureRatio(const std::vector<float>& grey, const Flags& changed, int w, int h, SeamBox box)
{
    const auto texture = [&](int x, int y) {
        const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
        return std::abs(grey[i + 1] - grey[i - 1]) +
               std::abs(grey[i + std::size_t(w)] - grey[i - std::size_t(w)]);
    };
    double inside = 0, around = 0;
    long insideCount = 0, aroundCount = 0;
    const int x0 = std::max(1, box.x - kSeamBand),
              x1 = std::min(w - 2, box.x + box.width + kSeamBand);
    const int y0 = std::max(1, box.y - kSeamBand),
              y1 = std::min(h - 2, box.y + box.height + kSeamBand);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const bool inBox =
                x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
            const bool isChanged = changed[std::size_t(y) * std::size_t(w) + std::size_t(x)];
            if (inBox && isChanged) {
                inside += texture(x, y);
                ++insideCount;
            } else if (!inBox && !isChanged) {
                around += texture(x, y);
                ++aroundCount;
            }
        }
    }
    if (insideCount == 0 || aroundCount == 0)
        return 1.0;
    inside /= double(insideCount);
    around /= double(aroundCount);
    if (around < kPlainTexture)
        return 1.0;
    return inside / around;
}

} // namespace pack
