#include "PairCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pack {
namespace {

// A pixel counts as changed when the strongest colour channel differs, averaged over its 3 x 3
// neighbourhood, by more than this: JPEG's ringing at quality 85 and above stays well below,
// while a change a player can see lies well above.
constexpr int kNoiseLevel = 22;
// Fewer changed pixels than this are noise, not a difference a player can find.
constexpr int kVisibleChange = 12;

bool complete(const StoredRect& r)
{
    return std::all_of(r.corners.begin(), r.corners.end(),
                       [](const auto& c) { return c.has_value(); });
}

bool upright(const StoredRect& r)
{
    return complete(r) && *r.corners[0] <= *r.corners[2] && *r.corners[1] <= *r.corners[3];
}

// The pixels a rectangle covers: pixel i spans twips 15 i to 15 i + 14.
QRect pixelRect(const StoredRect& r)
{
    const auto px = [](double twips) { return int(std::floor(twips / 15.0)); };
    return QRect(QPoint(px(*r.corners[0]), px(*r.corners[1])),
                 QPoint(px(*r.corners[2]), px(*r.corners[3])));
}

QString label(int k)
{
    return QStringLiteral("difference %1").arg(k + 1);
}

} // namespace

std::vector<Finding> checkRectangles(const std::array<StoredRect, 4>& rects)
{
    std::vector<Finding> findings;
    for (int k = 0; k < 4; ++k) {
        const StoredRect& r = rects[k];
        if (!complete(r)) {
            findings.push_back(
                {Finding::Error, label(k) + ": a coordinate is Null, so it can never be found"});
            continue;
        }
        if (*r.corners[0] > *r.corners[2])
            findings.push_back({Finding::Error, label(k) + ": x1 > x2, so it can never be found"});
        if (*r.corners[1] > *r.corners[3])
            findings.push_back({Finding::Error, label(k) + ": y1 > y2, so it can never be found"});
    }
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            if (!upright(rects[a]) || !upright(rects[b]))
                continue;
            const auto& p = rects[a].corners;
            const auto& q = rects[b].corners;
            if (*p[0] <= *q[2] && *q[0] <= *p[2] && *p[1] <= *q[3] && *q[1] <= *p[3])
                findings.push_back(
                    {Finding::Warning,
                     QStringLiteral("differences %1 and %2 overlap: one press can find both")
                         .arg(a + 1)
                         .arg(b + 1)});
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
            changed[std::size_t(y) * w + x] = sum > kNoiseLevel * count;
        }
    }
    return changed;
}

std::vector<Finding> checkPictures(const QImage& original, const QImage& modified,
                                   const std::array<StoredRect, 4>& rects)
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
    if (w > kBoxWidth || h > kBoxHeight)
        findings.push_back({Finding::Warning,
                            QStringLiteral("the pictures (%1 x %2) are larger than the picture box "
                                           "(%3 x %4) and are cut off")
                                .arg(w)
                                .arg(h)
                                .arg(kBoxWidth)
                                .arg(kBoxHeight)});
    else if (w < kBoxWidth / 2 || h < kBoxHeight / 2)
        findings.push_back(
            {Finding::Warning,
             QStringLiteral("the pictures (%1 x %2) fill less than half the picture box "
                            "(%3 x %4)")
                 .arg(w)
                 .arg(h)
                 .arg(kBoxWidth)
                 .arg(kBoxHeight)});

    const QRect picture(0, 0, w, h);
    std::vector<QRect> areas;
    for (int k = 0; k < 4; ++k) {
        if (!upright(rects[k]))
            continue;
        const QRect area = pixelRect(rects[k]);
        if (*rects[k].corners[0] < 0 || *rects[k].corners[1] < 0 ||
            *rects[k].corners[2] > w * 15.0 || *rects[k].corners[3] > h * 15.0)
            findings.push_back(
                {Finding::Error, label(k) + QStringLiteral(" reaches outside the picture")});
        areas.push_back(area.intersected(picture));
    }

    const std::vector<bool> changed = changedPixels(original, modified);
    int k = 0;
    for (int i = 0; i < 4; ++i) {
        if (!upright(rects[i]))
            continue;
        const QRect& area = areas[std::size_t(k++)];
        int inside = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                inside += changed[std::size_t(y) * w + x] ? 1 : 0;
        if (inside < kVisibleChange)
            findings.push_back(
                {Finding::Error, label(i) + QStringLiteral(": nothing visibly changes inside it")});
    }

    // Where a rectangle can't be placed, nobody can say which changes it was meant to cover.
    if (int(areas.size()) < 4)
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
    if (outside >= kVisibleChange)
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

} // namespace pack
