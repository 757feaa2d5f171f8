#include "generate/EditTools.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace generate::detail {

// Replaces what the window holds with what another place of the picture holds, where the
// surroundings of both places look alike: a lime where a lemon was, a blue cup where a purple
// one stood. The two places are matched on a band around the replaced area, so the pasted
// content meets the picture along an edge that already looked that way, and the soft
// transition inside that band leaves no seam. Among well-matched places the one whose content
// differs most from the window's wins, so the change is plain to see.
bool cloneDetail(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                 cv::Mat& modified)
{
    constexpr int band = 7;
    const cv::Mat inner = grow(object, 3);
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
    // About 12 levels a channel on the blurred band: close enough that the transition inside
    // the band reads as the picture's own texture. Places beyond are dropped at once: sorting
    // every place of the picture cost more than the match.
    constexpr double kRingLimit = 12.0 * 12.0;
    std::vector<Source> sources;
    for (int y = 2; 2 * y + window.height + 4 <= c.original.rows && y < ssd.rows; ++y) {
        for (int x = 2; 2 * x + window.width + 4 <= c.original.cols && x < ssd.cols; ++x) {
            const double ringCost = ssd.at<float>(y, x) / (3.0 * halfRingPixels);
            const cv::Rect candidate(2 * x, 2 * y, window.width, window.height);
            if (ringCost > kRingLimit || (candidate & avoid).area() > 0)
                continue;
            bool clash = false;
            for (const cv::Rect& other : c.keepOut)
                clash = clash || (candidate & other).area() > 0;
            if (clash)
                continue;
            sources.push_back({ringCost, candidate});
        }
    }
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
        if (scored.size() == 40)
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

} // namespace generate::detail
