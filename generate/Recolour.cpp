#include "generate/EditTools.h"
#include "pack/RecolourRule.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace generate::detail {

namespace {

cv::Scalar rimColour(const cv::Mat& picture, const cv::Rect& window)
{
    cv::Mat rim(window.size(), CV_8U, cv::Scalar(255));
    const int band = std::max(4, window.width / 10);
    rim(cv::Rect(band, band, window.width - 2 * band, window.height - 2 * band)).setTo(0);
    return cv::mean(picture(window), rim);
}

using pack::hueDistance;

// The object's hue, as check reads a recoloured thing's (pack::HueMean).
float objectHue(const cv::Mat& hsv, const cv::Mat& object)
{
    pack::HueMean mean;
    for (int y = 0; y < hsv.rows; ++y) {
        const auto* row = hsv.ptr<cv::Vec3f>(y);
        const uchar* inside = object.ptr<uchar>(y);
        for (int x = 0; x < hsv.cols; ++x)
            if (inside[x])
                mean.add(row[x][0], row[x][1]);
    }
    return mean.degrees();
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

} // namespace

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
    // Fur, skin and wood, leaves, water and sky in another hue look painted over; recolour
    // made things, which tend to be saturated.
    const float hue = objectHue(hsv, object);
    if (const char* natural = pack::naturalColourOf(hue, float(mean[1]), float(mean[2])))
        return refuse(c, (std::string("recolour: the colour of ") + natural).c_str());
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

} // namespace generate::detail
