#include "generate/Internal.h"
#include "pack/Findability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <opencv2/saliency.hpp>
#include <string>
#include <vector>

namespace generate {

namespace {
// Enlarging more than this makes the picture visibly soft, and soft pictures give edits away.
// A photo 300 pixels high still fits: it takes 1.53.
constexpr double kMaxUpscale = 1.6;
} // namespace

cv::Mat fitPhoto(const cv::Mat& photo)
{
    if (photo.empty() || photo.type() != CV_8UC3)
        throw GenerateError("not an 8-bit colour picture");

    const double aspect = double(format::kPictureWidth) / format::kPictureHeight;
    int cropW = photo.cols;
    int cropH = photo.rows;
    if (double(cropW) / cropH > aspect)
        cropW = int(std::lround(cropH * aspect));
    else
        cropH = int(std::lround(cropW / aspect));

    const int minW = int(std::ceil(format::kPictureWidth / kMaxUpscale));
    const int minH = int(std::ceil(format::kPictureHeight / kMaxUpscale));
    if (cropW < minW || cropH < minH)
        throw GenerateError("too small (" + std::to_string(photo.cols) + " x " +
                            std::to_string(photo.rows) + " pixels; needs at least " +
                            std::to_string(minW) + " x " + std::to_string(minH) +
                            " at the picture's aspect ratio)");

    const cv::Rect crop((photo.cols - cropW) / 2, (photo.rows - cropH) / 2, cropW, cropH);
    cv::Mat fitted;
    const bool shrinking = cropW >= format::kPictureWidth;
    cv::resize(photo(crop), fitted, cv::Size(format::kPictureWidth, format::kPictureHeight), 0, 0,
               shrinking ? cv::INTER_AREA : cv::INTER_CUBIC);
    return fitted;
}

} // namespace generate

namespace generate::detail {

const LevelStyle& levelStyle(int level)
{
    // Easy: big squares and loud changes; Hard: under half the side and changes that need a
    // second look, still above the level's visibility. Easy takes things as small as Medium's:
    // a small thing changed loudly (a dark window gone from a pale wall) is plain to see, and
    // the visibility measure, not the thing's size, keeps Easy's changes easy.
    static const LevelStyle styles[3] = {
        {64, 90, 24, 170, 70.f, 180.f, 1.30f, 1.40f, 0.60f, 0.70f},
        {50, 62, 24, 70, 45.f, 110.f, 1.22f, 1.30f, 0.72f, 0.80f},
        {34, 42, 12, 34, 30.f, 60.f, 1.15f, 1.22f, 0.80f, 0.86f},
    };
    return styles[std::clamp(level, 1, 3) - 1];
}

cv::Mat edgeMap(const cv::Mat& picture)
{
    cv::Mat gray, edges;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(gray, gray, cv::Size(3, 3), 0);
    cv::Canny(gray, edges, 50, 130);
    return edges;
}

double clutterAround(const Analysis& analysis, const cv::Rect& box)
{
    const auto sum = [&](const cv::Rect& r) {
        const cv::Mat& i = analysis.busySum;
        return i.at<double>(r.y + r.height, r.x + r.width) - i.at<double>(r.y, r.x + r.width) -
               i.at<double>(r.y + r.height, r.x) + i.at<double>(r.y, r.x);
    };
    const int w = analysis.busySum.cols - 1, h = analysis.busySum.rows - 1;
    const pack::SeamBox n = pack::neighbourhood({box.x, box.y, box.width, box.height}, w, h);
    const cv::Rect around(n.x, n.y, n.width, n.height);
    const cv::Rect inner = box & around;
    const double count = double(around.area() - inner.area());
    return count <= 0 ? 0.0 : (sum(around) - sum(inner)) / count;
}

double windowMean(const cv::Mat& integral, const cv::Rect& r)
{
    const double sum = integral.at<double>(r.y + r.height, r.x + r.width) -
                       integral.at<double>(r.y, r.x + r.width) -
                       integral.at<double>(r.y + r.height, r.x) + integral.at<double>(r.y, r.x);
    return sum / double(r.area());
}

namespace {

// Keeps the proposals that look like things: compact regions that do not touch the picture's
// edge and differ clearly in colour from a ring around them.
constexpr double kMinSolidity = 0.75;
constexpr double kMaxMergedRingSpread = 60.0;

class SegmentCollector
{
  public:
    SegmentCollector(const cv::Mat& fitted, const cv::Mat& fittedLab)
        : picture(fitted), lab(fittedLab)
    {}

    // maxRingSpread: how uneven the ground around the region may be (largest channel standard
    // deviation of its ring).
    void consider(const RegionProposal& proposal, double maxRingSpread)
    {
        const cv::Rect box = proposal.box;
        const int longer = std::max(box.width, box.height);
        if (proposal.area < 120 || longer > 200 || longer > 4 * std::min(box.width, box.height) ||
            proposal.area < 0.3 * box.area() || box.x < 12 || box.y < 12 ||
            box.br().x > bounds.width - 12 || box.br().y > bounds.height - 12)
            return;
        // The same region often comes back from another scale or segmentation.
        if (std::any_of(found.begin(), found.end(), [&](const Segment& s) {
                const cv::Rect other(s.box.x + 12, s.box.y + 12, s.box.width - 24,
                                     s.box.height - 24);
                return (other & box).area() > 0.9 * std::max(other.area(), box.area());
            }))
            return;
        const cv::Rect around =
            cv::Rect(box.x - 12, box.y - 12, box.width + 24, box.height + 24) & bounds;
        cv::Mat mask = proposal.mask(around);
        cv::morphologyEx(mask, mask, cv::MORPH_CLOSE, smoothKernel);
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(mask.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        cv::drawContours(mask, contours, -1, cv::Scalar(255), cv::FILLED);
        // A thing is roughly convex; a region hemmed in by things (the dark gap between cups,
        // the sky between branches) is not, and edited it cuts into its neighbours.
        std::vector<cv::Point> points;
        for (const auto& contour : contours)
            points.insert(points.end(), contour.begin(), contour.end());
        if (points.size() < 3)
            return;
        std::vector<cv::Point> hull;
        cv::convexHull(points, hull);
        if (cv::countNonZero(mask) < kMinSolidity * cv::contourArea(hull))
            return;
        cv::Mat ring, near;
        cv::dilate(mask, ring, ringKernel);
        cv::dilate(mask, near, nearKernel);
        ring &= ~near;
        if (cv::countNonZero(ring) < 20)
            return;
        const double contrast = cv::norm(cv::mean(lab(around), mask) - cv::mean(lab(around), ring));
        if (contrast < 11.0)
            return;
        cv::Scalar ringMean, ringStd;
        cv::meanStdDev(picture(around), ringMean, ringStd, ring);
        const double ringSpread = std::max({ringStd[0], ringStd[1], ringStd[2]});
        if (ringSpread > maxRingSpread)
            return;
        found.push_back({around, mask, contrast, ringMean, ringSpread,
                         outlineSharpness(picture(around), mask)});
    }

    std::vector<Segment> take() { return std::move(found); }

  private:
    const cv::Mat& picture;
    const cv::Mat& lab;
    const cv::Rect bounds{0, 0, picture.cols, picture.rows};
    // The ring compared with a region lies a few pixels out, past a rim or outline that often
    // hugs a thing (a cup's lip, a slice's pith) and looks like neither.
    const cv::Mat nearKernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(9, 9));
    const cv::Mat ringKernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(25, 25));
    const cv::Mat smoothKernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5));
    std::vector<Segment> found;
};

// Regions of the graph-based segmentation (Felzenszwalb) at a few scales, so a lemon slice, a
// cup's inside and a boat's hull each turn up whole at one of them; then the steps of merging
// superpixels, which find things on busy ground that every scale splits or leaks.
std::vector<Segment> findSegments(const cv::Mat& picture, const cv::Mat& lab,
                                  const SegmentationScale& scale)
{
    SegmentCollector collector(picture, lab);
    std::vector<float> scales;
    for (const float k : {60.f, 150.f, 400.f, 1000.f, 2500.f})
        scales.push_back(k * scale.graphScale);
    for (const cv::Mat& labels : graphSegmentations(picture, scale.graphSigma, scales, 120)) {
        double maxLabel = 0;
        cv::minMaxLoc(labels, nullptr, &maxLabel);
        const int count = int(maxLabel) + 1;
        std::vector<cv::Rect> boxes(static_cast<std::size_t>(count));
        std::vector<int> areas(static_cast<std::size_t>(count), 0);
        for (int y = 0; y < labels.rows; ++y) {
            const int* row = labels.ptr<int>(y);
            for (int x = 0; x < labels.cols; ++x) {
                const auto l = std::size_t(row[x]);
                boxes[l] = areas[l] == 0 ? cv::Rect(x, y, 1, 1) : (boxes[l] | cv::Rect(x, y, 1, 1));
                ++areas[l];
            }
        }
        for (int l = 0; l < count; ++l)
            collector.consider({boxes[std::size_t(l)], areas[std::size_t(l)],
                                [&](const cv::Rect& area) { return labels(area) == l; }},
                               std::numeric_limits<double>::max());
    }
    // Merging also proposes parts of things (a cup's rim) and the gaps between things; edited,
    // those cut into their neighbours. A thing stands on one ground, so the ring around a
    // merged region must be even.
    for (const RegionProposal& proposal : mergedSuperpixels(picture, scale.superpixelSize))
        collector.consider(proposal, kMaxMergedRingSpread);
    return collector.take();
}

} // namespace

SegmentationScale segmentationScale(std::uint32_t seed)
{
    // The first is the cut the others vary: superpixels of 12 follow the outline of a Hard
    // level's smallest thing, yet a leaf or a pebble is not split into grain. A finer cut finds
    // small things on busy ground; a coarser one, with less smoothing, keeps large things whole.
    static const SegmentationScale scales[3] = {
        {1.0f, 0.8f, 12}, {0.6f, 0.8f, 16}, {1.6f, 0.5f, 20}};
    return scales[(seed + 2) % 3];
}

Analysis analyse(const cv::Mat& picture, const SegmentationScale& scale)
{
    Analysis a;
    cv::Mat gray;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);

    const cv::Mat edges = edgeMap(picture);
    cv::Mat edge01;
    edges.convertTo(edge01, CV_32F, 1.0 / 255);
    cv::Mat edgeDensity;
    cv::blur(edge01, edgeDensity, cv::Size(15, 15));

    // Colour contrast: how far each pixel is from its blurred surroundings in Lab.
    cv::Mat bgrF, lab, labBlur;
    picture.convertTo(bgrF, CV_32FC3, 1.0 / 255);
    cv::cvtColor(bgrF, lab, cv::COLOR_BGR2Lab);
    cv::GaussianBlur(lab, labBlur, cv::Size(0, 0), 12);
    cv::Mat diff = lab - labBlur;
    std::vector<cv::Mat> ch;
    cv::split(diff, ch);
    cv::Mat contrast;
    cv::magnitude(ch[1], ch[2], contrast);
    cv::Mat lightness = cv::abs(ch[0]);
    contrast = contrast + 0.5 * lightness;
    cv::GaussianBlur(contrast, contrast, cv::Size(0, 0), 3);

    // Fine-grained saliency picks out objects against their backgrounds; it is scaled to its
    // own maximum, so it only counts where the absolute measures agree there is something.
    cv::Mat saliency;
    auto fineGrained = cv::saliency::StaticSaliencyFineGrained::create();
    fineGrained->computeSaliency(picture, saliency);
    saliency.convertTo(saliency, CV_32F);
    double maxSal = 0;
    cv::minMaxLoc(saliency, nullptr, &maxSal);
    if (maxSal > 0)
        saliency /= maxSal;
    cv::GaussianBlur(saliency, saliency, cv::Size(0, 0), 3);

    cv::Mat edgeTerm = cv::min(edgeDensity / 0.25, 1.0);
    cv::Mat contrastTerm = cv::min(contrast / 30.0, 1.0);
    a.interest = 0.45 * edgeTerm + 0.35 * contrastTerm + 0.20 * saliency.mul(edgeTerm);

    cv::integral(a.interest, a.interestSum, CV_64F);
    cv::integral(edge01, a.edgeSum, CV_64F);
    cv::integral(gray, a.graySum, a.graySqSum, CV_64F, CV_64F);
    {
        // Busy as check counts it: grey (R + G + B) / 3, central differences across and down.
        cv::Mat grey, dx, dy;
        cv::transform(picture, grey, cv::Matx13f(1.f / 3, 1.f / 3, 1.f / 3));
        grey.convertTo(grey, CV_32F);
        const cv::Mat kx = (cv::Mat_<float>(1, 3) << -1, 0, 1);
        cv::filter2D(grey, dx, CV_32F, kx, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        cv::filter2D(grey, dy, CV_32F, kx.t(), cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        const cv::Mat busy = (cv::abs(dx) + cv::abs(dy)) > pack::kBusyGradient;
        cv::Mat busy01;
        busy.convertTo(busy01, CV_8U, 1.0 / 255);
        cv::integral(busy01, a.busySum, CV_64F);
    }

    cv::Mat hsv;
    cv::cvtColor(bgrF, hsv, cv::COLOR_BGR2HSV);
    for (int y = 0; y < hsv.rows; ++y) {
        const auto* row = hsv.ptr<cv::Vec3f>(y);
        for (int x = 0; x < hsv.cols; ++x)
            if (row[x][1] >= 0.3f && row[x][2] >= 0.25f)
                a.hueShare[std::min(35, int(row[x][0] / 10.f))] += 1.0;
    }
    for (double& share : a.hueShare)
        share /= double(hsv.total());

    a.segments = findSegments(picture, lab, scale);
    cv::Mat blurred;
    picture.convertTo(blurred, CV_32FC3);
    cv::GaussianBlur(blurred, blurred, cv::Size(0, 0), 2.0);
    cv::resize(blurred, a.halfBlurred, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    return a;
}

double windowScore(const Analysis& a, const cv::Rect& window)
{
    // The centre counts most: an object in the middle of the square is what gets edited.
    const int inset = window.width / 5;
    const cv::Rect inner(window.x + inset, window.y + inset, window.width - 2 * inset,
                         window.height - 2 * inset);
    return 0.7 * windowMean(a.interestSum, inner) + 0.3 * windowMean(a.interestSum, window);
}

cv::Mat segmentInWindow(const Segment& segment, const cv::Rect& window)
{
    cv::Mat out = cv::Mat::zeros(window.size(), CV_8U);
    const cv::Rect part = segment.box & window;
    segment.mask(part - segment.box.tl()).copyTo(out(part - window.tl()));
    return out;
}

} // namespace generate::detail
