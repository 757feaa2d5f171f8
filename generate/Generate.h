#pragma once

#include "format/DifferenceRect.h"
#include "format/PairTable.h"
#include "pack/Findability.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <opencv2/core.hpp>
#include <stdexcept>
#include <vector>

// Makes a spot-the-difference pair from one photo: fits it to the picture box, picks four
// detailed regions, edits each one in the right-hand picture and measures where the pictures
// really differ once both are JPEG files.
namespace generate {

inline constexpr int kJpegQuality = 92;

// A decoded pixel counts as changed when one of its channels moved by more than this. Two JPEG
// encodings of the same pixels differ only in the 16 x 16 blocks that also hold edited pixels,
// and there by a few levels; this keeps that noise from inflating the rectangles.
inline constexpr int kJpegTolerance = 16;
// A change a careful eye can see: this many pixels moved by at least kVisibleDelta.
inline constexpr int kVisibleDelta = 28;
inline constexpr int kMinVisiblePixels = 40;
// Smallest rectangle side the game gets, in pixels; smaller ones are hard to click.
inline constexpr int kMinRectSide = 20;

// Refusals worth one line on stderr: unreadable, too small or too flat photos, bad options.
class GenerateError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// Thrown out of generatePair when its progress callback asks it to stop.
class GenerateCancelled : public GenerateError
{
  public:
    GenerateCancelled() : GenerateError("cancelled") {}
};

// Told each time the generator tries a place for a difference: differences placed so far in the
// current attempt (0 to 4) and the attempt's number (from 1; 0 while the picture is being
// analysed, before the first attempt). Returning false stops it.
using GenerateProgress = std::function<bool(int placed, int attempt)>;

// Flip turns one whole thing to face the other way.
enum class EditKind { Remove, Recolour, Clone, Resize, Move, Flip };
const char* editKindName(EditKind kind);

struct Difference
{
    cv::Rect rect; // pixels, in the picture box
    EditKind kind;
};

struct Pair
{
    int level = 1;
    std::vector<uchar> originalJpeg; // the bytes written to disk
    std::vector<uchar> modifiedJpeg;
    std::vector<Difference> differences;
};

// Photos above this many pixels are refused before they are decoded.
inline constexpr double kMaxPhotoPixels = 100e6;
// Reads a photo as 8-bit BGR. Throws GenerateError for a picture over kMaxPhotoPixels (told by
// its header, before decoding) or one that can't be decoded.
cv::Mat readPhoto(const QString& path);

// Crops the photo to the picture box's aspect ratio around its centre and scales it to
// 450 x 459. Shrinks with area averaging; enlarges at most 1.6x (a crop of at least 282 x 287),
// beyond which the picture goes soft enough to give edits away; smaller photos throw.
cv::Mat fitPhoto(const cv::Mat& photo);

// Makes the pair from an already fitted picture (8-bit BGR, 450 x 459). Level 1 Easy,
// 2 Medium, 3 Hard. The same picture, level and seed always give the same bytes.
// Throws GenerateError when four fair differences cannot be placed (a flat picture); it gives
// up after a bounded number of tries, so a refusal takes a few seconds at most.
// The progress callback, when given, is called on the generator's thread; it does not change
// what comes out.
Pair generatePair(const cv::Mat& picture, int level, std::uint32_t seed,
                  const GenerateProgress& progress = {});

// The rectangles around the changed pixels of two same-size pictures, one per zone: the bounding
// box of pixels differing by more than kJpegTolerance inside the zone, grown by a small margin
// and to at least kMinRectSide. Throws GenerateError when a changed pixel lies outside every
// zone or a zone holds no change.
std::vector<cv::Rect> measureDifferences(const cv::Mat& original, const cv::Mat& modified,
                                         const std::vector<cv::Rect>& zones);

// Pixels whose largest channel difference exceeds the threshold (CV_8U, 255 where changed).
cv::Mat changedPixels(const cv::Mat& a, const cv::Mat& b, int threshold);

// An OpenCV picture (CV_8UC3, BGR) as the shared measures read it; no copy.
pack::ColourPixels colourPixelsOf(const cv::Mat& bgr);
// How much each pixel of two same-size pictures differs to a viewer who sees them whole
// (pack::perceptibleChange; CV_32F, Delta E).
cv::Mat perceptibleChange(const cv::Mat& a, const cv::Mat& b);
// Pixels of that measure above deltaE.
int perceptibleArea(const cv::Mat& a, const cv::Mat& b, double deltaE);

// How findable the change inside `rect` (pixels) is, measured as `tavrello-pack check` measures
// it on the stored pair.
pack::Findability differenceFindability(const cv::Mat& original, const cv::Mat& modified,
                                        const cv::Rect& rect);

// Pixel rectangle to the manifest's inclusive twip corners.
format::DifferenceRect<int> toTwips(const cv::Rect& pixels);

// `tavrello-pack generate PHOTO --level N --out DIR [--seed S] [--id I]`; args are what
// follows the word "generate". Writes DIR/<id>-original.jpg, DIR/<id>-modified.jpg and the
// pair's entry in DIR/manifest.json (replacing an entry with the same id). Reports as every
// tavrello-pack command does (pack::runCommand): 0 on success, 2 with one line on stderr on bad
// input (and then writes nothing), 1 when writing fails. Without --seed the seed is 1; without
// --id the next free id in the manifest.
int runGenerate(const QStringList& args);

} // namespace generate
