#include "generate/Internal.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>

namespace generate {

namespace {

using detail::Analysis;
using detail::LevelStyle;

// Edits keep this far from the picture's edge: a difference half off the picture is unfair.
constexpr int kBorder = 14;
// A JPEG block touching an edit re-encodes differently and, with chroma upsampling, can
// change pixels up to 17 pixels away; each edit owns the pixels this far around its window.
constexpr int kZonePad = 20;
// Rectangles get this much room around the changed pixels, so a click on the edge counts.
constexpr int kRectMargin = 3;

// OpenCV's parallel loops (and its global RNG, which GrabCut uses) would let the pair depend
// on the thread schedule; one thread and a fixed RNG state for the whole call.
class Reproducible
{
public:
    explicit Reproducible(std::uint32_t seed) : threads(cv::getNumThreads())
    {
        cv::setNumThreads(1);
        cv::setRNGSeed(int(seed & 0x7fffffff));
    }
    ~Reproducible() { cv::setNumThreads(threads); }
    Reproducible(const Reproducible&) = delete;
    Reproducible& operator=(const Reproducible&) = delete;

private:
    int threads;
};

cv::Rect zoneOf(const cv::Rect& window)
{
    const cv::Rect bounds(0, 0, kPictureWidth, kPictureHeight);
    return cv::Rect(window.x - kZonePad, window.y - kZonePad, window.width + 2 * kZonePad,
                    window.height + 2 * kZonePad) & bounds;
}

// Zones must not meet, and neither may the margins the rectangles add on top.
bool apart(const cv::Rect& a, const cv::Rect& b)
{
    const int gap = 2 * (kZonePad + kRectMargin) + 2;
    const cv::Rect grown(a.x - gap, a.y - gap, a.width + 2 * gap, a.height + 2 * gap);
    return (grown & b).area() == 0;
}

int visiblePixels(const cv::Mat& a, const cv::Mat& b)
{
    return cv::countNonZero(changedPixels(a, b, kVisibleDelta - 1));
}

std::vector<uchar> encodeJpeg(const cv::Mat& picture)
{
    std::vector<uchar> bytes;
    cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_QUALITY, kJpegQuality});
    return bytes;
}

// Strong, well-separated candidate windows of one size, best first.
std::vector<cv::Rect> candidates(const Analysis& analysis, int side, const std::vector<cv::Rect>& taken,
                                 const std::vector<cv::Rect>& rejected)
{
    struct Scored { double score; cv::Rect rect; };
    std::vector<Scored> all;
    for (int y = kBorder; y + side + kBorder <= kPictureHeight; y += 4) {
        for (int x = kBorder; x + side + kBorder <= kPictureWidth; x += 4) {
            const cv::Rect window(x, y, side, side);
            if (!detail::isTextured(analysis, window))
                continue;
            bool ok = true;
            for (const cv::Rect& t : taken)
                ok = ok && apart(t, window);
            for (const cv::Rect& r : rejected)
                ok = ok && (std::abs(r.x - x) > side / 2 || std::abs(r.y - y) > side / 2);
            if (ok)
                all.push_back({detail::windowScore(analysis, window), window});
        }
    }
    std::sort(all.begin(), all.end(), [](const Scored& a, const Scored& b) {
        return a.score != b.score ? a.score > b.score : (a.rect.y != b.rect.y ? a.rect.y < b.rect.y : a.rect.x < b.rect.x);
    });
    // Neighbouring positions score alike; keep one window per spot.
    std::vector<cv::Rect> picked;
    for (const Scored& s : all) {
        bool near = false;
        for (const cv::Rect& p : picked)
            near = near || (std::abs(p.x - s.rect.x) < side / 2 && std::abs(p.y - s.rect.y) < side / 2);
        if (!near)
            picked.push_back(s.rect);
        if (picked.size() == 12)
            break;
    }
    return picked;
}

struct Attempt
{
    cv::Mat modified;
    std::vector<cv::Rect> windows;
    std::vector<EditKind> kinds;
};

bool placeEdits(const cv::Mat& picture, const Analysis& analysis, const LevelStyle& style, std::mt19937& rng,
                Attempt& attempt)
{
    attempt.modified = picture.clone();
    std::array<EditKind, 5> order{EditKind::Remove, EditKind::Recolour, EditKind::Mirror, EditKind::Clone,
                                  EditKind::Resize};
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<cv::Rect> rejected;

    while (int(attempt.windows.size()) < kDifferenceCount) {
        const int side = std::uniform_int_distribution<int>(style.windowMin, style.windowMax)(rng);
        const std::vector<cv::Rect> options = candidates(analysis, side, attempt.windows, rejected);
        if (options.empty() || rejected.size() > 60)
            return false;
        // Better windows more often, but not always the same ones for every seed.
        std::vector<double> weights;
        for (std::size_t i = 0; i < options.size(); ++i)
            weights.push_back(1.0 / double(i + 1));
        const cv::Rect window = options[std::discrete_distribution<std::size_t>(weights.begin(), weights.end())(rng)];
        bool found = false;
        const cv::Mat object = detail::objectMask(picture, window, &found);

        // Unused kinds first, so one picture shows several kinds of change.
        std::vector<EditKind> tryOrder;
        for (EditKind k : order)
            if (std::find(attempt.kinds.begin(), attempt.kinds.end(), k) == attempt.kinds.end())
                tryOrder.push_back(k);
        // A kind may come back once, not more: four enlargements make a dull picture.
        for (EditKind k : order)
            if (std::find(tryOrder.begin(), tryOrder.end(), k) == tryOrder.end()
                && std::count(attempt.kinds.begin(), attempt.kinds.end(), k) < 2)
                tryOrder.push_back(k);

        bool placed = false;
        for (EditKind kind : tryOrder) {
            cv::Mat work = attempt.modified.clone();
            const detail::EditContext context{picture, analysis, style, rng, attempt.windows};
            if (!detail::applyEdit(kind, context, window, object, found, work))
                continue;
            if (visiblePixels(picture(window), work(window)) < style.minVisiblePixels)
                continue;
            attempt.modified = work;
            attempt.windows.push_back(window);
            attempt.kinds.push_back(kind);
            placed = true;
            break;
        }
        if (!placed)
            rejected.push_back(window);
    }
    return true;
}

} // namespace

const char* editKindName(EditKind kind)
{
    switch (kind) {
    case EditKind::Remove: return "remove";
    case EditKind::Recolour: return "recolour";
    case EditKind::Mirror: return "mirror";
    case EditKind::Clone: return "clone";
    case EditKind::Resize: return "resize";
    }
    return "?";
}

cv::Mat changedPixels(const cv::Mat& a, const cv::Mat& b, int threshold)
{
    CV_Assert(a.size() == b.size() && a.type() == CV_8UC3 && b.type() == CV_8UC3);
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    std::vector<cv::Mat> ch;
    cv::split(diff, ch);
    cv::Mat largest = cv::max(cv::max(ch[0], ch[1]), ch[2]);
    return largest > threshold;
}

std::vector<cv::Rect> measureDifferences(const cv::Mat& original, const cv::Mat& modified,
                                         const std::vector<cv::Rect>& zones)
{
    const cv::Rect bounds(0, 0, original.cols, original.rows);
    cv::Mat changed = changedPixels(original, modified, kJpegTolerance);
    std::vector<cv::Rect> rects;
    for (const cv::Rect& zone : zones) {
        cv::Mat inZone = changed(zone);
        if (cv::countNonZero(inZone) == 0)
            throw GenerateError("a difference vanished in JPEG encoding");
        cv::Rect r = cv::boundingRect(inZone) + zone.tl();
        r = cv::Rect(r.x - kRectMargin, r.y - kRectMargin, r.width + 2 * kRectMargin, r.height + 2 * kRectMargin);
        if (r.width < kMinRectSide) {
            r.x -= (kMinRectSide - r.width) / 2;
            r.width = kMinRectSide;
        }
        if (r.height < kMinRectSide) {
            r.y -= (kMinRectSide - r.height) / 2;
            r.height = kMinRectSide;
        }
        r.x = std::clamp(r.x, 0, bounds.width - r.width);
        r.y = std::clamp(r.y, 0, bounds.height - r.height);
        rects.push_back(r & bounds);
        inZone.setTo(0);
    }
    if (cv::countNonZero(changed) > 0)
        throw GenerateError("pixels changed outside the differences");
    return rects;
}

std::array<int, 4> toTwips(const cv::Rect& pixels)
{
    // Inclusive corners: the last twip of the last pixel, not the first twip after it.
    return {pixels.x * kTwipsPerPixel, pixels.y * kTwipsPerPixel, (pixels.x + pixels.width) * kTwipsPerPixel - 1,
            (pixels.y + pixels.height) * kTwipsPerPixel - 1};
}

Pair generatePair(const cv::Mat& picture, int level, std::uint32_t seed)
{
    if (picture.type() != CV_8UC3 || picture.cols != kPictureWidth || picture.rows != kPictureHeight)
        throw GenerateError("the picture is not a fitted 450 x 459 colour picture");
    if (level < 1 || level > 3)
        throw GenerateError("level must be 1, 2 or 3");

    const Reproducible reproducible(seed);
    const Analysis analysis = detail::analyse(picture);
    const LevelStyle& style = detail::levelStyle(level);
    std::mt19937 rng(seed ^ (0x9e3779b9u * std::uint32_t(level)));

    for (int tries = 0; tries < 4; ++tries) {
        Attempt attempt;
        if (!placeEdits(picture, analysis, style, rng, attempt))
            continue;

        Pair pair;
        pair.level = level;
        pair.originalJpeg = encodeJpeg(picture);
        pair.modifiedJpeg = encodeJpeg(attempt.modified);
        const cv::Mat original = cv::imdecode(pair.originalJpeg, cv::IMREAD_COLOR);
        const cv::Mat modified = cv::imdecode(pair.modifiedJpeg, cv::IMREAD_COLOR);

        std::vector<cv::Rect> zones;
        for (const cv::Rect& w : attempt.windows)
            zones.push_back(zoneOf(w));
        std::vector<cv::Rect> rects;
        try {
            rects = measureDifferences(original, modified, zones);
        } catch (const GenerateError&) {
            continue;
        }
        bool fair = true;
        for (std::size_t i = 0; i < rects.size(); ++i) {
            fair = fair && visiblePixels(original(rects[i]), modified(rects[i])) >= kMinVisiblePixels;
            for (std::size_t j = i + 1; j < rects.size(); ++j)
                fair = fair && (rects[i] & rects[j]).area() == 0;
        }
        if (!fair)
            continue;
        for (std::size_t i = 0; i < rects.size(); ++i)
            pair.differences.push_back({rects[i], attempt.kinds[i]});
        return pair;
    }
    throw GenerateError("too flat or plain to hold four differences");
}

} // namespace generate
