#pragma once

#include "generate/Generate.h"

#include <array>
#include <functional>
#include <opencv2/core.hpp>
#include <random>
#include <string>
#include <vector>

// Pieces of the generator shared between its source files; not part of the library's API.
namespace generate::detail {

// How big and how strong the edits of one level are.
struct LevelStyle
{
    int windowMin, windowMax;   // side of the edited square, pixels, where no object is
    int objectMin, objectMax;   // longer side of an object proposal worth editing
    float hueMin, hueMax;       // hue turn of a recolour, degrees
    float growMin, growMax;     // enlargement factor
    float shrinkMin, shrinkMax; // shrink factor
};
const LevelStyle& levelStyle(int level);

// One region of the picture that looks like a thing of its own.
struct Segment
{
    cv::Rect box;          // in the picture
    cv::Mat mask;          // box-sized CV_8U, 255 on the region, holes filled
    double contrast;       // Delta E between the region and a ring around it
    cv::Scalar ringColour; // BGR mean of that ring
    double ringSpread;     // largest channel standard deviation in the ring: low on plain ground
    double sharpness;      // outlineSharpness of the region
};

// Per-pixel measures of the fitted picture, with integral images for fast window means.
struct Analysis
{
    cv::Mat interest;    // CV_32F, 0..1: object-ness from saliency, edges and colour contrast
    cv::Mat interestSum; // integrals (CV_64F), one row and column larger
    cv::Mat edgeSum;     // of the Canny edge map, 0/1
    cv::Mat graySum;
    cv::Mat graySqSum;
    cv::Mat busySum; // of the pixels check counts as busy (see pack::clutterAround), 0/1
    // Share of the picture's pixels in each 10-degree hue bin, counting only clearly coloured
    // pixels: the scene's palette, for recolours that belong and against recolouring the
    // light that bathes the whole scene.
    std::array<double, 36> hueShare{};
    // Regions that stand apart from their surroundings in colour, from segmentations at a few
    // scales: the things that can be removed, recoloured or resized as a whole.
    std::vector<Segment> segments;
    // The picture as CV_32FC3, blurred (sigma 2) and halved: what a clone matches edges on.
    cv::Mat halfBlurred;
};
// How finely the picture is cut into things. One cut misses things another finds (a cup's
// inside whole at one, split at another), and a single cut makes every seed offer the same
// places; so the seed picks the cut, and another seed is another look at the picture.
struct SegmentationScale
{
    float graphScale; // multiplies the graph segmentation's scales: larger, larger regions
    float graphSigma; // its smoothing before segmenting
    int superpixelSize;
};
SegmentationScale segmentationScale(std::uint32_t seed);
Analysis analyse(const cv::Mat& picture, const SegmentationScale& scale = segmentationScale(1));

// A region a segmentation proposes as a thing: its bounding box, its pixel count, and its mask
// drawn over any area of the picture (area-sized CV_8U, 255 on the region).
struct RegionProposal
{
    cv::Rect box;
    int area;
    std::function<cv::Mat(const cv::Rect& area)> mask;
};
// Superpixels merged pairwise, most alike neighbours first, every merge a proposal: a thing's
// parts join one another before the thing joins its ground, so whole things on busy ground
// turn up at some step, where a segmentation at one scale leaks into the ground or splits them.
std::vector<RegionProposal> mergedSuperpixels(const cv::Mat& picture, int superpixelSize);

// Labels (CV_32S, 0 to n - 1) of the graph-based segmentation of the picture at each of `scales`
// (larger: larger regions) after smoothing by `sigma`; regions under minSize pixels are merged
// into a neighbour.
std::vector<cv::Mat> graphSegmentations(const cv::Mat& picture, double sigma,
                                        const std::vector<float>& scales, int minSize);

// Edges at fixed thresholds (Canny on the lightly blurred grey picture), so a flat or blurred
// area stays edge-free however the rest of the picture looks.
cv::Mat edgeMap(const cv::Mat& picture);

double windowMean(const cv::Mat& integral, const cv::Rect& r);
// The busy share around `box` as pack::clutterAround measures it, from the analysis' integral.
double clutterAround(const Analysis& analysis, const cv::Rect& box);
double windowScore(const Analysis& analysis, const cv::Rect& window);
// The segment's mask placed in a window holding its box (window-sized CV_8U).
cv::Mat segmentInWindow(const Segment& segment, const cv::Rect& window);

// Share of the window's rim covered by the object: a discrete object sits inside its window,
// while a window cut out of a larger structure (a wall, a big fruit) touches it all round and
// any edit would show the cut. Edits refuse objects above kMaxRimTouch.
double rimTouch(const cv::Mat& object);

// Mean gradient across the object's outline (Sobel of the grey picture, 0 to about 1000): high
// for a thing with a crisp edge, low for a cloud, a glow or a patch of shade, whose edit would
// read as a smudge.
double outlineSharpness(const cv::Mat& picture, const cv::Mat& object);
inline constexpr double kMinOutlineSharpness = 110.0;
inline constexpr double kMaxRimTouch = 0.12;

// Holes already filled during one call, so the edits tried on a window (remove, resize, move,
// flip), in this attempt or the next, fill each hole once.
struct FilledHole
{
    cv::Rect window;
    cv::Mat hole;        // window-sized CV_8U
    cv::Mat patch, mask; // the fill and where it goes; patch empty when the fill was refused
    const char* refusal; // why, then
};
using FillCache = std::vector<FilledHole>;

struct EditContext
{
    const cv::Mat& original; // the fitted picture, never edited
    const Analysis& analysis;
    const LevelStyle& style;
    std::mt19937& rng;
    const std::vector<cv::Rect>& keepOut; // windows of the other edits
    bool plainWindow = false;             // the window holds plain ground, no object
    std::string* refusal = nullptr;       // where an edit that does not suit says why
    // Where an edit that sets a whole thing down records its outline (window-sized CV_8U):
    // the edges of a moved, enlarged or swapped thing are its own, not cuts.
    cv::Mat* pasted = nullptr;
    FillCache* fills = nullptr;
};

// Edits the thing `object` (window-sized mask) in `modified`, inside `window` only. Returns
// false when the kind does not suit the thing (grey for a recolour, no clean source for a
// clone, ...).
bool applyEdit(EditKind kind, const EditContext& context, const cv::Rect& window,
               const cv::Mat& object, cv::Mat& modified);

// The picture's grey levels as check reads them, (R + G + B) / 3, for the seam and the clutter
// around a difference.
std::vector<float> greyLevels(const cv::Mat& picture);
// The pixels `check` counts as changed on the stored pictures: those whose strongest channel
// difference, averaged over 3 x 3, exceeds pack::kChangeNoiseLevel (CV_8U, 255 where changed).
cv::Mat changedAsCheckSees(const cv::Mat& original, const cv::Mat& modified);
// check's reading of the change inside `rect` as a recolour (RecolourRule.h): what the thing
// looks like when it can't take another colour, or nullptr.
const char* recolouredAsCheckSees(const cv::Mat& original, const cv::Mat& modified,
                                  const cv::Mat& changed, const cv::Rect& rect);
// check's reading of the change inside `rect` as a piece cut out of something and filled with
// the ground beside it (CutRule.h).
bool cutsAsCheckSees(const cv::Mat& original, const cv::Mat& modified, const cv::Mat& changed,
                     const cv::Rect& rect);
// The seam measure as `check` takes it on the stored pictures (pack::textureRatio): modifiedGrey
// holds the modified picture's grey levels (greyLevels), changed its changed pixels
// (changedAsCheckSees).
bool seamPassesCheck(const std::vector<float>& modifiedGrey, const cv::Mat& changed,
                     const cv::Rect& rect);
// How findable the change inside `rect` is, measured as check measures it on the stored
// pictures (see Findability.h); grey holds the original's grey levels.
pack::Findability findabilityOf(const cv::Mat& original, const cv::Mat& modified,
                                const cv::Rect& rect, const std::vector<float>& grey);

} // namespace generate::detail
