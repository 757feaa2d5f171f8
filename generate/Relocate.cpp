#include "generate/EditTools.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace generate::detail {

namespace {

// A whole thing taken up and set down again by `transform` (window coordinates): moved a
// little, or turned to face the other way. The ground it leaves is filled first; it must land
// whole inside the window, two pixels clear of its edge.
bool relocateObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                    const cv::Matx23d& transform, const char* what, cv::Mat& modified)
{
    // Only a thing that stands out from an even ground can be taken up: a gap between other
    // things (bright background between fruit slices) moved cuts into its neighbours.
    if (!standsOut(c, window, object))
        return refuse(c, "move: does not stand out");
    const cv::Mat ring = grow(object, 8) & ~grow(object, 3);
    cv::Mat moved, movedObject;
    cv::warpAffine(c.original(window), moved, transform, window.size(), cv::INTER_LINEAR,
                   cv::BORDER_REFLECT);
    cv::warpAffine(object, movedObject, transform, window.size(), cv::INTER_NEAREST);
    cv::Mat inner = cv::Mat::zeros(window.size(), CV_8U);
    inner(cv::Rect(2, 2, window.width - 4, window.height - 4)).setTo(255);
    if (cv::countNonZero(movedObject & inner) < cv::countNonZero(object) * 97 / 100)
        return refuse(c, what);
    cv::Mat filled = modified.clone();
    if (!fillHole(c, window, grow(object, 4), filled))
        return refuse(c, "move: no clean fill");
    // It must land on the same kind of ground it stood on, or it looks cut out and stuck on.
    const cv::Mat newRing = grow(movedObject, 8) & ~grow(movedObject, 3);
    if (cv::norm(cv::mean(filled(window), newRing) - cv::mean(c.original(window), ring)) > 25.0)
        return refuse(c, "move: lands on other ground");
    pasteObject(c, moved, movedObject, filled, window);
    modified = filled;
    return true;
}

} // namespace

// A whole object made bigger or smaller about its own centre: enlarged, it simply covers more
// of its background; shrunk, the background it no longer covers is filled in first.
bool resizeObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                  cv::Mat& modified)
{
    // Only a thing that clearly stands out reads as bigger or smaller; a rescaled reflection
    // or patch of stone just looks smeared.
    if (!standsOut(c, window, object))
        return refuse(c, "resize: does not stand out");
    const cv::Rect box = cv::boundingRect(object);
    const cv::Point2f centre(float(box.x) + float(box.width) / 2.f,
                             float(box.y) + float(box.height) / 2.f);
    // The largest enlargement that keeps the object two pixels inside the window.
    const float room =
        std::min({(centre.x - 2.f) / (centre.x - float(box.x)),
                  (float(window.width) - 2.f - centre.x) / (float(box.br().x) - centre.x),
                  (centre.y - 2.f) / (centre.y - float(box.y)),
                  (float(window.height) - 2.f - centre.y) / (float(box.br().y) - centre.y)});
    // Shrinking uncovers background that must be filled in; where no fill looks clean the
    // object grows instead, if the window has room for it.
    cv::Mat filled = modified.clone();
    const bool wantsGrowth = coin(c.rng);
    const bool enlarge =
        room >= c.style.growMin && (wantsGrowth || !fillHole(c, window, grow(object, 4), filled));
    const float factor = enlarge ? std::min(room, uniform(c.rng, c.style.growMin, c.style.growMax))
                                 : uniform(c.rng, c.style.shrinkMin, c.style.shrinkMax);
    // Scale about the centre: x' = factor * (x - centre) + centre.
    const cv::Matx23d transform(factor, 0, (1.0 - factor) * centre.x, 0, factor,
                                (1.0 - factor) * centre.y);
    cv::Mat scaled, scaledObject;
    cv::warpAffine(c.original(window), scaled, transform, window.size(),
                   enlarge ? cv::INTER_CUBIC : cv::INTER_AREA, cv::BORDER_REFLECT);
    cv::warpAffine(object, scaledObject, transform, window.size(), cv::INTER_LINEAR);
    scaledObject = scaledObject > 127;
    if (!enlarge) {
        if (room >= c.style.growMin && !wantsGrowth)
            modified = filled; // filled above, when growth was weighed
        else if (!fillHole(c, window, grow(object, 4), modified))
            return refuse(c, "resize: no clean fill");
    }
    pasteObject(c, scaled, scaledObject, modified, window);
    return true;
}

// The thing shifted by a third to a half of its size in a random direction, as far as the
// window allows.
bool moveObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                cv::Mat& modified)
{
    const cv::Rect box = cv::boundingRect(object);
    const int roomLeft = box.x - 3, roomRight = window.width - 3 - box.br().x;
    const int roomUp = box.y - 3, roomDown = window.height - 3 - box.br().y;
    const double angle = uniform(c.rng, 0.f, float(2 * CV_PI));
    const double reach = double(uniform(c.rng, 0.33f, 0.5f)) * std::max(box.width, box.height);
    const int dx = std::clamp(int(std::lround(reach * std::cos(angle))), -roomLeft, roomRight);
    const int dy = std::clamp(int(std::lround(reach * std::sin(angle))), -roomUp, roomDown);
    if (std::hypot(dx, dy) < 0.2 * std::max(box.width, box.height))
        return refuse(c, "move: no room");
    return relocateObject(c, window, object, cv::Matx23d(1, 0, dx, 0, 1, dy), "move: no room",
                          modified);
}

// The thing turned to face the other way (mirrored about its own upright axis). A symmetric
// thing looks the same and fails the visibility check.
bool flipObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                cv::Mat& modified)
{
    const cv::Rect box = cv::boundingRect(object);
    const double axis = box.x + (box.width - 1) / 2.0;
    return relocateObject(c, window, object, cv::Matx23d(-1, 0, 2 * axis, 0, 1, 0), "flip: no room",
                          modified);
}

} // namespace generate::detail
