#pragma once
// What makes a pair unfair or odd, found by looking at its numbers and comparing its pictures.

#include "Findability.h"
#include "format/PairTable.h"
// moc, which reads this header for the editor's windows, can't parse <compare> that the stored
// values need; it needs nothing from them.
#ifndef Q_MOC_RUN
#include "StoredPairs.h"
#endif

#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pack {

struct Finding
{
    enum Severity { Error, Warning };
    Finding(Severity severity_, QString text_, unsigned differences_ = 0)
        : severity(severity_), text(std::move(text_)), differences(differences_)
    {}
    Severity severity;
    QString text;
    // The differences the finding is about, bit k for difference k + 1; 0 for the whole pair.
    unsigned differences = 0;
};

// True when all four corners are there and neither pair of edges is crossed: the rectangles that
// can be placed on the pictures.
bool isUpright(const StoredRect& rect);

// The whole pixels an upright rectangle covers, both edges included.
QRect pixelArea(const StoredRect& rect);

// Checks of the rectangles alone: Null corners, inverted edges, overlaps.
std::vector<Finding> checkRectangles(const std::array<StoredRect, format::kDifferenceCount>& rects);

// Checks of the pictures against each other and against the rectangles. Rectangles with Null or
// inverted corners are left out of the pixel checks (checkRectangles reports them), and with one of
// them missing the changes outside the others are not judged either.
std::vector<Finding> checkPictures(const QImage& original, const QImage& modified,
                                   const std::array<StoredRect, format::kDifferenceCount>& rects);

// A stored picture decoded as the game's picture box would show it, whatever its format; a
// header that promises more pixels than any screen shows is refused before decoding. Null
// image when it doesn't decode, with the reader's reason in `problem` when given.
QImage decodePicture(const QByteArray& bytes, QString* problem = nullptr);

// Pixels that differ between two pictures of the same size by more than JPEG noise.
std::vector<bool> changedPixels(const QImage& original, const QImage& modified);

// How much each pixel of `area` changes to a viewer who sees the pictures whole: the colour
// difference (CIE Lab Delta E) averaged over the neighbourhood the eye blends
// (kViewingSigmaPixels), row by row.
std::vector<float> perceptibleChange(const QImage& original, const QImage& modified,
                                     const QRect& area);

// How findable each difference is (see Findability.h); nothing for a rectangle with Null or
// inverted corners, or when the pictures differ in size.
using DifferenceFindability = std::array<std::optional<Findability>, format::kDifferenceCount>;
DifferenceFindability
measureFindability(const QImage& original, const QImage& modified,
                   const std::array<StoredRect, format::kDifferenceCount>& rects);

// Warnings where the pair's level asks more (or, at Hard, less) of a difference than it gives:
// an Easy pair with a difference a player has to search for, a Hard one found at a glance.
// Differences that `pictureFindings` (what checkPictures found) already speak of are left out.
std::vector<Finding> checkLevelFit(int level, const DifferenceFindability& findability,
                                   const std::vector<Finding>& pictureFindings = {});

} // namespace pack
