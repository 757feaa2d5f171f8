#include "generate/EditTools.h"

#include <algorithm>
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

} // namespace generate::detail
