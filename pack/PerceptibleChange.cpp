#include "PerceptibleChange.h"

#include <algorithm>
#include <cmath>

namespace pack {
namespace {

// sRGB's transfer curve undone, for each 8-bit level.
const std::array<double, 256>& linearLevels()
{
    static const std::array<double, 256> levels = [] {
        std::array<double, 256> l{};
        for (int c = 0; c < 256; ++c) {
            const double v = c / 255.0;
            l[std::size_t(c)] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        }
        return l;
    }();
    return levels;
}

// The Lab differences of the pixels of `around`, three values each, row by row.
std::vector<float> labDifference(const ColourPixels& a, const ColourPixels& b, SeamBox around)
{
    std::vector<float> diff(std::size_t(around.width) * std::size_t(around.height) * 3);
    for (int y = 0; y < around.height; ++y)
        for (int x = 0; x < around.width; ++x) {
            const auto la = labAt(a, around.x + x, around.y + y);
            const auto lb = labAt(b, around.x + x, around.y + y);
            for (int c = 0; c < 3; ++c)
                diff[(std::size_t(y) * std::size_t(around.width) + std::size_t(x)) * 3 +
                     std::size_t(c)] = la[std::size_t(c)] - lb[std::size_t(c)];
        }
    return diff;
}

} // namespace

std::array<float, 3> labOf(int red, int green, int blue)
{
    const auto& linear = linearLevels();
    const double r = linear[std::size_t(red)], g = linear[std::size_t(green)],
                 b = linear[std::size_t(blue)];
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
    return {float(116.0 * f(y) - 16.0), float(500.0 * (f(x) - f(y))), float(200.0 * (f(y) - f(z)))};
}

std::vector<float> perceptibleChange(const ColourPixels& original, const ColourPixels& modified,
                                     SeamBox box)
{
    const int radius = int(std::ceil(3 * kViewingSigmaPixels));
    const int x0 = std::max(0, box.x - radius), y0 = std::max(0, box.y - radius);
    const int x1 = std::min(original.width, box.x + box.width + radius);
    const int y1 = std::min(original.height, box.y + box.height + radius);
    const SeamBox around{x0, y0, x1 - x0, y1 - y0};
    const int w = around.width, h = around.height;
    const std::vector<float> diff = labDifference(original, modified, around);

    std::vector<float> kernel(std::size_t(2 * radius + 1));
    float total = 0;
    for (int i = -radius; i <= radius; ++i)
        total += kernel[std::size_t(i + radius)] =
            float(std::exp(-i * i / (2 * kViewingSigmaPixels * kViewingSigmaPixels)));
    for (float& k : kernel)
        k /= total;
    // Separable blur, the edges of the neighbourhood repeated outwards.
    const auto blur = [&](const std::vector<float>& in, bool horizontal) {
        std::vector<float> out(in.size(), 0.f);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int i = -radius; i <= radius; ++i) {
                    const int sx = horizontal ? std::clamp(x + i, 0, w - 1) : x;
                    const int sy = horizontal ? y : std::clamp(y + i, 0, h - 1);
                    for (int c = 0; c < 3; ++c)
                        out[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3 +
                            std::size_t(c)] +=
                            kernel[std::size_t(i + radius)] *
                            in[(std::size_t(sy) * std::size_t(w) + std::size_t(sx)) * 3 +
                               std::size_t(c)];
                }
        return out;
    };
    const std::vector<float> blurred = blur(blur(diff, true), false);

    std::vector<float> change;
    change.reserve(std::size_t(box.width) * std::size_t(box.height));
    for (int y = box.y; y < box.y + box.height; ++y)
        for (int x = box.x; x < box.x + box.width; ++x) {
            const float* d =
                &blurred[(std::size_t(y - around.y) * std::size_t(w) + std::size_t(x - around.x)) *
                         3];
            change.push_back(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
        }
    return change;
}

int countAbove(const std::vector<float>& change, double deltaE)
{
    return int(
        std::count_if(change.begin(), change.end(), [&](float d) { return double(d) > deltaE; }));
}

} // namespace pack
