#pragma once

#include "generate/Internal.h"

#include <opencv2/core.hpp>
#include <random>

// The edits applyEdit dispatches to, one file per kind, and the small tools they share. Each
// edit changes `modified` inside `window` only and returns false, with the reason in the
// context, when it does not suit the thing.
namespace generate::detail {

float uniform(std::mt19937& rng, float lo, float hi);
bool coin(std::mt19937& rng);
// Records why an edit does not suit a window (for the trace) and returns false.
bool refuse(const EditContext& c, const char* why);
// The mask dilated by a disc of the given radius.
cv::Mat grow(const cv::Mat& mask, int radius);
// Lays source over the window of modified, pixel by pixel weighted by alpha (CV_32F, 0 keeps
// what was there, 1 takes the source).
void blendOver(cv::Mat& modified, const cv::Rect& window, const cv::Mat& source,
               const cv::Mat& alpha);
// Standard deviation of the picture's colours inside a mask, the largest of the channels.
double spread(const cv::Mat& picture, const cv::Mat& mask);
// A thing on an even ground that differs from it clearly: what can be taken up and set down.
bool standsOut(const EditContext& c, const cv::Rect& window, const cv::Mat& object);
// Pastes source over modified through the thing's own outline, softened by a pixel.
void pasteObject(const EditContext& c, const cv::Mat& source, const cv::Mat& outline,
                 cv::Mat& modified, const cv::Rect& window);
// Fills `hole` (window-sized mask) in `modified` with what could plausibly be behind it.
bool fillHole(const EditContext& c, const cv::Rect& window, const cv::Mat& hole, cv::Mat& modified);

bool removeObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                  cv::Mat& modified);
bool recolour(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
              cv::Mat& modified);
bool resizeObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                  cv::Mat& modified);
bool moveObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                cv::Mat& modified);
bool flipObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                cv::Mat& modified);
bool swapObject(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                cv::Mat& modified);
bool cloneDetail(const EditContext& c, const cv::Rect& window, const cv::Mat& object,
                 cv::Mat& modified);
bool addCopy(const EditContext& c, const cv::Rect& window, cv::Mat& modified);

} // namespace generate::detail
