#pragma once
// tavrello-pack sheet: every pair of a database or a pairs folder drawn into one PNG for an
// author to look over: both pictures at the size the game shows them, the four differences
// outlined and numbered, and how findable each one is. Seeing a pair tells what the numbers of
// `check` can't: whether a change is a fair one to look for.

#include "PairCheck.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace pack {

// One pair as the sheet shows it, checked as `check` checks it.
struct SheetPair
{
    QString id;               // as stored; "null" for a Null id
    std::optional<int> level; // nullopt when Null
    // The encoded pictures; nullopt when Null or unreadable (a finding says why). Kept encoded
    // and decoded again for drawing, so a large database is not held in memory as pixels.
    std::optional<QByteArray> original;
    std::optional<QByteArray> modified;
    // Each difference in pixels, both edges included; nullopt when a corner is Null or the
    // edges are inverted (a finding says which).
    std::array<std::optional<QRect>, format::kDifferenceCount> differences;
    DifferenceFindability findability;
    std::vector<Finding> findings;
};

// The sheet's geometry, in pixels. A row is a heading, the two picture boxes side by side, two
// lines of findability (differences 1 and 2, then 3 and 4) and one line per finding.
namespace sheet {
inline constexpr int kMargin = 16;        // around the sheet, and below every row
inline constexpr int kHeadingHeight = 28; // the line "pair 7 (Easy)" above the pictures
inline constexpr int kPictureGap = 24;    // between the original's box and the modified's
inline constexpr int kTextGap = 6;        // between the boxes and the text under them
inline constexpr int kLineHeight = 18;    // a line of findability or of a finding
inline constexpr int kColumnGap = 48;     // between two columns of pairs
// Sheets grow down one column of pairs up to this height, then go into two columns; taller
// than this in two columns, a sheet is refused (it would take hundreds of megabytes).
inline constexpr int kMaxHeight = 30000;
// The outline of a difference and the tag of its number: a colour photos rarely have.
inline constexpr QRgb kRectangleColour = 0xffff00ff;
} // namespace sheet

// Reads the pairs of a database (through the store the game reads with) or of a manifest (a file
// that starts with '{', pictures beside it) and checks them. Throws InputError when the file
// can't be read as either.
std::vector<SheetPair> readSheetPairs(const QString& path);

// The height of a pair's row on the sheet.
int sheetRowHeight(const SheetPair& pair);

// Where the second column of pairs starts: rowHeights.size() when one column fits within
// sheet::kMaxHeight, else the split that keeps the taller of two columns shortest; nullopt when
// even that one is taller than sheet::kMaxHeight.
std::optional<std::size_t> secondColumnStart(const std::vector<int>& rowHeights);

// Draws the sheet; without `rectangles`, the pictures alone, for an author who first looks for
// the differences as a player would. Throws InputError naming `source` when the pairs don't fit
// in two columns.
QImage drawSheet(const std::vector<SheetPair>& pairs, bool rectangles, const QString& source);

int runSheet(const QStringList& arguments);

} // namespace pack
