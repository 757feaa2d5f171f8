#include "Sheet.h"

#include "AtomicFile.h"
#include "CommandArguments.h"
#include "CommandLine.h"
#include "InputError.h"
#include "Manifest.h"
#include "StoredPairs.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMap>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace pack {
namespace {

const char* kHelp =
    "Usage: tavrello-pack sheet DB|MANIFEST.json -o SHEET.png [--no-rectangles]\n\n"
    "Draws every pair of a database, or of the manifest of a pairs folder, into one PNG\n"
    "to look over before shipping: a row per pair in the order they are stored, headed\n"
    "\"pair ID (Easy|Medium|Hard)\", the original on the left and the modified picture on\n"
    "the right at the size the game shows them (in the 450 x 459 picture box; larger\n"
    "pictures cut off as the box cuts them). The four differences are outlined in\n"
    "magenta and numbered 1 to 4 on both pictures; under the pictures, each difference's\n"
    "findability as `check` measures it, e.g. \"1: 812 (1020 px, busy 12 %), plays as\n"
    "Easy\" (orange where it doesn't suit the pair's level), then `check`'s errors (red)\n"
    "and warnings (orange) for the pair.\n"
    "Pairs go down one column up to 30000 pixels, then into two columns; a sheet taller\n"
    "than that in two columns (about 110 pairs) is refused.\n\n"
    "  -o, --output SHEET.png  the picture to write (replaced when it exists)\n"
    "      --no-rectangles     leave out the outlines and numbers, to look for the\n"
    "                          differences first as a player would\n"
    "  -h, --help              show this help\n";

constexpr int kBoxWidth = format::kPictureWidth;
constexpr int kBoxHeight = format::kPictureHeight;
constexpr int kColumnWidth = 2 * kBoxWidth + sheet::kPictureGap;
// The number tag beside a difference's outline.
constexpr int kTagSize = 16;

const QColor kText(32, 32, 32);
const QColor kQuiet(112, 112, 112);
const QColor kErrorColour(198, 40, 40);
const QColor kWarningColour(214, 110, 0);
const QColor kBoxFrame(200, 200, 200);
const QColor kEmptyBox(236, 236, 236);

// ---- Reading the pairs ----

QString levelName(const std::optional<int>& level)
{
    if (!level)
        return QStringLiteral("level null");
    if (*level >= 1 && *level <= format::kLevelCount)
        return QLatin1String(format::kLevelNames[std::size_t(*level - 1)]);
    return QStringLiteral("level %1").arg(*level);
}

std::optional<QImage> decode(const std::optional<QByteArray>& bytes)
{
    if (!bytes)
        return std::nullopt;
    QImage image = decodePicture(*bytes);
    if (image.isNull())
        return std::nullopt;
    return image;
}

// Decodes one picture of a pair; what keeps it from being shown becomes a finding (a picture
// file that could not be read has one already).
std::optional<QImage> decodeChecked(const std::optional<QByteArray>& bytes, const QString& which,
                                    bool unreadable, std::vector<Finding>& findings)
{
    if (!bytes) {
        if (!unreadable)
            findings.push_back({Finding::Error, "the " + which + " picture is Null"});
        return std::nullopt;
    }
    std::optional<QImage> image = decode(bytes);
    if (!image)
        findings.push_back({Finding::Error, "the " + which + " picture doesn't decode"});
    return image;
}

// The pictures of a manifest's pair whose files could not be read.
struct UnreadablePictures
{
    bool original = false;
    bool modified = false;
};

// Everything `check` finds about a pair, and where its differences lie.
void checkPair(SheetPair& pair, const std::array<StoredRect, format::kDifferenceCount>& rects,
               UnreadablePictures unreadable = {})
{
    if (pair.level && !format::isPlayedLevel(*pair.level))
        pair.findings.push_back(
            {Finding::Warning,
             QStringLiteral("level %1 is never played (levels are 1 to 3)").arg(*pair.level)});
    const std::vector<Finding> rectFindings = checkRectangles(rects);
    pair.findings.insert(pair.findings.end(), rectFindings.begin(), rectFindings.end());
    for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
        if (isUpright(rects[k]))
            pair.differences[k] = pixelArea(rects[k]);

    const std::optional<QImage> original = decodeChecked(pair.original, QStringLiteral("original"),
                                                         unreadable.original, pair.findings);
    const std::optional<QImage> modified = decodeChecked(pair.modified, QStringLiteral("modified"),
                                                         unreadable.modified, pair.findings);
    if (!original || !modified)
        return;
    const std::vector<Finding> pictureFindings = checkPictures(*original, *modified, rects);
    pair.findings.insert(pair.findings.end(), pictureFindings.begin(), pictureFindings.end());
    pair.findability = measureFindability(*original, *modified, rects);
    if (pair.level) {
        const std::vector<Finding> fit = checkLevelFit(*pair.level, pair.findability);
        pair.findings.insert(pair.findings.end(), fit.begin(), fit.end());
    }
}

std::vector<SheetPair> readDatabasePairs(const QString& database)
{
    std::vector<SheetPair> pairs;
    forEachPair(database, [&](const PairRow& row) {
        const StoredPair numbers = row.numbers();
        SheetPair pair;
        pair.id = QString::fromStdString(numbers.id.toString());
        if (!numbers.level.isNull())
            pair.level = int(numbers.level.toDouble());
        pair.original = row.original();
        pair.modified = row.modified();
        checkPair(pair, numbers.differences);
        pairs.push_back(std::move(pair));
    });

    // Duplicate ids are known only once every row is read; they lead the pair's findings.
    QMap<QString, int> idCounts;
    for (const SheetPair& pair : pairs)
        ++idCounts[pair.id];
    for (SheetPair& pair : pairs)
        if (idCounts.value(pair.id) > 1)
            pair.findings.insert(pair.findings.begin(),
                                 {Finding::Error, QStringLiteral("id %1 is used by %2 pairs")
                                                      .arg(pair.id)
                                                      .arg(idCounts.value(pair.id))});
    return pairs;
}

std::optional<QByteArray> readPicture(const std::optional<QString>& path, const QString& which,
                                      std::vector<Finding>& findings)
{
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        findings.push_back({Finding::Error, QStringLiteral("the %1 picture %2 can't be read (%3)")
                                                .arg(which, *path, file.errorString())});
        return std::nullopt;
    }
    return file.readAll();
}

std::vector<SheetPair> readManifestPairs(const QString& path)
{
    const Manifest manifest = readManifest(path);
    // The corners as `build` stores them, so a manifest and its database look the same.
    const bool whole = manifest.coordinateType == CoordinateType::Long ||
                       manifest.coordinateType == CoordinateType::Integer;
    std::vector<SheetPair> pairs;
    for (const Pair& p : manifest.pairs) {
        SheetPair pair;
        pair.id = QString::number(p.id);
        pair.level = p.level;
        pair.original = readPicture(p.original, QStringLiteral("original"), pair.findings);
        pair.modified = readPicture(p.modified, QStringLiteral("modified"), pair.findings);
        std::array<StoredRect, format::kDifferenceCount> rects;
        for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
            rects[k] = storedRect(p.differences[k], whole);
        checkPair(pair, rects, {p.original && !pair.original, p.modified && !pair.modified});
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

// A manifest is JSON, an object; a database is anything else (its reader says when it isn't one).
bool looksLikeManifest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray start = file.read(64);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    return start.trimmed().startsWith('{');
}

// ---- Drawing ----

QFont sheetFont(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QString headingText(const SheetPair& pair)
{
    return QStringLiteral("pair %1 (%2)").arg(pair.id, levelName(pair.level));
}

// "1: 812 (1020 px, busy 12 %), plays as Easy".
QString findabilityText(int k, const std::optional<Findability>& f)
{
    if (!f)
        return QStringLiteral("%1: not measured").arg(k + 1);
    return QStringLiteral("%1: %2 (%3 px, busy %4 %), %5")
        .arg(k + 1)
        .arg(qRound(f->score))
        .arg(f->changedArea)
        .arg(qRound(f->clutter * 100))
        .arg(QStringLiteral("plays as ") + levelName(fittingLevel(*f)));
}

// The colour of a difference's line: that of the worst finding about it.
QColor differenceColour(const SheetPair& pair, int k)
{
    QColor colour = kText;
    for (const Finding& f : pair.findings) {
        if (!(f.differences & (1u << k)))
            continue;
        if (f.severity == Finding::Error)
            return kErrorColour;
        colour = kWarningColour;
    }
    return colour;
}

// Fills the ring of `width` pixels just inside `outer`.
void fillRing(QPainter& painter, const QRect& outer, int width, const QColor& colour)
{
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), width), colour);
    painter.fillRect(QRect(outer.left(), outer.bottom() - width + 1, outer.width(), width), colour);
    painter.fillRect(QRect(outer.left(), outer.top(), width, outer.height()), colour);
    painter.fillRect(QRect(outer.right() - width + 1, outer.top(), width, outer.height()), colour);
}

// The outline of a difference, as the ring of two pixels inside the returned rectangle: the
// difference's own edge pixels, so the line marks exactly what counts as a hit, and one pixel
// outside them; a dark pixel around it (drawnOutline) keeps it apart from light pictures.
// Nothing inside the difference but its edge is covered.
QRect outlineOf(const QRect& difference)
{
    return difference.adjusted(-1, -1, 1, 1);
}

QRect drawnOutline(const QRect& difference)
{
    return outlineOf(difference).adjusted(-1, -1, 1, 1);
}

// Where a difference's number goes: beside its outline, never on the change itself, preferably
// above its top-left corner and on no other outline; inside the corner only when nothing else
// fits in the box.
QRect tagPlace(const QRect& outline, const QRect& box, const std::vector<QRect>& outlines)
{
    const QSize size(kTagSize, kTagSize);
    const QRect candidates[] = {
        QRect(QPoint(outline.left(), outline.top() - kTagSize), size),
        QRect(QPoint(outline.left(), outline.bottom() + 1), size),
        QRect(QPoint(outline.left() - kTagSize, outline.top()), size),
        QRect(QPoint(outline.right() + 1, outline.top()), size),
        QRect(QPoint(outline.right() - kTagSize + 1, outline.top() - kTagSize), size),
        QRect(QPoint(outline.right() - kTagSize + 1, outline.bottom() + 1), size),
    };
    const auto free = [&](const QRect& place) {
        return std::none_of(outlines.begin(), outlines.end(),
                            [&](const QRect& o) { return o.intersects(place); });
    };
    for (const QRect& place : candidates)
        if (box.contains(place) && free(place))
            return place;
    for (const QRect& place : candidates)
        if (box.contains(place))
            return place;
    QRect inside(outline.topLeft() + QPoint(2, 2), size);
    inside.moveLeft(std::clamp(inside.left(), box.left(), box.right() - kTagSize + 1));
    inside.moveTop(std::clamp(inside.top(), box.top(), box.bottom() - kTagSize + 1));
    return inside;
}

void drawDifferences(QPainter& painter, const SheetPair& pair, const QRect& box)
{
    std::vector<QRect> outlines;
    for (const std::optional<QRect>& d : pair.differences)
        if (d)
            outlines.push_back(drawnOutline(d->translated(box.topLeft())));
    painter.save();
    painter.setClipRect(box);
    for (const std::optional<QRect>& d : pair.differences) {
        if (!d)
            continue;
        const QRect difference = d->translated(box.topLeft());
        fillRing(painter, drawnOutline(difference), 1, Qt::black);
        fillRing(painter, outlineOf(difference), 2, QColor::fromRgb(sheet::kRectangleColour));
    }
    painter.setFont(sheetFont(12, true));
    for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k) {
        if (!pair.differences[k])
            continue;
        const QRect tag =
            tagPlace(drawnOutline(pair.differences[k]->translated(box.topLeft())), box, outlines);
        painter.fillRect(tag, QColor::fromRgb(sheet::kRectangleColour));
        fillRing(painter, tag, 1, Qt::black);
        painter.setPen(Qt::black);
        painter.drawText(tag, Qt::AlignCenter, QString::number(k + 1));
    }
    painter.restore();
}

void drawPicture(QPainter& painter, const std::optional<QByteArray>& bytes, const QRect& box)
{
    painter.setPen(kBoxFrame);
    painter.drawRect(box.adjusted(-1, -1, 0, 0));
    const std::optional<QImage> image = decode(bytes);
    if (!image) {
        painter.fillRect(box, kEmptyBox);
        painter.setPen(kQuiet);
        painter.setFont(sheetFont(14));
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("no picture"));
        return;
    }
    painter.save();
    painter.setClipRect(box);
    painter.drawImage(box.topLeft(), *image);
    painter.restore();
}

void drawRow(QPainter& painter, const SheetPair& pair, QPoint at, bool rectangles)
{
    const QRect heading(at, QSize(kColumnWidth, sheet::kHeadingHeight));
    painter.setPen(kText);
    painter.setFont(sheetFont(16, true));
    painter.drawText(heading, Qt::AlignLeft | Qt::AlignVCenter, headingText(pair));
    painter.setPen(kQuiet);
    painter.setFont(sheetFont(12));
    const QRect originalBox(at + QPoint(0, sheet::kHeadingHeight), QSize(kBoxWidth, kBoxHeight));
    const QRect modifiedBox = originalBox.translated(kBoxWidth + sheet::kPictureGap, 0);
    painter.drawText(heading.adjusted(0, 0, -(kBoxWidth + sheet::kPictureGap), -4),
                     Qt::AlignRight | Qt::AlignBottom, QStringLiteral("original"));
    painter.drawText(heading.adjusted(kBoxWidth + sheet::kPictureGap, 0, 0, -4),
                     Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("modified"));

    drawPicture(painter, pair.original, originalBox);
    drawPicture(painter, pair.modified, modifiedBox);
    if (rectangles) {
        drawDifferences(painter, pair, originalBox);
        drawDifferences(painter, pair, modifiedBox);
    }

    // Differences 1 and 2 on the first line, 3 and 4 on the second; then one finding a line.
    painter.setFont(sheetFont(12));
    const QFontMetrics metrics(painter.font());
    int y = originalBox.bottom() + 1 + sheet::kTextGap;
    for (int k = 0; k < format::kDifferenceCount; ++k) {
        const QRect line(at.x() + (k % 2) * (kBoxWidth + sheet::kPictureGap),
                         y + (k / 2) * sheet::kLineHeight, kBoxWidth, sheet::kLineHeight);
        painter.setPen(differenceColour(pair, k));
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(findabilityText(k, pair.findability[std::size_t(k)]),
                                            Qt::ElideRight, kBoxWidth));
    }
    y += 2 * sheet::kLineHeight;
    for (const Finding& f : pair.findings) {
        const bool error = f.severity == Finding::Error;
        painter.setPen(error ? kErrorColour : kWarningColour);
        painter.drawText(QRect(at.x(), y, kColumnWidth, sheet::kLineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText((error ? "error: " : "warning: ") + f.text,
                                            Qt::ElideRight, kColumnWidth));
        y += sheet::kLineHeight;
    }
}

} // namespace

std::vector<SheetPair> readSheetPairs(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw InputError(path, "no such file");
    if (!info.isFile())
        throw InputError(path, "not a database or a manifest");
    return looksLikeManifest(path) ? readManifestPairs(path) : readDatabasePairs(path);
}

int sheetRowHeight(const SheetPair& pair)
{
    return sheet::kHeadingHeight + kBoxHeight + sheet::kTextGap +
           (2 + int(pair.findings.size())) * sheet::kLineHeight + sheet::kMargin;
}

std::optional<std::size_t> secondColumnStart(const std::vector<int>& rowHeights)
{
    // above[i]: the height of rows 0 to i - 1 with the margin above them.
    std::vector<int> above{sheet::kMargin};
    for (int h : rowHeights)
        above.push_back(above.back() + h);
    const std::size_t n = rowHeights.size();
    if (above[n] <= sheet::kMaxHeight)
        return n;
    std::optional<std::size_t> best;
    int bestHeight = sheet::kMaxHeight;
    for (std::size_t split = 1; split < n; ++split) {
        const int taller = std::max(above[split], sheet::kMargin + above[n] - above[split]);
        if (taller <= bestHeight) { // of equal splits, the one with the longer first column
            best = split;
            bestHeight = taller;
        }
    }
    return best;
}

QImage drawSheet(const std::vector<SheetPair>& pairs, bool rectangles, const QString& source)
{
    if (pairs.empty())
        throw InputError(source, "has no pairs to draw");
    std::vector<int> heights;
    for (const SheetPair& pair : pairs)
        heights.push_back(sheetRowHeight(pair));
    const std::optional<std::size_t> split = secondColumnStart(heights);
    if (!split)
        throw InputError(source, QStringLiteral("%1 pairs make a sheet taller than %2 pixels "
                                                "even in two columns")
                                     .arg(pairs.size())
                                     .arg(sheet::kMaxHeight));
    const bool twoColumns = *split < pairs.size();
    const auto columnHeight = [&](std::size_t from, std::size_t to) {
        return std::accumulate(heights.begin() + std::ptrdiff_t(from),
                               heights.begin() + std::ptrdiff_t(to), 0);
    };
    const int width =
        2 * sheet::kMargin + kColumnWidth + (twoColumns ? sheet::kColumnGap + kColumnWidth : 0);
    const int height =
        sheet::kMargin + std::max(columnHeight(0, *split), columnHeight(*split, pairs.size()));

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QPoint at(sheet::kMargin, sheet::kMargin);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (i == *split)
            at = QPoint(sheet::kMargin + kColumnWidth + sheet::kColumnGap, sheet::kMargin);
        drawRow(painter, pairs[i], at, rectangles);
        at.ry() += heights[i];
    }
    return image;
}

int runSheet(const QStringList& arguments)
{
    CommandArguments args("sheet", "a database or a manifest (sheet DB -o SHEET.png)", 1,
                          {{{"o", "output"}, "the picture to write", "SHEET.png"},
                           {"no-rectangles", "leave out the outlines and numbers"}});
    if (!args.parse(arguments)) {
        printOut(kHelp);
        return 0;
    }
    const QString source = args.operands()[0];
    const QString output = args.value("output");
    if (output.isEmpty())
        args.refuse("where to? give -o SHEET.png");
    // Also keeps a slip of the keyboard from writing the sheet over a database or a manifest.
    if (!output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        args.refuse("the sheet is a PNG: give -o a name ending in .png");
    // Text is drawn with Qt's fonts, which only a QGuiApplication brings (runCommandLine makes
    // one for this command); without it, drawing would crash.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw std::logic_error("drawing a sheet needs a QGuiApplication");

    const std::vector<SheetPair> pairs = readSheetPairs(source);
    const QImage image = drawSheet(pairs, !args.isSet("no-rectangles"), source);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        throw std::runtime_error("the sheet can't be encoded as PNG: " +
                                 writer.errorString().toStdString());
    writeWholeFile(output, png, true);
    printOut(QStringLiteral("%1: %2 pairs, %3 x %4 pixels\n")
                 .arg(output)
                 .arg(pairs.size())
                 .arg(image.width())
                 .arg(image.height()));
    return 0;
}

} // namespace pack
