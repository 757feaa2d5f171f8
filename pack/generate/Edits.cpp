#include "generate/Internal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>
#include <opencv2/xphoto.hpp>

namespace generate::detail {

namespace {

float uniform(std::mt19937& rng, float lo, float hi)
{
    return std::uniform_real_distribution<float>(lo, hi)(rng);
}

// Records why an edit does not suit a window (for the trace) and says so.
bool refuse(const EditContext& c, const char* why)
{
    if (c.refusal)
        *c.refusal = why;
    return false;
}

bool coin(std::mt19937& rng)
{
    return std::uniform_int_distribution<int>(0, 1)(rng) == 1;
}

cv::Mat grow(const cv::Mat& mask, int radius)
{
    const cv::Mat kernel =
        cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * radius + 1, 2 * radius + 1));
    cv::Mat out;
    cv::dilate(mask, out, kernel);
    return out;
}

// How badly `source` fits the picture along the edge of the mask: the mean difference in a thin
// band across the edge. A structure running through the edge (a cup's rim, a fence) shows up
// here and would give the edit away as a cut.
bool seamFits(const cv::Mat& source, const cv::Mat& destination, const cv::Mat& mask)
{
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5));
    cv::Mat outer, inner;
    cv::dilate(mask, outer, kernel);
    cv::erode(mask, inner, kernel);
    const cv::Mat band = outer & ~inner;
    if (cv::countNonZero(band) == 0)
        return false;
    cv::Mat a, b;
    // Compared blurred: fine texture (leaves, grain) differs pixel by pixel yet hides a seam;
    // what shows is a broken line or a step in tone, and both survive the blur.
    source.convertTo(a, CV_32FC3);
    destination.convertTo(b, CV_32FC3);
    cv::GaussianBlur(a, a, cv::Size(0, 0), 2.0);
    cv::GaussianBlur(b, b, cv::Size(0, 0), 2.0);
    const cv::Mat diff = a - b;
    const cv::Scalar meanAbs = cv::mean(cv::abs(diff), band);
    constexpr double kSeamLimit = 18.0;
    return (meanAbs[0] + meanAbs[1] + meanAbs[2]) / 3.0 < kSeamLimit;
}

// Lays source over the window of modified, pixel by pixel weighted by alpha (0 keeps what was
// there, 1 takes the source).
void blendOver(cv::Mat& modified, const cv::Rect& window, const cv::Mat& source,
               const cv::Mat& alpha)
{
    cv::Mat alpha3;
    cv::merge(std::vector<cv::Mat>{alpha, alpha, alpha}, alpha3);
    cv::Mat from, to;
    source.convertTo(from, CV_32FC3);
    modified(window).convertTo(to, CV_32FC3);
    cv::Mat ones(alpha3.size(), CV_32FC3, cv::Scalar::all(1.0));
    cv::Mat blended = to.mul(ones - alpha3) + from.mul(alpha3);
    blended.convertTo(modified(window), CV_8UC3);
}

// Alpha-blends `source` into the window through a feathered mask. For edits whose source is the
// window itself (mirrored or rescaled) the colours already match, and a plain soft edge keeps
// the texture crisp where Poisson blending would smear it across strong edges.
bool featherInto(const cv::Mat& source, const cv::Mat& mask, cv::Mat& modified,
                 const cv::Rect& window)
{
    constexpr int frame = 4;
    cv::Mat alpha = cv::Mat::zeros(mask.size(), CV_32F);
    const cv::Rect inner(frame, frame, mask.cols - 2 * frame, mask.rows - 2 * frame);
    mask(inner).convertTo(alpha(inner), CV_32F, 1.0 / 255);
    if (cv::countNonZero(alpha) < 16)
        return false;
    cv::Mat binary = cv::Mat::zeros(mask.size(), CV_8U);
    mask(inner).copyTo(binary(inner));
    if (!seamFits(source, modified(window), binary))
        return false;
    cv::GaussianBlur(alpha, alpha, cv::Size(0, 0), 1.5);
    blendOver(modified, window, source, alpha);
    return true;
}

double objectFraction(const cv::Mat& object)
{
    return cv::countNonZero(object) / double(object.total());
}

cv::Scalar rimColour(const cv::Mat& picture, const cv::Rect& window)
{
    cv::Mat rim(window.size(), CV_8U, cv::Scalar(255));
    const int band = std::max(4, window.width / 10);
    rim(cv::Rect(band, band, window.width - 2 * band, window.height - 2 * band)).setTo(0);
    return cv::mean(picture(window), rim);
}

// Circular distance of two hues, degrees.
float hueDistance(float a, float b)
{
    const float d = std::fabs(a - b);
    return std::min(d, 360.f - d);
}

// The object's hue: a circular mean weighted by saturation, since reds sit on both ends of
// the hue circle and a plain mean of 5 and 355 degrees would be cyan.
float objectHue(const cv::Mat& hsv, const cv::Mat& object)
{
    double sx = 0, sy = 0;
    for (int y = 0; y < hsv.rows; ++y) {
        const auto* row = hsv.ptr<cv::Vec3f>(y);
        const uchar* inside = object.ptr<uchar>(y);
        for (int x = 0; x < hsv.cols; ++x) {
            if (!inside[x])
                continue;
            const double angle = row[x][0] * CV_PI / 180.0;
            sx += row[x][1] * std::cos(angle);
            sy += row[x][1] * std::sin(angle);
        }
    }
    const double degrees = std::atan2(sy, sx) * 180.0 / CV_PI;
    return float(degrees < 0 ? degrees + 360.0 : degrees);
}

// The hue turn for a recolour. Colours already in the scene look like they belong (an orange
// slice turned lime among limes, a purple cup turned cyan among cyan ones), so a hue the
// palette holds is preferred; failing that, a random turn of the level's size.
float pickTurn(const EditContext& c, float hue)
{
    std::vector<double> weights(36, 0.0);
    double total = 0;
    for (int bin = 0; bin < 36; ++bin) {
        const float centre = float(bin) * 10.f + 5.f;
        const float distance = hueDistance(centre, hue);
        if (distance >= c.style.hueMin && distance <= c.style.hueMax &&
            c.analysis.hueShare[bin] >= 0.01) {
            weights[bin] = c.analysis.hueShare[bin];
            total += weights[bin];
        }
    }
    if (total >= 0.03) {
        const int bin = int(std::discrete_distribution<int>(weights.begin(), weights.end())(c.rng));
        const float target = float(bin) * 10.f + uniform(c.rng, 2.f, 8.f);
        return target - hue;
    }
    return uniform(c.rng, c.style.hueMin, c.style.hueMax) * (coin(c.rng) ? 1.f : -1.f);
}

bool recolour(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
              cv::Mat& modified)
{
    cv::Mat patch;
    c.original(window).convertTo(patch, CV_32FC3, 1.0 / 255);
    cv::Mat hsv;
    cv::cvtColor(patch, hsv, cv::COLOR_BGR2HSV);
    const cv::Scalar mean = cv::mean(hsv, object);
    // Only strongly coloured things: a boat, a cup, a brush turned another colour is still a
    // boat, a cup, a brush, while stone, foliage, petals and pale paint in a new hue look
    // painted over. Dark things hardly change under a hue turn.
    if (mean[1] < 0.45 || mean[2] < 0.2)
        return refuse(c, "recolour: pale or dark");
    // Fur, skin, wood and sand (dull oranges and browns) in another hue look painted over;
    // recolour made things, which tend to be saturated.
    const float hue = objectHue(hsv, object);
    if (hue >= 10.f && hue <= 50.f && mean[1] < 0.6)
        return refuse(c, "recolour: dull brown");
    // A hue that fills much of the picture is the light of the scene (a floodlit bridge, a
    // sunset) or its material, not one object's colour: turned, it reads as paint on stone.
    double sameHue = 0;
    for (int bin = 0; bin < 36; ++bin)
        if (hueDistance(float(bin) * 10.f + 5.f, hue) <= 20.f)
            sameHue += c.analysis.hueShare[bin];
    if (sameHue > 0.35)
        return refuse(c, "recolour: the scene's own hue");
    // ... and must be a thing of its own colour: a patch of a larger surface turned another
    // colour reads as a stain, not as a different object. A lit patch of stone among darker
    // stone differs in brightness only, so the hue of the surroundings must differ too.
    const cv::Scalar around = rimColour(c.original, window);
    const cv::Scalar inside = cv::mean(c.original(window), object);
    if (cv::norm(inside - around) < 40.0)
        return refuse(c, "recolour: same colour as around");
    cv::Mat aroundPixel(1, 1, CV_32FC3,
                        cv::Scalar(around[0] / 255.0, around[1] / 255.0, around[2] / 255.0));
    cv::cvtColor(aroundPixel, aroundPixel, cv::COLOR_BGR2HSV);
    const cv::Vec3f aroundHsv = aroundPixel.at<cv::Vec3f>(0, 0);
    if (aroundHsv[1] >= 0.2f && hueDistance(aroundHsv[0], hue) < 30.f)
        return refuse(c, "recolour: same hue as around");

    const float turn = pickTurn(c, hue);
    for (int y = 0; y < hsv.rows; ++y) {
        auto* row = hsv.ptr<cv::Vec3f>(y);
        for (int x = 0; x < hsv.cols; ++x)
            row[x][0] = std::fmod(row[x][0] + turn + 720.f, 360.f);
    }
    cv::Mat turned;
    cv::cvtColor(hsv, turned, cv::COLOR_HSV2BGR);

    // A soft edge: a hard mask would leave a rim of the old colour around the object.
    cv::Mat alpha;
    object.convertTo(alpha, CV_32F, 1.0 / 255);
    const double sigma = std::max(1.2, window.width / 45.0);
    cv::GaussianBlur(alpha, alpha, cv::Size(0, 0), sigma);
    cv::Mat alpha3;
    cv::merge(std::vector<cv::Mat>{alpha, alpha, alpha}, alpha3);
    cv::Mat ones(alpha3.size(), CV_32FC3, cv::Scalar::all(1.0));
    cv::Mat blended = patch.mul(ones - alpha3) + turned.mul(alpha3);
    blended.convertTo(modified(window), CV_8UC3, 255.0);
    return true;
}

// Standard deviation of the picture's colours inside a mask, the largest of the channels.
double spread(const cv::Mat& picture, const cv::Mat& mask)
{
    cv::Scalar mean, stddev;
    cv::meanStdDev(picture, mean, stddev, mask);
    return std::max({stddev[0], stddev[1], stddev[2]});
}

// A thing on an even ground (the ring around it varies by under 40 levels a channel) whose
// colour differs from that ground by at least 24: what can be taken up, moved or rescaled.
bool standsOut(const EditContext& c, const cv::Rect& window, const cv::Mat& object)
{
    const cv::Mat ring = grow(object, 8) & ~grow(object, 3);
    return cv::countNonZero(ring) >= 40 && spread(c.original(window), ring) <= 40.0 &&
           cv::norm(cv::mean(c.original(window), object) - cv::mean(c.original(window), ring)) >=
               24.0;
}

// Fills `hole` (window-sized mask) in `modified` with what could plausibly be behind it.
bool fillHole(const EditContext& c, const cv::Rect& window, const cv::Mat& hole, cv::Mat& modified)
{
    // The fill depends on the untouched picture and the hole only, and the edits of one window
    // (remove, resize, move, flip) all ask for the same hole: filled once, pasted many times.
    FillCache* cache = c.fills;
    if (cache) {
        for (const FilledHole& known : *cache) {
            if (known.window != window || cv::countNonZero(known.hole != hole) != 0)
                continue;
            if (known.patch.empty())
                return refuse(c, known.refusal);
            known.patch.copyTo(modified(window), known.mask);
            return true;
        }
    }
    const auto remember = [&](const cv::Mat& patch, const cv::Mat& mask, const char* refusal) {
        if (cache)
            cache->push_back({window, hole.clone(), patch, mask, refusal});
        if (patch.empty())
            return refuse(c, refusal);
        patch.copyTo(modified(window), mask);
        return true;
    };

    const cv::Mat ring = grow(hole, 6) & ~hole;
    if (cv::countNonZero(ring) < 40)
        return remember({}, {}, "fill: no rim");

    // Behind a thing on a plain ground (sky, a wall) there is more of that ground: rebuilding
    // it from the rim is clean, up to a size where the fill shows as a soft blot.
    if (spread(c.original(window), ring) < 7.0 && cv::countNonZero(hole) <= 1200) {
        cv::Mat filled;
        cv::inpaint(c.original(window), hole, filled, 5, cv::INPAINT_TELEA);
        return remember(filled, grow(hole, 1), nullptr);
    }

    // Otherwise the hole takes a piece of the picture's own ground from nearby: the place whose
    // band around a hole-shaped area best matches the band around the hole (compared blurred,
    // tone offset taken out), copied in at full resolution with a soft edge inside the band.
    // Real pixels keep the ground's grain and sharpness where a smooth fill would leave a blot,
    // and one masked template match over the neighbourhood is fast.
    if (cv::countNonZero(hole) > 6000)
        return remember({}, {}, "fill: hole too big");
    constexpr int band = 6;
    const cv::Rect bounds(0, 0, c.original.cols, c.original.rows);
    const cv::Rect gap = cv::boundingRect(hole) + window.tl();
    const cv::Rect templ =
        cv::Rect(gap.x - band, gap.y - band, gap.width + 2 * band, gap.height + 2 * band) & bounds;
    cv::Mat holeT = cv::Mat::zeros(templ.size(), CV_8U);
    const cv::Rect shared = templ & window;
    hole(shared - window.tl()).copyTo(holeT(shared - templ.tl()));
    const cv::Mat ringT = grow(holeT, band) & ~holeT;
    const int ringPixels = cv::countNonZero(ringT);
    const cv::Rect search = cv::Rect(templ.x - 2 * templ.width, templ.y - 2 * templ.height,
                                     5 * templ.width, 5 * templ.height) &
                            bounds;
    cv::Mat blurred;
    c.original(search).convertTo(blurred, CV_32FC3);
    cv::GaussianBlur(blurred, blurred, cv::Size(0, 0), 1.5);
    const cv::Mat templBlurred = blurred(templ - search.tl()).clone();
    cv::Mat ring3, ringMask, ringF;
    cv::merge(std::vector<cv::Mat>{ringT, ringT, ringT}, ring3);
    ring3.convertTo(ringMask, CV_32FC3, 1.0 / 255);
    ringT.convertTo(ringF, CV_32F, 1.0 / 255);
    cv::Mat ssd;
    cv::matchTemplate(blurred, templBlurred, ssd, cv::TM_SQDIFF, ringMask);
    std::vector<cv::Mat> channels;
    cv::split(blurred, channels);
    const cv::Scalar templMean = cv::mean(templBlurred, ringT);
    for (int ch = 0; ch < 3; ++ch) {
        cv::Mat sums;
        cv::matchTemplate(channels[std::size_t(ch)], ringF, sums, cv::TM_CCORR);
        const cv::Mat offset = templMean[ch] - sums / double(ringPixels);
        ssd -= double(ringPixels) * offset.mul(offset);
    }
    // The source may not reach into the hole or its band: that would copy the thing back.
    const cv::Rect avoid(gap.x - 2 * band, gap.y - 2 * band, gap.width + 4 * band,
                         gap.height + 4 * band);
    double best = std::numeric_limits<double>::max();
    cv::Point at(-1, -1);
    for (int y = 0; y < ssd.rows; ++y) {
        const float* row = ssd.ptr<float>(y);
        for (int x = 0; x < ssd.cols; ++x) {
            const cv::Rect source(search.x + x, search.y + y, templ.width, templ.height);
            if (row[x] < best && (source & avoid).area() == 0) {
                best = row[x];
                at = source.tl();
            }
        }
    }
    // About 20 levels a channel on the blurred band (the tone offset already taken out):
    // beyond that the edge of the piece shows.
    constexpr double kRingLimit = 20.0 * 20.0;
    const bool fits = at.x >= 0 && best / (3.0 * ringPixels) <= kRingLimit;
    // Shift-map's time grows faster than the hole: it took close to half of all processor time
    // at 1500 pixels; beyond this a call would take seconds.
    constexpr int kShiftMapLimit = 1000;
    if (!fits && cv::countNonZero(hole) > kShiftMapLimit)
        return remember({}, {}, "fill: no matching ground");
    if (!fits) {
        // No one piece fits (busy or varied ground): shift-map inpainting composes the fill
        // from many runs of the neighbourhood's pixels, joined where they agree. Slower, so
        // only here, on Lab and on the neighbourhood two thirds of the hole's size each way.
        const int reach = std::max(20, std::max(gap.width, gap.height) * 2 / 3);
        const cv::Rect area =
            cv::Rect(gap.x - reach, gap.y - reach, gap.width + 2 * reach, gap.height + 2 * reach) &
            bounds;
        cv::Mat valid(area.size(), CV_8U, cv::Scalar(255));
        const cv::Rect inArea = window & area; // holds the whole hole
        valid(inArea - area.tl()).setTo(0, hole(inArea - window.tl()));
        cv::Mat lab, filled;
        cv::cvtColor(c.original(area), lab, cv::COLOR_BGR2Lab);
        cv::xphoto::inpaint(lab, valid, filled, cv::xphoto::INPAINT_SHIFTMAP);
        cv::cvtColor(filled, filled, cv::COLOR_Lab2BGR);
        cv::Mat patch = c.original(window).clone();
        filled(inArea - area.tl()).copyTo(patch(inArea - window.tl()));
        return remember(patch, hole, nullptr);
    }
    const cv::Rect from(at, templ.size());
    cv::Mat piece;
    c.original(from).convertTo(piece, CV_32FC3);
    piece += cv::mean(c.original(templ), ringT) - cv::mean(c.original(from), ringT);
    cv::Mat alpha;
    grow(holeT, band / 2).convertTo(alpha, CV_32F, 1.0 / 255);
    cv::GaussianBlur(alpha, alpha, cv::Size(0, 0), 1.2);
    alpha.setTo(1.0, holeT);
    cv::Mat alpha3, here;
    cv::merge(std::vector<cv::Mat>{alpha, alpha, alpha}, alpha3);
    c.original(templ).convertTo(here, CV_32FC3);
    const cv::Mat ones(alpha3.size(), CV_32FC3, cv::Scalar::all(1.0));
    cv::Mat mixed = here.mul(ones - alpha3) + piece.mul(alpha3);
    cv::Mat patch = c.original(window).clone();
    cv::Mat mixed8;
    mixed.convertTo(mixed8, CV_8UC3);
    mixed8(shared - templ.tl()).copyTo(patch(shared - window.tl()));
    return remember(patch, grow(hole, band / 2 + 2), nullptr);
}

bool removeObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                  cv::Mat& modified)
{
    // Only things well inside the window vanish believably; a hole filling the window gets
    // filled with something visibly invented.
    if (objectFraction(object) > 0.45)
        return refuse(c, "remove: fills the window");
    return fillHole(c, window, grow(object, 4), modified);
}

// Pastes `source` over `modified` through the object's own outline, softened by a pixel: the
// outline of a thing in front of its background is an edge the eye expects, not a seam.
void pasteObject(const EditContext& c, const cv::Mat& source, const cv::Mat& outline,
                 cv::Mat& modified, const cv::Rect& window)
{
    if (c.pasted)
        *c.pasted = outline.clone();
    cv::Mat alpha;
    outline.convertTo(alpha, CV_32F, 1.0 / 255);
    cv::GaussianBlur(alpha, alpha, cv::Size(0, 0), 0.8);
    blendOver(modified, window, source, alpha);
}

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

bool mirror(const EditContext& c, const cv::Rect& window, const cv::Mat& object, cv::Mat& modified)
{
    cv::Mat flipped, flippedObject;
    cv::flip(c.original(window), flipped, 1);
    cv::flip(object, flippedObject, 1);
    // Symmetric things look the same mirrored; the visibility check catches those.
    return featherInto(flipped, grow(object | flippedObject, 3), modified, window) ||
           refuse(c, "mirror: seam shows");
}

// Replaces what the window holds with what another place of the picture holds, where the
// surroundings of both places look alike: a lime where a lemon was, a blue cup where a purple
// one stood. The two places are matched on a band around the replaced area, so the pasted
// content meets the picture along an edge that already looked that way, and the soft
// transition inside that band leaves no seam. Among well-matched places the one whose content
// differs most from the window's wins, so the change is plain to see.
bool cloneDetail(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                 bool objectFound, cv::Mat& modified)
{
    constexpr int band = 7;
    cv::Mat inner;
    if (objectFound) {
        inner = grow(object, 3);
    } else {
        inner = cv::Mat::zeros(window.size(), CV_8U);
        cv::ellipse(inner, cv::Point(window.width / 2, window.height / 2),
                    cv::Size(window.width * 3 / 10, window.height * 3 / 10), 0, 0, 360,
                    cv::Scalar(255), cv::FILLED);
    }
    cv::Mat ring = grow(inner, band) & ~inner;
    // The band must lie inside the window, or the match would judge pixels the paste ignores.
    ring(cv::Rect(1, 1, window.width - 2, window.height - 2)).copyTo(ring);
    cv::Mat framedRing = cv::Mat::zeros(window.size(), CV_8U);
    ring.copyTo(framedRing(cv::Rect(1, 1, window.width - 2, window.height - 2)));
    ring = framedRing;
    const int ringPixels = cv::countNonZero(ring);
    if (ringPixels < 40 || cv::countNonZero(inner) < 60)
        return refuse(c, "clone: too small");

    // Matched blurred, as the eye judges an edge: fine grain may differ, a broken line or a
    // step in tone may not. A uniform tone offset is taken out (the paste corrects it), so the
    // cost is the band's squared difference less its mean part, per pixel and channel.
    // The match runs at half size on the blurred picture (the blur leaves nothing finer than
    // that to compare), a quarter of the pixels on both sides of the match.
    const cv::Mat& picture = c.analysis.halfBlurred;
    const cv::Rect half(window.x / 2, window.y / 2, window.width / 2, window.height / 2);
    cv::Mat ringHalf, ringMask, ring3;
    cv::resize(ring, ringHalf, half.size(), 0, 0, cv::INTER_NEAREST);
    const int halfRingPixels = cv::countNonZero(ringHalf);
    if (halfRingPixels < 10)
        return refuse(c, "clone: too small");
    cv::merge(std::vector<cv::Mat>{ringHalf, ringHalf, ringHalf}, ring3);
    ring3.convertTo(ringMask, CV_32FC3, 1.0 / 255);
    cv::Mat ssd;
    cv::matchTemplate(picture, picture(half), ssd, cv::TM_SQDIFF, ringMask);
    cv::Mat ringF;
    ringHalf.convertTo(ringF, CV_32F, 1.0 / 255);
    std::vector<cv::Mat> channels;
    cv::split(picture, channels);
    const cv::Scalar templateMean = cv::mean(picture(half), ringHalf);
    for (int ch = 0; ch < 3; ++ch) {
        cv::Mat sums;
        cv::matchTemplate(channels[std::size_t(ch)], ringF, sums, cv::TM_CCORR);
        cv::Mat offset = templateMean[ch] - sums / double(halfRingPixels);
        ssd -= double(halfRingPixels) * offset.mul(offset);
    }

    const cv::Rect avoid(window.x - window.width / 2, window.y - window.height / 2,
                         window.width * 2, window.height * 2);
    struct Source
    {
        double ringCost; // mean squared channel difference on the band
        cv::Rect rect;
    };
    std::vector<Source> sources;
    for (int y = 2; 2 * y + window.height + 4 <= c.original.rows && y < ssd.rows; ++y) {
        for (int x = 2; 2 * x + window.width + 4 <= c.original.cols && x < ssd.cols; ++x) {
            const cv::Rect candidate(2 * x, 2 * y, window.width, window.height);
            if ((candidate & avoid).area() > 0)
                continue;
            bool clash = false;
            for (const cv::Rect& other : c.keepOut)
                clash = clash || (candidate & other).area() > 0;
            if (clash)
                continue;
            sources.push_back({ssd.at<float>(y, x) / (3.0 * halfRingPixels), candidate});
        }
    }
    // About 12 levels a channel on the blurred band: close enough that the transition inside
    // the band reads as the picture's own texture.
    constexpr double kRingLimit = 12.0 * 12.0;
    std::sort(sources.begin(), sources.end(),
              [](const Source& a, const Source& b) { return a.ringCost < b.ringCost; });
    struct Scored
    {
        double change;
        Source source;
    };
    std::vector<Scored> scored;
    cv::Mat here;
    cv::cvtColor(c.original(window), here, cv::COLOR_BGR2Lab);
    for (const Source& source : sources) {
        if (source.ringCost > kRingLimit || scored.size() == 40)
            break;
        bool near = false;
        for (const Scored& other : scored)
            near = near || (source.rect & other.source.rect).area() > source.rect.area() / 4;
        if (near)
            continue;
        cv::Mat there, diff;
        cv::cvtColor(c.original(source.rect), there, cv::COLOR_BGR2Lab);
        cv::absdiff(here, there, diff);
        const cv::Scalar meanDiff = cv::mean(diff, inner);
        scored.push_back({meanDiff[0] + meanDiff[1] + meanDiff[2], source});
    }
    if (scored.empty())
        return refuse(c, "clone: no matching place");
    std::sort(scored.begin(), scored.end(),
              [](const Scored& a, const Scored& b) { return a.change > b.change; });
    const int pick =
        std::uniform_int_distribution<int>(0, std::min<int>(2, int(scored.size()) - 1))(c.rng);
    const cv::Rect from = scored[std::size_t(pick)].source.rect;

    // What is left of the tone difference on the band goes with the content, then the content
    // fades in across the band.
    cv::Mat content;
    c.original(from).convertTo(content, CV_32FC3);
    content += cv::mean(c.original(window), ring) - cv::mean(c.original(from), ring);
    content.convertTo(content, CV_8UC3);
    cv::Mat alpha;
    grow(inner, band / 2).convertTo(alpha, CV_32F, 1.0 / 255);
    cv::GaussianBlur(alpha, alpha, cv::Size(0, 0), band / 3.0);
    blendOver(modified, window, content, alpha);
    return true;
}

// Puts another thing of the picture in the place of this one: a lime slice where an orange
// slice lay, a blue cup where a purple one stood. The other thing must have nearly the same
// outline, so that once it is centred on this one (and scaled by a few per cent at most) it
// covers it whole and nothing of the old thing peeps out; it is pasted along its own outline,
// which the eye takes for the thing's edge. Of the things that fit, the seed picks among the
// three that differ most from the one they replace.
bool swapObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                cv::Mat& modified)
{
    const int objectArea = cv::countNonZero(object);
    if (objectArea < 60)
        return refuse(c, "swap: too small");
    const cv::Rect a = cv::boundingRect(object);
    const cv::Point2d centreA(a.x + a.width / 2.0, a.y + a.height / 2.0);
    // Mean Lab colours of the two things; converted region by region, only for things whose
    // outline fits.
    const auto labMean = [&](const cv::Rect& region, const cv::Mat& mask) {
        cv::Mat lab;
        cv::cvtColor(c.original(region), lab, cv::COLOR_BGR2Lab);
        return cv::mean(lab, mask);
    };
    const cv::Scalar colourA = labMean(window, object);
    const cv::Scalar ringA = cv::mean(c.original(window), grow(object, 12) & ~grow(object, 4));
    const cv::Rect bounds(0, 0, c.original.cols, c.original.rows);

    struct Fit
    {
        double difference; // Lab distance of the two things' mean colours
        std::size_t segment;
        double scale;
    };
    std::vector<Fit> fits;
    for (std::size_t i = 0; i < c.analysis.segments.size(); ++i) {
        const Segment& s = c.analysis.segments[i];
        const cv::Rect b = cv::boundingRect(s.mask) + s.box.tl();
        if ((b & window).area() > 0 || b.area() == 0)
            continue;
        const double scale =
            std::max(double(a.width) / b.width, double(a.height) / b.height) * 1.03;
        if (scale < 0.87 || scale > 1.15)
            continue;
        // The other thing, scaled and centred on this one, in the window's frame.
        const cv::Point2d centreB(b.x + b.width / 2.0, b.y + b.height / 2.0);
        const cv::Matx23d toWindow(scale, 0, centreA.x - scale * (centreB.x - s.box.x), 0, scale,
                                   centreA.y - scale * (centreB.y - s.box.y));
        cv::Mat placed;
        cv::warpAffine(s.mask, placed, toWindow, window.size(), cv::INTER_NEAREST);
        // It must stay inside the window (its edits own nothing beyond) and cover this thing.
        if (cv::countNonZero(placed) < 0.9 * scale * scale * cv::countNonZero(s.mask))
            continue;
        const int uncovered = cv::countNonZero(object & ~grow(placed, 1));
        const int overhang = cv::countNonZero(placed & ~grow(object, 2));
        if (uncovered > objectArea / 50 || overhang > objectArea / 4)
            continue;
        // The other thing must come from the same kind of ground, or it arrives with a rim of
        // foreign colour and looks cut out and stuck on.
        if (cv::norm(s.ringColour - ringA) > 30.0)
            continue;
        const double difference = cv::norm(labMean(s.box, s.mask) - colourA);
        if (difference >= 12.0)
            fits.push_back({difference, i, scale});
    }
    if (fits.empty())
        return refuse(c, "swap: no look-alike");
    std::sort(fits.begin(), fits.end(),
              [](const Fit& x, const Fit& y) { return x.difference > y.difference; });
    const Fit& fit = fits[std::size_t(
        std::uniform_int_distribution<int>(0, std::min<int>(2, int(fits.size()) - 1))(c.rng))];
    const Segment& s = c.analysis.segments[fit.segment];
    const cv::Rect b = cv::boundingRect(s.mask) + s.box.tl();
    const cv::Point2d centreB(b.x + b.width / 2.0, b.y + b.height / 2.0);
    // Picture to window: x' = scale * (x - centreB) + centreA.
    const cv::Matx23d pictureToWindow(fit.scale, 0, centreA.x - fit.scale * centreB.x, 0, fit.scale,
                                      centreA.y - fit.scale * centreB.y);
    cv::Mat pictureMask = cv::Mat::zeros(bounds.size(), CV_8U);
    s.mask.copyTo(pictureMask(s.box));
    cv::Mat source, outline;
    cv::warpAffine(c.original, source, pictureToWindow, window.size(),
                   fit.scale > 1.0 ? cv::INTER_CUBIC : cv::INTER_AREA, cv::BORDER_REFLECT);
    cv::warpAffine(pictureMask, outline, pictureToWindow, window.size(), cv::INTER_LINEAR);
    outline = outline > 127;
    pasteObject(c, source, outline | object, modified, window);
    return true;
}

// A copy of a thing from elsewhere in the picture set down on plain ground: another boat on
// the lake, another cloud in the sky. Only things that themselves sit on plain ground of the
// same colour qualify, so the copy carries no piece of foreign background with it.
bool addCopy(const EditContext& c, const cv::Rect& window, cv::Mat& modified)
{
    cv::Scalar groundMean, groundStd;
    cv::meanStdDev(c.original(window), groundMean, groundStd);
    constexpr int margin = 6;
    std::vector<std::size_t> fits;
    for (std::size_t i = 0; i < c.analysis.segments.size(); ++i) {
        const Segment& s = c.analysis.segments[i];
        const cv::Rect thing = cv::boundingRect(s.mask) + s.box.tl();
        if (s.ringSpread > 12.0 || cv::norm(s.ringColour - groundMean) > 18.0 ||
            s.contrast < 20.0 || thing.width > window.width - 2 * margin ||
            thing.height > window.height - 2 * margin || thing.width < c.style.objectMin / 2 ||
            (thing & window).area() > 0)
            continue;
        fits.push_back(i);
    }
    if (fits.empty())
        return refuse(c, "copy: nothing to copy");
    // The biggest candidates make the loudest change; the seed picks among the top few.
    std::sort(fits.begin(), fits.end(), [&](std::size_t a, std::size_t b) {
        return cv::countNonZero(c.analysis.segments[a].mask) >
               cv::countNonZero(c.analysis.segments[b].mask);
    });
    const std::size_t pick = fits[std::uniform_int_distribution<std::size_t>(
        0, std::min<std::size_t>(2, fits.size() - 1))(c.rng)];
    const Segment& s = c.analysis.segments[pick];
    const cv::Rect local = cv::boundingRect(s.mask);
    const cv::Rect thing = local + s.box.tl();

    // Somewhere inside the window, a little off centre so copies do not line up.
    const int freeX = window.width - 2 * margin - thing.width;
    const int freeY = window.height - 2 * margin - thing.height;
    const cv::Point at(window.x + margin + std::uniform_int_distribution<int>(0, freeX)(c.rng),
                       window.y + margin + std::uniform_int_distribution<int>(0, freeY)(c.rng));
    // The ground here is a shade off the ground there; the copy takes the difference along.
    cv::Mat copy;
    c.original(thing).convertTo(copy, CV_32FC3);
    copy += groundMean - s.ringColour;
    copy.convertTo(copy, CV_8UC3);
    const cv::Rect target(at, thing.size());
    cv::Mat window8 = modified(window).clone();
    cv::Mat source = window8.clone();
    copy.copyTo(source(target - window.tl()));
    cv::Mat outline = cv::Mat::zeros(window.size(), CV_8U);
    s.mask(local).copyTo(outline(target - window.tl()));
    pasteObject(c, source, outline, modified, window);
    return true;
}

bool resize(const EditContext& c, const cv::Rect& window, const cv::Mat& object, cv::Mat& modified)
{
    const cv::Rect bounds(0, 0, c.original.cols, c.original.rows);
    bool enlarge = coin(c.rng);
    float factor = enlarge ? uniform(c.rng, c.style.growMin, c.style.growMax)
                           : uniform(c.rng, c.style.shrinkMin, c.style.shrinkMax);
    auto sourceRect = [&](float f) {
        const int side = int(std::lround(double(window.width) / f));
        const int sideY = int(std::lround(double(window.height) / f));
        return cv::Rect(window.x + (window.width - side) / 2,
                        window.y + (window.height - sideY) / 2, side, sideY);
    };
    cv::Rect from = sourceRect(factor);
    if ((from & bounds) != from) {
        // Shrinking needs room around the window; near the border enlarge instead.
        enlarge = true;
        factor = uniform(c.rng, c.style.growMin, c.style.growMax);
        from = sourceRect(factor);
    }

    // The object mask in the source's frame, then scaled like the picture.
    cv::Mat objectInFrom = cv::Mat::zeros(from.size(), CV_8U);
    const cv::Rect overlap = from & window;
    object(overlap - window.tl()).copyTo(objectInFrom(overlap - from.tl()));

    cv::Mat scaled, scaledObject;
    cv::resize(c.original(from), scaled, window.size(), 0, 0,
               enlarge ? cv::INTER_CUBIC : cv::INTER_AREA);
    cv::resize(objectInFrom, scaledObject, window.size(), 0, 0, cv::INTER_NEAREST);
    return featherInto(scaled, grow(object | scaledObject, 3), modified, window) ||
           refuse(c, "resize: seam shows");
}

} // namespace

double outlineSharpness(const cv::Mat& picture, const cv::Mat& object)
{
    cv::Mat gray, gx, gy, magnitude;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(gray, gray, cv::Size(3, 3), 0);
    cv::Sobel(gray, gx, CV_32F, 1, 0);
    cv::Sobel(gray, gy, CV_32F, 0, 1);
    cv::magnitude(gx, gy, magnitude);
    // The strongest gradient across the outline, within two pixels of it either way: a
    // segment's outline may lie a pixel or two off the edge it follows.
    cv::dilate(magnitude, magnitude, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    cv::Mat inner;
    cv::erode(object, inner, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    const cv::Mat outline = object & ~inner;
    if (cv::countNonZero(outline) == 0)
        return 0.0;
    return cv::mean(magnitude, outline)[0];
}

double rimTouch(const cv::Mat& object)
{
    cv::Mat rim(object.size(), CV_8U, cv::Scalar(255));
    rim(cv::Rect(2, 2, object.cols - 4, object.rows - 4)).setTo(0);
    return cv::countNonZero(object & rim) / double(cv::countNonZero(rim));
}

bool applyEdit(EditKind kind, const EditContext& context, const cv::Rect& window,
               const cv::Mat& object, bool objectFound, cv::Mat& modified)
{
    if (context.plainWindow)
        return kind == EditKind::Clone ? addCopy(context, window, modified)
                                       : refuse(context, "plain ground takes only a copy");
    if (rimTouch(object) > kMaxRimTouch)
        return refuse(context, "cut out of something larger");
    // A thing with a soft outline (a cloud, a glow, a patch of shade) changed or taken away
    // leaves a smudge.
    if (objectFound && outlineSharpness(context.original(window), object) < kMinOutlineSharpness)
        return refuse(context, "soft outline");
    // Recolouring or removing a blob that is not an object leaves a stain or a smear.
    if (!objectFound && (kind == EditKind::Recolour || kind == EditKind::Remove))
        return refuse(context, "not a thing");
    switch (kind) {
    case EditKind::Remove:
        return removeObject(context, window, object, modified);
    case EditKind::Recolour:
        return recolour(context, window, object, modified);
    case EditKind::Mirror:
        return mirror(context, window, object, modified);
    case EditKind::Clone:
        return (objectFound && swapObject(context, window, object, modified)) ||
               cloneDetail(context, window, object, objectFound, modified);
    case EditKind::Resize:
        return objectFound ? resizeObject(context, window, object, modified)
                           : resize(context, window, object, modified);
    case EditKind::Move:
        return objectFound ? moveObject(context, window, object, modified)
                           : refuse(context, "not a thing");
    case EditKind::Flip:
        return objectFound ? flipObject(context, window, object, modified)
                           : refuse(context, "not a thing");
    }
    return false;
}

} // namespace generate::detail
