#include "PairCheck.h"

#include "CutRule.h"
#include "RecolourRule.h"
#include "SeamMeasure.h"

#include <QBuffer>
#include <QColor>
#include <QImageReader>
#include <QSysInfo>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace pack {
namespace {

bool complete(const StoredRect& r)
{
    return !r.x1.isNull() && !r.y1.isNull() && !r.x2.isNull() && !r.y2.isNull();
}

unsigned bit(int k)
{
    return 1u << k;
}

QString label(int k)
{
    return QStringLiteral("difference %1").arg(k + 1);
}

// The pixels of a picture as 32-bit ARGB, the form pixel() gives them in, so the measures read
// every format alike.
QImage argbPixels(const QImage& picture)
{
    const QImage::Format format = picture.format();
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
               ? picture
               : picture.convertToFormat(QImage::Format_ARGB32);
}

ColourPixels colourPixelsOf(const QImage& argb)
{
    ColourPixels p;
    p.data = argb.constBits();
    p.width = argb.width();
    p.height = argb.height();
    p.bytesPerLine = std::size_t(argb.bytesPerLine());
    p.bytesPerPixel = 4;
    // 0xAARRGGBB as one word, in the machine's byte order.
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    p.red = littleEndian ? 2 : 1;
    p.green = littleEndian ? 1 : 2;
    p.blue = littleEndian ? 0 : 3;
    return p;
}

} // namespace

std::vector<float> perceptibleChange(const QImage& original, const QImage& modified,
                                     const QRect& area)
{
    const QImage a = argbPixels(original), b = argbPixels(modified);
    return perceptibleChange(colourPixelsOf(a), colourPixelsOf(b),
                             {area.x(), area.y(), area.width(), area.height()});
}

namespace {

// Pixels of `area` that a viewer sees change.
int perceptiblePixels(const QImage& original, const QImage& modified, const QRect& area)
{
    return countAbove(perceptibleChange(original, modified, area), kJustVisibleDeltaE);
}

std::vector<float> grey(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<float> out(std::size_t(rgb.width()) * std::size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            out[std::size_t(y) * std::size_t(rgb.width()) + std::size_t(x)] =
                float(qRed(row[x]) + qGreen(row[x]) + qBlue(row[x])) / 3.f;
    }
    return out;
}

// When the change inside `area` is a recolour of something that can't take another colour (see
// RecolourRule.h), what that thing looks like; nullptr otherwise.
const char* recolouredNaturalColour(const QImage& original, const QImage& modified,
                                    const QRect& area, const std::vector<bool>& changed, int w)
{
    const auto hsv = [](const QColor& c) {
        return HsvColour{float(c.hsvHue()), float(c.hsvSaturationF()), float(c.valueF())};
    };
    RecolourReading reading;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (changed[std::size_t(y) * std::size_t(w) + std::size_t(x)])
                reading.add(hsv(QColor::fromRgb(original.pixel(x, y))),
                            hsv(QColor::fromRgb(modified.pixel(x, y))));
    return reading.naturalColour();
}

// Whether the change inside `area` takes a piece out of a thing and leaves the ground beside
// it in the gap (CutRule.h).
bool cutsIntoSomething(const QImage& original, const QImage& modified,
                       const std::vector<bool>& changed, const QRect& area)
{
    const QImage a = argbPixels(original), b = argbPixels(modified);
    return readCut(colourPixelsOf(a), colourPixelsOf(b), changed,
                   {area.x(), area.y(), area.width(), area.height()})
        .cuts();
}

} // namespace

bool isUpright(const StoredRect& r)
{
    return complete(r) && is_lteq(r.x1.compare(r.x2)) && is_lteq(r.y1.compare(r.y2));
}

QRect pixelArea(const StoredRect& r)
{
    const format::DifferenceRect<int> pixels =
        format::coveredPixels(r.map(&store::FieldValue::toDouble));
    return QRect(QPoint(pixels.x1, pixels.y1), QPoint(pixels.x2, pixels.y2));
}

QImage decodePicture(const QByteArray& bytes, QString* problem)
{
    constexpr int kAllocationLimitMiB = 256;
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kAllocationLimitMiB);
    QImage image = reader.read();
    if (image.isNull() && problem)
        *problem = reader.errorString();
    return image;
}

std::vector<Finding> checkRectangles(const std::array<StoredRect, format::kDifferenceCount>& rects)
{
    std::vector<Finding> findings;
    for (int k = 0; k < format::kDifferenceCount; ++k) {
        const StoredRect& r = rects[k];
        if (!complete(r)) {
            findings.push_back({Finding::Error,
                                label(k) + ": a coordinate is Null, so it can never be found",
                                bit(k)});
            continue;
        }
        if (is_gt(r.x1.compare(r.x2)))
            findings.push_back(
                {Finding::Error, label(k) + ": x1 > x2, so it can never be found", bit(k)});
        if (is_gt(r.y1.compare(r.y2)))
            findings.push_back(
                {Finding::Error, label(k) + ": y1 > y2, so it can never be found", bit(k)});
    }
    for (int a = 0; a < format::kDifferenceCount; ++a) {
        for (int b = a + 1; b < format::kDifferenceCount; ++b) {
            if (!isUpright(rects[a]) || !isUpright(rects[b]))
                continue;
            const StoredRect& p = rects[a];
            const StoredRect& q = rects[b];
            if (is_lteq(p.x1.compare(q.x2)) && is_lteq(q.x1.compare(p.x2)) &&
                is_lteq(p.y1.compare(q.y2)) && is_lteq(q.y1.compare(p.y2)))
                findings.push_back(
                    {Finding::Warning,
                     QStringLiteral("differences %1 and %2 overlap: one press can find both")
                         .arg(a + 1)
                         .arg(b + 1),
                     bit(a) | bit(b)});
        }
    }
    return findings;
}

std::vector<bool> changedPixels(const QImage& original, const QImage& modified)
{
    const QImage a = original.convertToFormat(QImage::Format_RGB32);
    const QImage b = modified.convertToFormat(QImage::Format_RGB32);
    const int w = a.width();
    const int h = a.height();
    std::vector<int> diff(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            diff[std::size_t(y) * w + x] = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])),
                                                     std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                                                     std::abs(qBlue(pa[x]) - qBlue(pb[x]))});
        }
    }
    std::vector<bool> changed(diff.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int sum = 0;
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h) {
                        sum += diff[std::size_t(y + dy) * w + (x + dx)];
                        ++count;
                    }
            changed[std::size_t(y) * w + x] = sum > kChangeNoiseLevel * count;
        }
    }
    return changed;
}

std::vector<Finding> checkPictures(const QImage& original, const QImage& modified,
                                   const std::array<StoredRect, format::kDifferenceCount>& rects)
{
    std::vector<Finding> findings;
    if (original.size() != modified.size()) {
        findings.push_back(
            {Finding::Error, QStringLiteral("the pictures differ in size (%1 x %2 and %3 x %4)")
                                 .arg(original.width())
                                 .arg(original.height())
                                 .arg(modified.width())
                                 .arg(modified.height())});
        return findings;
    }
    const int w = original.width();
    const int h = original.height();
    if (w > format::kPictureWidth || h > format::kPictureHeight)
        findings.push_back({Finding::Warning,
                            QStringLiteral("the pictures (%1 x %2) are larger than the picture box "
                                           "(%3 x %4) and are cut off")
                                .arg(w)
                                .arg(h)
                                .arg(format::kPictureWidth)
                                .arg(format::kPictureHeight)});
    else if (w < format::kPictureWidth / 2 || h < format::kPictureHeight / 2)
        findings.push_back(
            {Finding::Warning,
             QStringLiteral("the pictures (%1 x %2) fill less than half the picture box "
                            "(%3 x %4)")
                 .arg(w)
                 .arg(h)
                 .arg(format::kPictureWidth)
                 .arg(format::kPictureHeight)});

    const QRect picture(0, 0, w, h);
    std::vector<QRect> areas;
    for (int k = 0; k < format::kDifferenceCount; ++k) {
        if (!isUpright(rects[k]))
            continue;
        if (!format::liesOnPicture(rects[k], w, h))
            findings.push_back({Finding::Error,
                                label(k) + QStringLiteral(" reaches outside the picture"), bit(k)});
        areas.push_back(pixelArea(rects[k]).intersected(picture));
    }

    const std::vector<bool> changed = changedPixels(original, modified);
    const std::vector<float> modifiedGrey = grey(modified);
    int k = 0;
    for (int i = 0; i < format::kDifferenceCount; ++i) {
        if (!isUpright(rects[i]))
            continue;
        const QRect& area = areas[std::size_t(k++)];
        int inside = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                inside += changed[std::size_t(y) * w + x] ? 1 : 0;
        if (inside < kNoiseChangedPixels)
            findings.push_back({Finding::Error,
                                label(i) + QStringLiteral(": nothing visibly changes inside it"),
                                bit(i)});
        else if (area.isValid() &&
                 perceptiblePixels(original, modified, area) < kJustVisibleMinimumPixels)
            findings.push_back(
                {Finding::Warning,
                 label(i) + QStringLiteral(": the change hardly shows when the pictures are seen "
                                           "whole (shuffled texture?)"),
                 bit(i)});
        else if (area.isValid() &&
                 textureRatio(modifiedGrey, changed, w, h,
                              {area.x(), area.y(), area.width(), area.height()}) < kMinTextureRatio)
            findings.push_back(
                {Finding::Warning,
                 label(i) + QStringLiteral(": the change is smoother than the picture around it "
                                           "(a smear or a painted-on blob?)"),
                 bit(i)});
        else if (const char* natural =
                     area.isValid() ? recolouredNaturalColour(original, modified, area, changed, w)
                                    : nullptr)
            findings.push_back(
                {Finding::Warning,
                 label(i) + QStringLiteral(": recolours what looks like %1, which then looks "
                                           "painted")
                                .arg(QLatin1String(natural)),
                 bit(i)});
        else if (area.isValid() && cutsIntoSomething(original, modified, changed, area))
            findings.push_back(
                {Finding::Warning,
                 label(i) + QStringLiteral(": cuts a piece out of something and fills the gap "
                                           "with the ground beside it, which looks edited"),
                 bit(i)});
    }

    // Where a rectangle can't be placed, nobody can say which changes it was meant to cover.
    if (int(areas.size()) < format::kDifferenceCount)
        return findings;
    QRect outsideBox;
    int outside = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!changed[std::size_t(y) * w + x])
                continue;
            const QPoint p(x, y);
            if (std::any_of(areas.begin(), areas.end(),
                            [&](const QRect& r) { return r.contains(p); }))
                continue;
            ++outside;
            outsideBox |= QRect(p, QSize(1, 1));
        }
    }
    if (outside >= kNoiseChangedPixels)
        findings.push_back({Finding::Error,
                            QStringLiteral("%1 changed pixels lie outside every difference, around "
                                           "x %2..%3, y %4..%5 (pixels)")
                                .arg(outside)
                                .arg(outsideBox.left())
                                .arg(outsideBox.right())
                                .arg(outsideBox.top())
                                .arg(outsideBox.bottom())});
    return findings;
}

DifferenceFindability
measureFindability(const QImage& original, const QImage& modified,
                   const std::array<StoredRect, format::kDifferenceCount>& rects)
{
    DifferenceFindability result;
    if (original.size() != modified.size() || original.isNull())
        return result;
    const QRect picture = original.rect();
    const std::vector<float> originalGrey = grey(original);
    for (int k = 0; k < format::kDifferenceCount; ++k) {
        if (!isUpright(rects[k]))
            continue;
        const QRect area = pixelArea(rects[k]).intersected(picture);
        if (!area.isValid())
            continue;
        result[std::size_t(k)] = pack::measureFindability(
            perceptibleChange(original, modified, area), originalGrey, picture.width(),
            picture.height(), {area.x(), area.y(), area.width(), area.height()});
    }
    return result;
}

std::vector<Finding> checkLevelFit(int level, const DifferenceFindability& findability,
                                   const std::vector<Finding>& pictureFindings)
{
    unsigned flagged = 0;
    for (const Finding& f : pictureFindings)
        flagged |= f.differences;
    std::vector<Finding> findings;
    if (!format::isPlayedLevel(level))
        return findings;
    const LevelFindability need = levelFindability(level);
    for (int k = 0; k < format::kDifferenceCount; ++k) {
        const std::optional<Findability>& f = findability[std::size_t(k)];
        if (!f || (flagged & bit(k)))
            continue; // the pixel checks have said what is wrong with it
        const int fits = fittingLevel(*f);
        if (fits > level && (f->changedArea < need.minArea || f->score < need.minScore))
            findings.push_back(
                {Finding::Warning,
                 label(k) +
                     QStringLiteral(": too hard to find for %1 (findability %2, %3 "
                                    "pixels plainly changed%4); it plays as %5")
                         .arg(QLatin1String(format::kLevelNames[std::size_t(level - 1)]))
                         .arg(qRound(f->score))
                         .arg(f->changedArea)
                         .arg(f->clutter >= 0.3 ? QStringLiteral(" on busy ground") : QString())
                         .arg(QLatin1String(format::kLevelNames[std::size_t(fits - 1)])),
                 bit(k)});
        else if (f->score > need.maxScore)
            findings.push_back(
                {Finding::Warning,
                 label(k) + QStringLiteral(": too plain for %1 (findability %2); it plays as %3")
                                .arg(QLatin1String(format::kLevelNames[std::size_t(level - 1)]))
                                .arg(qRound(f->score))
                                .arg(QLatin1String(format::kLevelNames[std::size_t(fits - 1)])),
                 bit(k)});
    }
    // Each difference may suit the level and the pair still not: a Medium pair needs one
    // difference that asks for a search, a Hard pair one that asks for more.
    std::vector<Findability> measured;
    for (int k = 0; k < format::kDifferenceCount; ++k)
        if (findability[std::size_t(k)] && !(flagged & bit(k)))
            measured.push_back(*findability[std::size_t(k)]);
    const int playsAs = pairPlaysAs(measured);
    if (findings.empty() && measured.size() == std::size_t(format::kDifferenceCount) &&
        playsAs < level)
        findings.push_back({Finding::Warning,
                            QStringLiteral("every difference plays as %1: too plain for %2")
                                .arg(QLatin1String(format::kLevelNames[std::size_t(playsAs - 1)]))
                                .arg(QLatin1String(format::kLevelNames[std::size_t(level - 1)]))});
    return findings;
}

} // namespace pack
