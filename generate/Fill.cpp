#include "generate/EditTools.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>
#include <opencv2/xphoto.hpp>

namespace generate::detail {

namespace {

double objectFraction(const cv::Mat& object)
{
    return cv::countNonZero(object) / double(object.total());
}

// Lab of the window, blurred so that grain and texture average out and only the colour of the
// ground remains.
cv::Mat groundColour(const cv::Mat& window)
{
    cv::Mat f, lab;
    window.convertTo(f, CV_32FC3, 1.0 / 255);
    cv::cvtColor(f, lab, cv::COLOR_BGR2Lab);
    cv::GaussianBlur(lab, lab, cv::Size(0, 0), 2.0);
    return lab;
}

double deltaE(const cv::Scalar& a, const cv::Scalar& b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// How far apart the grounds around a hole are: the largest colour difference between the
// ring's eight sectors around the hole's centre. A thing lying on one ground (a boat on water,
// a cup on a table) has one colour all round it; a part of a larger thing (an ear, a window of
// a wall, a lantern on a tower against the sky) meets the rest of the thing on one side and the
// background on the other, and no fill can be both.
double groundVariation(const cv::Mat& lab, const cv::Mat& ring, cv::Point centre)
{
    std::array<cv::Scalar, 8> sums{};
    std::array<int, 8> counts{};
    for (int y = 0; y < ring.rows; ++y)
        for (int x = 0; x < ring.cols; ++x) {
            if (!ring.at<uchar>(y, x))
                continue;
            const double angle = std::atan2(double(y - centre.y), double(x - centre.x));
            const int sector = std::clamp(int((angle + CV_PI) / (2 * CV_PI) * 8), 0, 7);
            const cv::Vec3f v = lab.at<cv::Vec3f>(y, x);
            sums[std::size_t(sector)] += cv::Scalar(v[0], v[1], v[2]);
            ++counts[std::size_t(sector)];
        }
    double widest = 0;
    for (std::size_t i = 0; i < 8; ++i)
        for (std::size_t j = i + 1; j < 8; ++j)
            if (counts[i] >= 8 && counts[j] >= 8)
                widest = std::max(widest, deltaE(sums[i] / counts[i], sums[j] / counts[j]));
    return widest;
}

// Above this (Delta E between sectors of the ring) a hole sits on more than one ground.
constexpr double kMaxGroundVariation = 30.0;
// Above this (Delta E between the fill and the ring, both blurred) the fill came from another
// part of the picture than the ground it replaces: sky inside a roof, grass on a road.
constexpr double kMaxFillColourShift = 12.0;

} // namespace

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
    const cv::Mat originalLab = groundColour(c.original(window));
    const cv::Mat around = grow(hole, 8) & ~grow(hole, 2);
    const auto remember = [&](cv::Mat patch, const cv::Mat& mask, const char* refusal) {
        // The fill must look like the ground it replaces, not like some other part of the
        // picture.
        if (!patch.empty() && deltaE(cv::mean(groundColour(patch), hole),
                                     cv::mean(originalLab, around)) > kMaxFillColourShift) {
            patch = cv::Mat();
            refusal = "fill: colour from elsewhere";
        }
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
    const cv::Moments m = cv::moments(hole, true);
    if (m.m00 > 0 &&
        groundVariation(originalLab, around, cv::Point(int(m.m10 / m.m00), int(m.m01 / m.m00))) >
            kMaxGroundVariation)
        return remember({}, {}, "fill: more than one ground around it (part of something larger)");

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

} // namespace generate::detail
