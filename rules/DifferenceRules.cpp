#include "DifferenceRules.h"

#include <algorithm>

namespace rules {

bool PressHits(const DifferenceEdges& edges, float x, float y)
{
    const auto atMost = [](const store::FieldValue& edge, float press) {
        return is_lteq(edge.compare(double(press)));
    };
    const auto atLeast = [](const store::FieldValue& edge, float press) {
        return is_gteq(edge.compare(double(press)));
    };
    return atMost(edges.x1, x) && atLeast(edges.x2, x) && atMost(edges.y1, y) &&
           atLeast(edges.y2, y);
}

bool PictureSolved(const std::array<bool, format::kDifferenceCount>& found)
{
    return std::all_of(found.begin(), found.end(), [](bool f) { return f; });
}

} // namespace rules
