#include "generate/Internal.h"
#include "pack/Findability.h"
#include "pack/PerceptibleChange.h"
#include "pack/RecolourRule.h"
#include "pack/SeamMeasure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

namespace generate {

namespace {

// TAVRELLO_GENERATE_TRACE=1 prints each window tried and why it was refused: for authors who
// wonder why a photo gives no pair at a level.
void trace(const std::string& line)
{
    static const bool on = std::getenv("TAVRELLO_GENERATE_TRACE") != nullptr;
    if (on)
        std::fprintf(stderr, "%s\n", line.c_str());
}

void trace(const cv::Rect& window, int segment, const std::string& what)
{
    trace("window " + std::to_string(window.x) + "," + std::to_string(window.y) + " " +
          std::to_string(window.width) + "x" + std::to_string(window.height) + " (" +
          std::to_string(segment) + "): " + what);
}

using detail::Analysis;
using detail::changedAsCheckSees;
using detail::findabilityOf;
using detail::greyLevels;
using detail::LevelStyle;
using detail::recolouredAsCheckSees;
using detail::seamPassesCheck;

// Edits keep this far from the picture's edge: a difference half off the picture is unfair.
constexpr int kBorder = 14;
// A JPEG block touching an edit re-encodes differently and, with chroma upsampling, can
// change pixels up to 17 pixels away; each edit owns the pixels this far around its window.
constexpr int kZonePad = 14;
// Rectangles get this much room around the changed pixels, so a click on the edge counts.
constexpr int kRectMargin = 3;
// Windows one call may try before it calls the picture too plain. Each costs a few edits;
// calls that found a pair tried at most 37 windows on the benchmark's photos, so a larger
// budget made refusals slower than successes without making more pairs.
constexpr int kWindowBudget = 40;
// Whole attempts (four edits, then the JPEG round trip) before giving up.
constexpr int kAttempts = 8;

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
    const cv::Rect bounds(0, 0, format::kPictureWidth, format::kPictureHeight);
    return cv::Rect(window.x - kZonePad, window.y - kZonePad, window.width + 2 * kZonePad,
                    window.height + 2 * kZonePad) &
           bounds;
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

bool clearOf(const cv::Rect& window, const std::vector<cv::Rect>& taken,
             const std::vector<cv::Rect>& rejected)
{
    for (const cv::Rect& t : taken)
        if (!apart(t, window))
            return false;
    // A window where no edit worked rules out the same place at about the same size only: a
    // smaller thing inside it (a boat's cabin in a hull too big to fill) may still take one.
    const cv::Point centre = (window.tl() + window.br()) / 2;
    for (const cv::Rect& r : rejected) {
        const cv::Point other = (r.tl() + r.br()) / 2;
        if (std::abs(other.x - centre.x) <= r.width / 3 &&
            std::abs(other.y - centre.y) <= r.height / 3 &&
            std::abs(r.width - window.width) <= r.width / 4)
            return false;
    }
    return true;
}

struct Candidate
{
    cv::Rect window;
    int segment; // index into Analysis::segments, or kPlain
};
constexpr int kPlain = -2; // plain ground, where a copy of something can go

// Strong, well-separated candidate windows, best first: squares around whole things (segments)
// of the level's size with room around them for the edit's blending, then squares of plain
// ground of about `side` where a copy of something can go. Patches of texture are never
// candidates: a changed patch reads as a smear or goes unseen, a changed thing as a thing.
std::vector<Candidate> candidates(const Analysis& analysis, const LevelStyle& style,
                                  const pack::LevelFindability& need, int side,
                                  const std::vector<cv::Rect>& taken,
                                  const std::vector<cv::Rect>& rejected)
{
    struct Scored
    {
        double score;
        Candidate candidate;
    };
    const cv::Rect inside(kBorder, kBorder, format::kPictureWidth - 2 * kBorder,
                          format::kPictureHeight - 2 * kBorder);
    std::vector<Scored> objects;
    for (std::size_t i = 0; i < analysis.segments.size(); ++i) {
        const detail::Segment& s = analysis.segments[i];
        const cv::Rect box(s.box.x + 12, s.box.y + 12, s.box.width - 24, s.box.height - 24);
        const int longer = std::max(box.width, box.height);
        // A thing with a soft outline takes no edit (see applyEdit); not worth a window.
        if (longer < style.objectMin || longer > style.objectMax ||
            s.sharpness < detail::kMinOutlineSharpness)
            continue;
        // Nor is a thing too small to change as plainly as the level asks, given how busy
        // its surroundings are: a move or a resize changes about twice its area, the other
        // edits about its area.
        const double clutter = detail::clutterAround(analysis, box);
        const double reachable = 2.0 * cv::countNonZero(s.mask);
        if (reachable < need.minArea ||
            reachable < need.minScore * (1.0 + pack::kClutterWeight * clutter))
            continue;
        const int wide = longer * 11 / 10 + 16;
        const cv::Point centre = (box.tl() + box.br()) / 2;
        cv::Rect window(centre.x - wide / 2, centre.y - wide / 2, wide, wide);
        // Near the edge the window slides inwards as long as it still holds the whole box.
        window.x = std::clamp(window.x, inside.x, inside.br().x - wide);
        window.y = std::clamp(window.y, inside.y, inside.br().y - wide);
        if ((window & inside) != window || (window & box) != box ||
            !clearOf(window, taken, rejected))
            continue;
        // Bigger things first, within the level's sizes: at Easy a cup, not a cup's handle.
        objects.push_back({std::min(1.0, s.contrast / 40.0) +
                               0.5 * detail::windowScore(analysis, window) +
                               0.5 * double(longer) / double(style.objectMax),
                           {window, int(i)}});
    }
    // Plain ground (sky, water, a wall) big enough to take a copy of some thing, if the picture
    // holds a thing that itself sits on plain ground and could be copied.
    std::vector<Scored> plain;
    const bool copyable = std::any_of(analysis.segments.begin(), analysis.segments.end(),
                                      [&](const detail::Segment& s) {
                                          return s.ringSpread <= 12.0 && s.contrast >= 20.0 &&
                                                 s.box.width - 24 >= style.objectMin / 2;
                                      });
    const int plainSide = std::max(side, style.objectMin + 24);
    for (int y = kBorder; copyable && y + plainSide + kBorder <= format::kPictureHeight; y += 8) {
        for (int x = kBorder; x + plainSide + kBorder <= format::kPictureWidth; x += 8) {
            const cv::Rect window(x, y, plainSide, plainSide);
            const double mean = detail::windowMean(analysis.graySum, window);
            const double variance = detail::windowMean(analysis.graySqSum, window) - mean * mean;
            if (variance < 8.0 * 8.0 && detail::windowMean(analysis.edgeSum, window) < 0.01 &&
                clearOf(window, taken, rejected))
                plain.push_back(
                    {0.5 - std::sqrt(std::max(0.0, variance)) / 20.0, {window, kPlain}});
        }
    }
    const auto better = [](const Scored& a, const Scored& b) {
        const cv::Rect& ra = a.candidate.window;
        const cv::Rect& rb = b.candidate.window;
        return a.score != b.score ? a.score > b.score : (ra.y != rb.y ? ra.y < rb.y : ra.x < rb.x);
    };
    std::sort(objects.begin(), objects.end(), better);
    std::sort(plain.begin(), plain.end(), better);
    // Neighbouring windows score alike; keep one per spot. Objects first: at Medium and Hard
    // too a changed thing is fairer than changed texture.
    std::vector<Candidate> picked;
    for (const std::vector<Scored>* list : {&objects, &plain}) {
        for (const Scored& s : *list) {
            const cv::Rect& r = s.candidate.window;
            const cv::Point c = (r.tl() + r.br()) / 2;
            bool near = false;
            for (const Candidate& p : picked) {
                const cv::Point pc = (p.window.tl() + p.window.br()) / 2;
                near = near || (std::abs(pc.x - c.x) < p.window.width / 3 &&
                                std::abs(pc.y - c.y) < p.window.height / 3);
            }
            if (!near)
                picked.push_back(s.candidate);
            if (picked.size() == 12)
                return picked;
        }
    }
    return picked;
}

// Edge pixels of `after` with no edge of `before` within two pixels: the cuts, seams and
// broken lines an edit may have drawn into the picture.
// Edges along the outline of a thing the edit set down (`pasted`, if not empty) are the thing's
// own and do not count.
int newEdges(const cv::Mat& before, const cv::Mat& after, const cv::Mat& pasted)
{
    const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5));
    cv::Mat old;
    cv::dilate(detail::edgeMap(before), old, square);
    if (!pasted.empty()) {
        cv::Mat outline, inner;
        cv::dilate(pasted, outline, square);
        cv::erode(pasted, inner, square);
        old |= outline & ~inner;
    }
    return cv::countNonZero(detail::edgeMap(after) & ~old);
}

// The seam measure `check` applies (pack::textureRatio) on the edit's zone: the texture of the
// changed pixels against that of the unchanged band around them.
double seamTexture(const cv::Mat& before, const cv::Mat& after)
{
    const cv::Mat changed = changedPixels(before, after, kJpegTolerance);
    if (cv::countNonZero(changed) == 0)
        return 1.0;
    const cv::Rect box = cv::boundingRect(changed);
    const std::vector<uchar> flags = changed.reshape(1, 1);
    return pack::textureRatio(greyLevels(after), flags, after.cols, after.rows,
                              {box.x, box.y, box.width, box.height});
}

// Every difference, at every level, must show to a careful eye: check calls a change with fewer
// just-visible pixels than pack::kJustVisibleMinimumPixels one that hardly shows; an edit needs
// twice that, room for the JPEG round trip.
constexpr int kJustVisibleWhenEdited = 2 * pack::kJustVisibleMinimumPixels;

// Whether a difference meets its level's demands, by `margin` (a share) to spare: the stored
// pictures are decoded by Qt's JPEG reader when check measures them, which lands a few pixels
// either way of OpenCV's.
bool suits(const pack::Findability& f, int level, double margin = 0.0)
{
    const pack::LevelFindability need = pack::levelFindability(level);
    return f.changedArea >= need.minArea * (1 + margin) &&
           f.score >= need.minScore * (1 + margin) && f.score <= need.maxScore * (1 - margin);
}
constexpr double kDecoderMargin = 0.06;

// Whether a difference keeps its pair at the level: a Medium pair needs one difference that
// would not suit Easy, a Hard pair one that would not suit Medium (pack::pairPlaysAs); by the
// decoder margin on the safe side, as suits().
bool keepsLevel(const pack::Findability& f, int level)
{
    return level == 1 || !suits(f, level - 1, -kDecoderMargin);
}

// The rectangle the game will get around an edit's changed pixels in `zone`, before JPEG.
cv::Rect changedRect(const cv::Mat& before, const cv::Mat& after, const cv::Rect& zone)
{
    const cv::Mat changed = changedPixels(before(zone), after(zone), kJpegTolerance);
    if (cv::countNonZero(changed) == 0)
        return {};
    const cv::Rect r = cv::boundingRect(changed) + zone.tl();
    return cv::Rect(r.x - kRectMargin, r.y - kRectMargin, r.width + 2 * kRectMargin,
                    r.height + 2 * kRectMargin) &
           cv::Rect(0, 0, before.cols, before.rows);
}

struct Attempt
{
    cv::Mat modified;
    std::vector<cv::Rect> windows;
    std::vector<EditKind> kinds;
    bool keepsLevel = false; // one of its differences keeps the pair at the level
};

// What one call has learnt so far: windows where no edit works (they stay refused for the next
// attempt) and the holes already filled.
struct Memory
{
    std::vector<cv::Rect> rejected;
    detail::FillCache fills;
    // Edits that were sound but too hard to find for the level, though plain enough for the
    // next one: a refusal then names that level.
    int fitNextLevel = 0;
};

bool placeEdits(const cv::Mat& picture, const std::vector<float>& grey, const Analysis& analysis,
                int level, std::mt19937& rng, int& budget, Memory& memory, Attempt& attempt,
                const std::function<void(int placed)>& tried)
{
    std::vector<cv::Rect>& rejected = memory.rejected;
    const LevelStyle& style = detail::levelStyle(level);
    attempt.modified = picture.clone();
    std::vector<EditKind> order{EditKind::Remove, EditKind::Recolour, EditKind::Clone,
                                EditKind::Resize, EditKind::Move,     EditKind::Flip};
    std::shuffle(order.begin(), order.end(), rng);

    while (int(attempt.windows.size()) < format::kDifferenceCount) {
        tried(int(attempt.windows.size()));
        if (budget-- <= 0) {
            trace("attempt ends: every window of the budget tried");
            return false;
        }
        const int side = std::uniform_int_distribution<int>(style.windowMin, style.windowMax)(rng);
        const std::vector<Candidate> options = candidates(
            analysis, style, pack::levelFindability(level), side, attempt.windows, rejected);
        if (options.empty()) {
            // Every spot has been tried or is taken. The next attempt goes over the places
            // that took an edit in another order, which frees the places they crowded out.
            trace("attempt ends: no untried place left");
            return false;
        }
        // Better windows more often, but not always the same ones for every seed.
        std::vector<double> weights;
        for (std::size_t i = 0; i < options.size(); ++i)
            weights.push_back(1.0 / double(i + 1));
        const Candidate& pick =
            options[std::discrete_distribution<std::size_t>(weights.begin(), weights.end())(rng)];
        const cv::Rect window = pick.window;
        bool found = false;
        cv::Mat object;
        if (pick.segment >= 0) {
            object = detail::segmentInWindow(analysis.segments[std::size_t(pick.segment)], window);
            found = detail::rimTouch(object) <= detail::kMaxRimTouch;
        } else {
            object = cv::Mat::zeros(window.size(), CV_8U);
        }

        // Differences are whole things changing; a changed patch of texture reads as a smear
        // or goes unseen.
        if (!found && pick.segment != kPlain) {
            trace(window, pick.segment, "no whole object");
            rejected.push_back(window);
            continue;
        }
        // Unused kinds first, so one picture shows several kinds of change.
        std::vector<EditKind> tryOrder;
        for (EditKind k : order)
            if (std::find(attempt.kinds.begin(), attempt.kinds.end(), k) == attempt.kinds.end())
                tryOrder.push_back(k);
        // A kind may come back once, not more: four enlargements make a dull picture. Removal
        // may come back twice: it is the edit that most often looks untouched, and a thing gone
        // is a fair difference at every level.
        for (EditKind k : order)
            if (std::find(tryOrder.begin(), tryOrder.end(), k) == tryOrder.end() &&
                std::count(attempt.kinds.begin(), attempt.kinds.end(), k) <
                    (k == EditKind::Remove ? 3 : 2))
                tryOrder.push_back(k);

        bool placed = false;
        for (EditKind kind : tryOrder) {
            cv::Mat work = attempt.modified.clone();
            std::string refusal = "does not suit it";
            cv::Mat pasted;
            const detail::EditContext context{picture,  analysis,        style,
                                              rng,      attempt.windows, pick.segment == kPlain,
                                              &refusal, &pasted,         &memory.fills};
            if (!detail::applyEdit(kind, context, window, object, work)) {
                trace(window, pick.segment,
                      std::string(editKindName(kind)) + " refused: " + refusal);
                continue;
            }
            // Judged on the rectangle the game will get, as check judges the stored pair.
            const cv::Rect zone = zoneOf(window);
            const cv::Rect rect = changedRect(picture, work, zone);
            const pack::Findability measured =
                rect.empty() ? pack::Findability{} : findabilityOf(picture, work, rect, grey);
            cv::Mat pastedInZone;
            if (!pasted.empty()) {
                pastedInZone = cv::Mat::zeros(zone.size(), CV_8U);
                pasted.copyTo(pastedInZone(window - zone.tl()));
            }
            const int fresh = newEdges(picture(zone), work(zone), pastedInZone);
            const bool quiet = !suits(measured, level) || rect.empty() ||
                               measured.visibleArea < kJustVisibleWhenEdited;
            // Three differences that all suit an easier level leave the last place to another.
            const bool easier = !quiet && !attempt.keepsLevel && !keepsLevel(measured, level) &&
                                int(attempt.windows.size()) == format::kDifferenceCount - 1;
            const bool cuts = kind != EditKind::Recolour && fresh > window.width / 4;
            const double texture =
                quiet || easier || cuts ? 1.0 : seamTexture(picture(zone), work(zone));
            const bool smooth = texture < pack::kMinTextureRatio;
            // A hole's fill busier than the ground around it is a patch pasted in; a piece of a
            // thing taken away, with the ground beside it in the gap, is a cut.
            const bool busy = kind == EditKind::Remove && texture > pack::kMaxFillTextureRatio;
            const bool piece =
                !(quiet || easier || cuts || smooth || busy) &&
                detail::cutsAsCheckSees(picture, work, changedAsCheckSees(picture, work), rect);
            trace(window, pick.segment,
                  std::string(editKindName(kind)) +
                      (quiet    ? " refused: findability does not suit the level"
                       : easier ? " refused: the pair would play as an easier level"
                       : cuts   ? " refused: draws new edges"
                       : smooth ? " refused: smoother than around"
                       : busy   ? " refused: fill busier than around"
                       : piece  ? " refused: cuts a piece out of something"
                                : " placed") +
                      " (" + std::to_string(measured.changedArea) +
                      " pixels plainly changed, clutter " +
                      std::to_string(int(measured.clutter * 100)) + " %, findability " +
                      std::to_string(int(measured.score)) + ", new edges " + std::to_string(fresh) +
                      ")");
            // Cuts, seams and broken lines: a few new edge pixels come with any change, more
            // than a quarter of the window's side give the edit away. A recolour follows the
            // thing's own outline and only shifts the brightness of its texture; it cuts
            // nothing.
            if (quiet && !cuts && level < format::kLevelCount && !rect.empty() &&
                suits(measured, level + 1))
                ++memory.fitNextLevel;
            if (quiet || easier || cuts || smooth || busy || piece)
                continue;
            attempt.keepsLevel = attempt.keepsLevel || keepsLevel(measured, level);
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
    case EditKind::Remove:
        return "remove";
    case EditKind::Recolour:
        return "recolour";
    case EditKind::Clone:
        return "clone";
    case EditKind::Resize:
        return "resize";
    case EditKind::Move:
        return "move";
    case EditKind::Flip:
        return "flip";
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
        r = cv::Rect(r.x - kRectMargin, r.y - kRectMargin, r.width + 2 * kRectMargin,
                     r.height + 2 * kRectMargin);
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

format::DifferenceRect<int> toTwips(const cv::Rect& pixels)
{
    return format::twipsOfPixels(pixels.x, pixels.y, pixels.width, pixels.height);
}

Pair generatePair(const cv::Mat& picture, int level, std::uint32_t seed,
                  const GenerateProgress& progress)
{
    if (picture.type() != CV_8UC3 || picture.cols != format::kPictureWidth ||
        picture.rows != format::kPictureHeight)
        throw GenerateError("the picture is not a fitted 450 x 459 colour picture");
    if (!format::isPlayedLevel(level))
        throw GenerateError("level must be 1, 2 or 3");

    const Reproducible reproducible(seed);
    if (progress && !progress(0, 0))
        throw GenerateCancelled();
    const Analysis analysis = detail::analyse(picture, detail::segmentationScale(seed));
    const std::vector<float> grey = greyLevels(picture);
    std::mt19937 rng(seed ^ (0x9e3779b9u * std::uint32_t(level)));

    int budget = kWindowBudget;
    Memory memory;
    for (int tries = 0; tries < kAttempts && budget > 0; ++tries) {
        const auto tried = [&](int placed) {
            if (progress && !progress(placed, tries + 1))
                throw GenerateCancelled();
        };
        Attempt attempt;
        if (!placeEdits(picture, grey, analysis, level, rng, budget, memory, attempt, tried))
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
        } catch (const GenerateError& e) {
            trace(std::string("attempt ends: ") + e.what());
            continue;
        }
        bool fair = true;
        bool keepsItsLevel = false;
        // Read once for all four differences, as check reads the stored pair.
        const cv::Mat changed = changedAsCheckSees(original, modified);
        const std::vector<float> modifiedGrey = greyLevels(modified);
        for (std::size_t i = 0; i < rects.size(); ++i) {
            const pack::Findability f = findabilityOf(original, modified, rects[i], grey);
            fair = fair &&
                   visiblePixels(original(rects[i]), modified(rects[i])) >= kMinVisiblePixels &&
                   suits(f, level, kDecoderMargin) &&
                   f.visibleArea >= pack::kJustVisibleMinimumPixels &&
                   seamPassesCheck(modifiedGrey, changed, rects[i]) &&
                   !recolouredAsCheckSees(original, modified, changed, rects[i]) &&
                   !detail::cutsAsCheckSees(original, modified, changed, rects[i]);
            keepsItsLevel = keepsItsLevel || keepsLevel(f, level);
            for (std::size_t j = i + 1; j < rects.size(); ++j)
                fair = fair && (rects[i] & rects[j]).area() == 0;
        }
        if (!fair || !keepsItsLevel) {
            trace("attempt ends: in the JPEG pictures a difference faded, met another, reads "
                  "as a smear or as a thing painted in a colour it can't have, or the pair "
                  "plays as an easier level");
            continue;
        }
        for (std::size_t i = 0; i < rects.size(); ++i)
            pair.differences.push_back({rects[i], attempt.kinds[i]});
        return pair;
    }
    // Where the photo's things changed soundly but too quietly for the level, the author is
    // better told which level the photo suits than that it is plain.
    if (level < format::kLevelCount && memory.fitNextLevel >= format::kDifferenceCount)
        throw GenerateError(std::string("too busy for ") +
                            format::kLevelNames[std::size_t(level - 1)] + ": try " +
                            format::kLevelNames[std::size_t(level)]);
    throw GenerateError("too flat or plain to hold four differences");
}

} // namespace generate
