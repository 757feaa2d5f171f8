// The generator's readings of its pictures as `tavrello-pack check` reads the stored pair: the
// pixels check counts as changed, a change's findability, its seam and whether it recolours a
// thing that can't take another colour. Through these the generator keeps only pairs check
// passes.
#include "generate/Internal.h"
#include "pack/CutRule.h"
#include "pack/Findability.h"
#include "pack/PerceptibleChange.h"
#include "pack/RecolourRule.h"
#include "pack/SeamMeasure.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace generate {
namespace detail {

// The picture's grey levels as check reads them, (R + G + B) / 3, for the seam and the
// clutter around a difference.
std::vector<float> greyLevels(const cv::Mat& picture)
{
    cv::Mat grey;
    cv::transform(picture, grey, cv::Matx13f(1.f / 3, 1.f / 3, 1.f / 3));
    cv::Mat greyF;
    grey.convertTo(greyF, CV_32F);
    return greyF.reshape(1, 1);
}

// The pixels `check` counts as changed on the stored pictures: those whose strongest channel
// difference, averaged over 3 x 3, exceeds pack::kChangeNoiseLevel (CV_8U, 255 where changed).
cv::Mat changedAsCheckSees(const cv::Mat& original, const cv::Mat& modified)
{
    cv::Mat diff;
    cv::absdiff(original, modified, diff);
    std::vector<cv::Mat> ch;
    cv::split(diff, ch);
    cv::Mat largest = cv::max(cv::max(ch[0], ch[1]), ch[2]), averaged;
    largest.convertTo(averaged, CV_32F);
    cv::blur(averaged, averaged, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REFLECT);
    return averaged > float(pack::kChangeNoiseLevel);
}

namespace {

// An 8-bit BGR pixel in HSV as check reads it: hue in degrees, none (-1) for a grey.
pack::HsvColour hsvOf(const cv::Vec3b& bgr)
{
    const int b = bgr[0], g = bgr[1], r = bgr[2];
    const int high = std::max({r, g, b}), low = std::min({r, g, b});
    if (high == low)
        return {-1.f, 0.f, float(high) / 255.f};
    const float span = float(high - low);
    float hue = high == r   ? 60.f * float(g - b) / span
                : high == g ? 60.f * (2.f + float(b - r) / span)
                            : 60.f * (4.f + float(r - g) / span);
    if (hue < 0)
        hue += 360.f;
    return {std::round(hue), span / float(high), float(high) / 255.f};
}

} // namespace

// check's reading of the change inside `rect` as a recolour (RecolourRule.h): what the thing
// looks like when it can't take another colour, or nullptr.
const char* recolouredAsCheckSees(const cv::Mat& original, const cv::Mat& modified,
                                  const cv::Mat& changed, const cv::Rect& rect)
{
    pack::RecolourReading reading;
    for (int y = rect.y; y < rect.y + rect.height; ++y)
        for (int x = rect.x; x < rect.x + rect.width; ++x)
            if (changed.at<uchar>(y, x))
                reading.add(hsvOf(original.at<cv::Vec3b>(y, x)),
                            hsvOf(modified.at<cv::Vec3b>(y, x)));
    return reading.naturalColour();
}

// check's reading of the change inside `rect` as a piece cut out of something (CutRule.h).
bool cutsAsCheckSees(const cv::Mat& original, const cv::Mat& modified, const cv::Mat& changed,
                     const cv::Rect& rect)
{
    CV_Assert(changed.isContinuous() && changed.type() == CV_8U);
    return pack::readCut(colourPixelsOf(original), colourPixelsOf(modified), changed.ptr<uchar>(),
                         {rect.x, rect.y, rect.width, rect.height})
        .cuts();
}

// The seam measure as `check` takes it on the stored pictures.
bool seamPassesCheck(const std::vector<float>& modifiedGrey, const cv::Mat& changed,
                     const cv::Rect& rect)
{
    CV_Assert(changed.isContinuous() && changed.type() == CV_8U);
    return pack::textureRatio(modifiedGrey, changed.ptr<uchar>(), changed.cols, changed.rows,
                              {rect.x, rect.y, rect.width, rect.height}) >= pack::kMinTextureRatio;
}

// How findable the change inside `rect` is, measured as check measures it on the stored
// pictures (see Findability.h).
pack::Findability findabilityOf(const cv::Mat& original, const cv::Mat& modified,
                                const cv::Rect& rect, const std::vector<float>& grey)
{
    const pack::SeamBox box{rect.x, rect.y, rect.width, rect.height};
    return pack::measureFindability(
        pack::perceptibleChange(colourPixelsOf(original), colourPixelsOf(modified), box), grey,
        original.cols, original.rows, box);
}

} // namespace detail

pack::ColourPixels colourPixelsOf(const cv::Mat& bgr)
{
    CV_Assert(bgr.type() == CV_8UC3);
    pack::ColourPixels p;
    p.data = bgr.data;
    p.width = bgr.cols;
    p.height = bgr.rows;
    p.bytesPerLine = bgr.step;
    p.bytesPerPixel = 3;
    p.red = 2;
    p.green = 1;
    p.blue = 0;
    return p;
}

cv::Mat perceptibleChange(const cv::Mat& a, const cv::Mat& b)
{
    CV_Assert(a.size() == b.size());
    std::vector<float> change =
        pack::perceptibleChange(colourPixelsOf(a), colourPixelsOf(b), {0, 0, a.cols, a.rows});
    return cv::Mat(a.rows, a.cols, CV_32F, change.data()).clone();
}

pack::Findability differenceFindability(const cv::Mat& original, const cv::Mat& modified,
                                        const cv::Rect& rect)
{
    return detail::findabilityOf(original, modified, rect, detail::greyLevels(original));
}

int perceptibleArea(const cv::Mat& a, const cv::Mat& b, double deltaE)
{
    return cv::countNonZero(perceptibleChange(a, b) > deltaE);
}

} // namespace generate
