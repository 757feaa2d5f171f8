#pragma once
// How easily a player finds a difference at a glance. A change shows by its size and contrast,
// and hides among busy ground: a leaf recoloured among leaves or a window gone from a row of
// windows is as hard to find as a far smaller change on plain ground. `tavrello-pack check`
// (Qt), the editor and the pair generator (OpenCV) all judge a difference by this one routine,
// on plain buffers, so an author sees the numbers the generator chose by.

#include "PerceptibleChange.h"
#include "SeamMeasure.h"
#include "format/PairTable.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace pack {

// A pixel is plainly changed when its change as a player sees it (PerceptibleChange.h) exceeds
// this (Delta E): a change seen without searching.
inline constexpr double kPlainChangeDeltaE = 20.0;
// A pixel of the original is busy when its grey level changes by more than this across two
// pixels (across plus down, 0 to 510): leaves, gravel, lettering, brickwork; sky, water, walls
// and skin stay below.
inline constexpr float kBusyGradient = 28.f;
// How much busy surroundings hide a change: a difference whose neighbourhood is all busy counts
// as a third of its plainly changed area.
inline constexpr double kClutterWeight = 2.0;

struct Findability
{
    int changedArea = 0; // plainly changed pixels inside the difference's rectangle
    int visibleArea = 0; // pixels inside it a careful eye sees change (kJustVisibleDeltaE)
    double clutter = 0;  // busy share of the neighbourhood around it, 0 (plain) to 1
    double score = 0;    // changedArea / (1 + kClutterWeight * clutter): equivalent plain area
};

// The surroundings a player compares a difference with: its rectangle grown by its longer
// side all round (three times its size), clipped to the picture, the rectangle left out.
inline SeamBox neighbourhood(SeamBox box, int w, int h)
{
    const int grow = std::max(box.width, box.height);
    const int x0 = std::max(1, box.x - grow), y0 = std::max(1, box.y - grow);
    const int x1 = std::min(w - 1, box.x + box.width + grow);
    const int y1 = std::min(h - 1, box.y + box.height + grow);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

// Busy share of the original around `box`. grey holds the original's grey levels, w * h row
// by row.
inline double clutterAround(const std::vector<float>& grey, int w, int h, SeamBox box)
{
    const SeamBox around = neighbourhood(box, w, h);
    long busy = 0, count = 0;
    for (int y = around.y; y < around.y + around.height; ++y) {
        for (int x = around.x; x < around.x + around.width; ++x) {
            if (x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height)
                continue;
            if (x < 1 || y < 1 || x >= w - 1 || y >= h - 1)
                continue;
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            const float gradient = std::abs(grey[i + 1] - grey[i - 1]) +
                                   std::abs(grey[i + std::size_t(w)] - grey[i - std::size_t(w)]);
            busy += gradient > kBusyGradient ? 1 : 0;
            ++count;
        }
    }
    return count == 0 ? 0.0 : double(busy) / double(count);
}

// deltaE holds the blurred colour difference of the pixels of `box` (box.width * box.height,
// row by row); grey the original's grey levels (w * h).
inline Findability measureFindability(const std::vector<float>& deltaE,
                                      const std::vector<float>& grey, int w, int h, SeamBox box)
{
    Findability f;
    f.changedArea = countAbove(deltaE, kPlainChangeDeltaE);
    f.visibleArea = countAbove(deltaE, kJustVisibleDeltaE);
    f.clutter = clutterAround(grey, w, h, box);
    f.score = f.changedArea / (1.0 + kClutterWeight * f.clutter);
    return f;
}

// What a level asks of each of its differences. Easy: every one found at a glance, large and
// loud on ground that does not hide it; Medium: a short search; Hard: small and quiet, so no
// Hard difference is an Easy one either.
struct LevelFindability
{
    int minArea;     // plainly changed pixels, at least
    double minScore; // findability score, at least
    double maxScore; // findability score, at most (Hard's changes stay quiet)
};
inline LevelFindability levelFindability(int level)
{
    static constexpr LevelFindability levels[format::kLevelCount] = {
        {230, 100.0, 1e9}, {110, 80.0, 1e9}, {0, 0.0, 300.0}};
    return levels[std::clamp(level, 1, format::kLevelCount) - 1];
}

// The level a difference of this findability suits best, 1 to 3: the easiest whose demands it
// meets (Hard when it meets none, too loud for Hard counts as Medium).
inline int fittingLevel(const Findability& f)
{
    for (int level = 1; level <= format::kLevelCount; ++level) {
        const LevelFindability need = levelFindability(level);
        if (f.changedArea >= need.minArea && f.score >= need.minScore && f.score <= need.maxScore)
            return level;
    }
    return f.score > levelFindability(3).maxScore ? 2 : 3;
}

// The level a whole pair plays as: that of its hardest difference to find. A Medium pair whose
// four differences all suit Easy is an Easy pair to the player, whatever its label says.
template <class Range> int pairPlaysAs(const Range& differences)
{
    int level = 1;
    for (const Findability& f : differences)
        level = std::max(level, fittingLevel(f));
    return level;
}

} // namespace pack
