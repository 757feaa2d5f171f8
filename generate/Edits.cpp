#include "generate/EditTools.h"

#include <opencv2/imgproc.hpp>

namespace generate::detail {

double outlineSharpness(const cv::Mat& picture, const cv::Mat& object)
{
    cv::Mat gray, gx, gy, magnitude;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(gray, gray, cv::Size(3, 3), 0);
    cv::Sobel(gray, gx, CV_32F, 1, 0);
    cv::Sobel(gray, gy, CV_32F, 0, 1);
    cv::magnitude(gx, gy, magnitude);
    // The strongest gradient across the outline, within two pixels of it either way: a
    // segment's outline may lie a pixel or two off the edge it follows.
    cv::dilate(magnitude, magnitude, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    cv::Mat inner;
    cv::erode(object, inner, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    const cv::Mat outline = object & ~inner;
    if (cv::countNonZero(outline) == 0)
        return 0.0;
    return cv::mean(magnitude, outline)[0];
}

double rimTouch(const cv::Mat& object)
{
    cv::Mat rim(object.size(), CV_8U, cv::Scalar(255));
    rim(cv::Rect(2, 2, object.cols - 4, object.rows - 4)).setTo(0);
    return cv::countNonZero(object & rim) / double(cv::countNonZero(rim));
}

bool applyEdit(EditKind kind, const EditContext& context, const cv::Rect& window,
               const cv::Mat& object, cv::Mat& modified)
{
    if (context.plainWindow)
        return kind == EditKind::Clone ? addCopy(context, window, modified)
                                       : refuse(context, "plain ground takes only a copy");
    if (rimTouch(object) > kMaxRimTouch)
        return refuse(context, "cut out of something larger");
    // A thing with a soft outline (a cloud, a glow, a patch of shade) changed or taken away
    // leaves a smudge.
    if (outlineSharpness(context.original(window), object) < kMinOutlineSharpness)
        return refuse(context, "soft outline");
    switch (kind) {
    case EditKind::Remove:
        return removeObject(context, window, object, modified);
    case EditKind::Recolour:
        return recolour(context, window, object, modified);
    case EditKind::Clone:
        return swapObject(context, window, object, modified) ||
               cloneDetail(context, window, object, modified);
    case EditKind::Resize:
        return resizeObject(context, window, object, modified);
    case EditKind::Move:
        return moveObject(context, window, object, modified);
    case EditKind::Flip:
        return flipObject(context, window, object, modified);
    }
    return false;
}

} // namespace generate::detail
