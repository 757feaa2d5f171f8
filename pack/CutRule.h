#pragma once
// Whether a change cuts a piece out of something larger. A whole thing taken away leaves the
// ground it stood on all round the gap; a piece of a thing taken away (a chimney of a roof, a
// bite of a drum's rim, a corner of a table) leaves the rest of the thing running up to the gap
// on one side and the ground beside it, pasted into the gap, on the other. The eye reads that
// straight edge through a thing as an edit. `tavrello-pack check` (Qt) and the pair generator
// (OpenCV) both judge a difference by this one routine, on plain buffers.

#include "PerceptibleChange.h"
#include "SeamMeasure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pack {

// Colours this close (Delta E, each averaged over 3 x 3) count as the same stuff.
inline constexpr double kSameStuffDeltaE = 12.0;
// A change that shifts the colour of its pixels by less than this (Delta E of the means) swaps
// no stuff for another: grain moved, a thing turned, nothing cut.
inline constexpr double kStuffChangeDeltaE = 20.0;
// The cut shows when at least this share of the ground around the changed pixels is still the
// stuff they were, and at least this share is the stuff they became.
inline constexpr double kMinCutShare = 0.25;

struct CutReading
{
    double continuation = 0; // share of the ring around the change in the colour it had
    double groundShare = 0;  // share of it in the colour it took
    bool cuts() const { return continuation >= kMinCutShare && groundShare >= kMinCutShare; }
};

namespace detail {

inline double deltaE(const std::array<double, 3>& a, const std::array<float, 3>& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

} // namespace detail

// Reads the change inside `box`: changed holds w * h flags, row by row, true where check counts
// a pixel as changed. The ring is the unchanged ground from 2 to kRing pixels outside the
// changed pixels, with any gap they enclose counted as theirs (a thing shrunk leaves its own
// middle inside the change, not beside it).
template <typename Flags>
CutReading readCut(const ColourPixels& original, const ColourPixels& modified, const Flags& changed,
                   SeamBox box)
{
    constexpr int kRing = 7;
    const int w = original.width, h = original.height;
    const int x0 = std::max(0, box.x - kRing), y0 = std::max(0, box.y - kRing);
    const int x1 = std::min(w, box.x + box.width + kRing);
    const int y1 = std::min(h, box.y + box.height + kRing);
    const int gw = x1 - x0, gh = y1 - y0;
    if (gw <= 0 || gh <= 0)
        return {};
    const auto at = [&](int gx, int gy) {
        return std::size_t(gy) * std::size_t(gw) + std::size_t(gx);
    };
    const auto inBox = [&](int x, int y) {
        return x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
    };

    // 0 ground, 1 changed, 2 enclosed by the change.
    std::vector<unsigned char> kind(std::size_t(gw) * std::size_t(gh), 0);
    std::array<double, 3> before{}, after{};
    long count = 0;
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            const int x = x0 + gx, y = y0 + gy;
            if (!inBox(x, y) || !changed[std::size_t(y) * std::size_t(w) + std::size_t(x)])
                continue;
            kind[at(gx, gy)] = 1;
            const std::array<float, 3> a = labAt(original, x, y);
            const std::array<float, 3> b = labAt(modified, x, y);
            for (int c = 0; c < 3; ++c) {
                before[std::size_t(c)] += a[std::size_t(c)];
                after[std::size_t(c)] += b[std::size_t(c)];
            }
            ++count;
        }
    if (count < kNoiseChangedPixels)
        return {};
    for (int c = 0; c < 3; ++c) {
        before[std::size_t(c)] /= double(count);
        after[std::size_t(c)] /= double(count);
    }
    std::array<float, 3> afterF{float(after[0]), float(after[1]), float(after[2])};
    if (detail::deltaE(before, afterF) < kStuffChangeDeltaE)
        return {};

    // Ground pixels the outside cannot reach without crossing the change are enclosed by it.
    std::vector<unsigned char> reached(kind.size(), 0);
    std::vector<std::pair<int, int>> stack;
    for (int gx = 0; gx < gw; ++gx)
        for (int gy : {0, gh - 1})
            stack.push_back({gx, gy});
    for (int gy = 0; gy < gh; ++gy)
        for (int gx : {0, gw - 1})
            stack.push_back({gx, gy});
    while (!stack.empty()) {
        const auto [gx, gy] = stack.back();
        stack.pop_back();
        if (gx < 0 || gy < 0 || gx >= gw || gy >= gh || reached[at(gx, gy)] || kind[at(gx, gy)])
            continue;
        reached[at(gx, gy)] = 1;
        stack.push_back({gx + 1, gy});
        stack.push_back({gx - 1, gy});
        stack.push_back({gx, gy + 1});
        stack.push_back({gx, gy - 1});
    }
    for (std::size_t i = 0; i < kind.size(); ++i)
        if (!kind[i] && !reached[i])
            kind[i] = 2;

    // Distance (chessboard) of each ground pixel from the change and what it encloses.
    std::vector<int> distance(kind.size(), kRing + 1);
    for (std::size_t i = 0; i < kind.size(); ++i)
        if (kind[i])
            distance[i] = 0;
    for (int pass = 0; pass < kRing; ++pass)
        for (int gy = 0; gy < gh; ++gy)
            for (int gx = 0; gx < gw; ++gx) {
                int& d = distance[at(gx, gy)];
                if (d != kRing + 1)
                    continue;
                for (int dy = -1; dy <= 1 && d == kRing + 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = gx + dx, ny = gy + dy;
                        if (nx >= 0 && ny >= 0 && nx < gw && ny < gh &&
                            distance[at(nx, ny)] == pass) {
                            d = pass + 1;
                            break;
                        }
                    }
            }

    // The ring's colours, each averaged over 3 x 3 so that grain does not count as stuff.
    long ring = 0, sameAsBefore = 0, sameAsAfter = 0;
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            const int d = distance[at(gx, gy)];
            const int x = x0 + gx, y = y0 + gy;
            if (d < 2 || d > kRing || x < 1 || y < 1 || x >= w - 1 || y >= h - 1 ||
                changed[std::size_t(y) * std::size_t(w) + std::size_t(x)])
                continue;
            std::array<float, 3> mean{};
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const std::array<float, 3> v = labAt(original, x + dx, y + dy);
                    for (int c = 0; c < 3; ++c)
                        mean[std::size_t(c)] += v[std::size_t(c)] / 9.f;
                }
            const double toBefore = detail::deltaE(before, mean);
            const double toAfter = detail::deltaE(after, mean);
            sameAsBefore += toBefore < kSameStuffDeltaE && toBefore <= toAfter ? 1 : 0;
            sameAsAfter += toAfter < kSameStuffDeltaE && toAfter < toBefore ? 1 : 0;
            ++ring;
        }
    if (ring == 0)
        return {};
    return {double(sameAsBefore) / double(ring), double(sameAsAfter) / double(ring)};
}

} // namespace pack
