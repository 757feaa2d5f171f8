#include "generate/Internal.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/saliency.hpp>

#include <algorithm>
#include <cmath>
#include <string>

namespace generate {

namespace {
// Enlarging more than this makes the picture visibly soft, and soft pictures give edits away.
constexpr double kMaxUpscale = 1.5;
}

cv::Mat fitPhoto(const cv::Mat& photo)
{
    if (photo.empty() || photo.type() != CV_8UC3)
        throw GenerateError("not an 8-bit colour picture");

    const double aspect = double(kPictureWidth) / kPictureHeight;
    int cropW = photo.cols;
    int cropH = photo.rows;
    if (double(cropW) / cropH > aspect)
        cropW = int(std::lround(cropH * aspect));
    else
        cropH = int(std::lround(cropW / aspect));

    const int minW = int(std::ceil(kPictureWidth / kMaxUpscale));
    const int minH = int(std::ceil(kPictureHeight / kMaxUpscale));
    if (cropW < minW || cropH < minH)
        throw GenerateError("too small (" + std::to_string(photo.cols) + " x " + std::to_string(photo.rows)
                            + " pixels; needs at least " + std::to_string(minW) + " x " + std::to_string(minH)
                            + " at the picture's aspect ratio)");

    const cv::Rect crop((photo.cols - cropW) / 2, (photo.rows - cropH) / 2, cropW, cropH);
    cv::Mat fitted;
    const bool shrinking = cropW >= kPictureWidth;
    cv::resize(photo(crop), fitted, cv::Size(kPictureWidth, kPictureHeight), 0, 0,
               shrinking ? cv::INTER_AREA : cv::INTER_CUBIC);
    return fitted;
}

} // namespace generate

namespace generate::detail {

const LevelStyle& levelStyle(int level)
{
    // Easy: big squares and loud changes; Hard: a third of the side and changes that need a
    // second look, still above kMinVisiblePixels.
    static const LevelStyle styles[3] = {
        {70, 86, 110.f, 160.f, 1.40f, 1.55f, 0.62f, 0.70f, 500},
        {50, 60, 65.f, 100.f, 1.25f, 1.35f, 0.72f, 0.80f, 200},
        {34, 42, 38.f, 60.f, 1.16f, 1.24f, 0.80f, 0.86f, 70},
    };
    return styles[std::clamp(level, 1, 3) - 1];
}

double windowMean(const cv::Mat& integral, const cv::Rect& r)
{
    const double sum = integral.at<double>(r.y + r.height, r.x + r.width) - integral.at<double>(r.y, r.x + r.width)
        - integral.at<double>(r.y + r.height, r.x) + integral.at<double>(r.y, r.x);
    return sum / double(r.area());
}

Analysis analyse(const cv::Mat& picture)
{
    Analysis a;
    cv::Mat gray;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);

    // Edges at fixed thresholds, so a flat or blurred area stays edge-free however the rest
    // of the picture looks.
    cv::Mat smooth, edges;
    cv::GaussianBlur(gray, smooth, cv::Size(3, 3), 0);
    cv::Canny(smooth, edges, 50, 130);
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
    return a;
}

bool isTextured(const Analysis& a, const cv::Rect& window)
{
    const double edgeFraction = windowMean(a.edgeSum, window);
    const double mean = windowMean(a.graySum, window);
    const double variance = windowMean(a.graySqSum, window) - mean * mean;
    return edgeFraction >= 0.025 && variance >= 12.0 * 12.0;
}

double windowScore(const Analysis& a, const cv::Rect& window)
{
    // The centre counts most: an object in the middle of the square is what gets edited.
    const int inset = window.width / 5;
    const cv::Rect inner(window.x + inset, window.y + inset, window.width - 2 * inset, window.height - 2 * inset);
    return 0.7 * windowMean(a.interestSum, inner) + 0.3 * windowMean(a.interestSum, window);
}

cv::Mat objectMask(const cv::Mat& picture, const cv::Rect& window, bool* found)
{
    const cv::Rect bounds(0, 0, picture.cols, picture.rows);
    const int pad = window.width / 4;
    const cv::Rect roi = cv::Rect(window.x - pad, window.y - pad, window.width + 2 * pad, window.height + 2 * pad) & bounds;
    const int inset = window.width / 8;
    const cv::Rect seed(window.x + inset - roi.x, window.y + inset - roi.y, window.width - 2 * inset,
                        window.height - 2 * inset);

    cv::Mat gc(roi.size(), CV_8U, cv::Scalar(cv::GC_BGD));
    cv::Mat bgModel, fgModel;
    cv::grabCut(picture(roi), gc, seed, bgModel, fgModel, 3, cv::GC_INIT_WITH_RECT);
    cv::Mat fg = (gc == cv::GC_FGD) | (gc == cv::GC_PR_FGD);
    cv::Mat object = fg(cv::Rect(window.x - roi.x, window.y - roi.y, window.width, window.height)).clone();

    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5));
    cv::morphologyEx(object, object, cv::MORPH_OPEN, kernel);
    cv::morphologyEx(object, object, cv::MORPH_CLOSE, kernel);

    // Keep the component nearest the centre; GrabCut sometimes adds specks along the seed.
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(object, labels, stats, centroids, 8, CV_32S);
    int best = -1;
    double bestArea = 0;
    for (int i = 1; i < n; ++i) {
        const double area = stats.at<int>(i, cv::CC_STAT_AREA);
        const double dx = centroids.at<double>(i, 0) - window.width / 2.0;
        const double dy = centroids.at<double>(i, 1) - window.height / 2.0;
        const double weighted = area / (1.0 + std::hypot(dx, dy) / window.width);
        if (weighted > bestArea) {
            bestArea = weighted;
            best = i;
        }
    }
    const double fraction = best > 0 ? stats.at<int>(best, cv::CC_STAT_AREA) / double(window.area()) : 0.0;
    const bool sensible = best > 0 && fraction >= 0.06 && fraction <= 0.85;
    if (found)
        *found = sensible;
    if (sensible)
        return labels == best;

    cv::Mat ellipse(window.size(), CV_8U, cv::Scalar(0));
    cv::ellipse(ellipse, cv::Point(window.width / 2, window.height / 2),
                cv::Size(window.width * 3 / 10, window.height * 3 / 10), 0, 0, 360, cv::Scalar(255), cv::FILLED);
    return ellipse;
}

} // namespace generate::detail
