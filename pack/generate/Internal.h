#pragma once

#include "generate/Generate.h"

#include <opencv2/core.hpp>

#include <random>
#include <vector>

// Pieces of the generator shared between its source files; not part of the library's API.
namespace generate::detail {

// How big and how strong the edits of one level are.
struct LevelStyle
{
    int windowMin, windowMax;           // side of the edited square, pixels
    float hueMin, hueMax;               // hue turn of a recolour, degrees
    float growMin, growMax;             // enlargement factor
    float shrinkMin, shrinkMax;         // shrink factor
    int minVisiblePixels;               // an edit below this is too hard to find
};
const LevelStyle& levelStyle(int level);

// Per-pixel measures of the fitted picture, with integral images for fast window means.
struct Analysis
{
    cv::Mat interest;      // CV_32F, 0..1: object-ness from saliency, edges and colour contrast
    cv::Mat interestSum;   // integrals (CV_64F), one row and column larger
    cv::Mat edgeSum;       // of the Canny edge map, 0/1
    cv::Mat graySum;
    cv::Mat graySqSum;
};
Analysis analyse(const cv::Mat& picture);

double windowMean(const cv::Mat& integral, const cv::Rect& r);
// Enough edges and contrast that an edit has something to work on and hides in detail:
// flat sky, walls and out-of-focus backgrounds fail.
bool isTextured(const Analysis& analysis, const cv::Rect& window);
double windowScore(const Analysis& analysis, const cv::Rect& window);

// The object inside the window (window-sized CV_8U, 255 on the object), found by GrabCut
// seeded with the window's centre; an ellipse when GrabCut finds nothing sensible, and then
// `found` (if given) is false.
cv::Mat objectMask(const cv::Mat& picture, const cv::Rect& window, bool* found = nullptr);

struct EditContext
{
    const cv::Mat& original;            // the fitted picture, never edited
    const Analysis& analysis;
    const LevelStyle& style;
    std::mt19937& rng;
    const std::vector<cv::Rect>& keepOut;   // windows of the other edits
};

// Edits `modified` inside `window` only. Returns false when the kind does not suit the
// window (grey object for a recolour, no clean source for a clone, ...).
// `objectFound` false means `object` is only the fallback ellipse.
bool applyEdit(EditKind kind, const EditContext& context, const cv::Rect& window,
               const cv::Mat& object, bool objectFound, cv::Mat& modified);

} // namespace generate::detail
