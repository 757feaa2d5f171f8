#include "generate/EditTools.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace generate::detail {

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

} // namespace generate::detail
