#pragma once
// The table of picture pairs, as the game reads it and the authoring tools write it: its name,
// its columns, the queries that open a level, and the size of its pictures (its rectangles' form
// and units are in DifferenceRect.h). The one home of these facts: the game, tavrello-pack, the
// generator and the editor all take them from here.

#include "DifferenceRect.h"

#include <array>

namespace format {

inline constexpr const char* kTable = "tblImages";

inline constexpr const char* kIdColumn = "id";
inline constexpr const char* kLevelColumn = "level";
inline constexpr const char* kOriginalColumn = "original_image";
inline constexpr const char* kModifiedColumn = "modified_image";

// Every pair has this many differences: four rectangles in its row, four places to find.
inline constexpr int kDifferenceCount = 4;

// The columns of difference k (0 to 3): left, top, right and bottom edge, both edges inclusive.
using DifferenceColumns = DifferenceRect<const char*>;
inline constexpr std::array<DifferenceColumns, kDifferenceCount> kDifferenceColumns{{
    {"loc1_x1", "loc1_y1", "loc1_x2", "loc1_y2"},
    {"loc2_x1", "loc2_y1", "loc2_x2", "loc2_y2"},
    {"loc3_x1", "loc3_y1", "loc3_x2", "loc3_y2"},
    {"loc4_x1", "loc4_y1", "loc4_x2", "loc4_y2"},
}};

// Levels 1 (Easy) to 3 (Hard). The query that opens a level, word for word as the game sends it:
// the level's pairs in ascending id order.
inline constexpr int kLevelCount = 3;
inline constexpr std::array<const char*, kLevelCount> kLevelQueries{
    "select * from tblImages where level=1 order by id",
    "select * from tblImages where level=2 order by id",
    "select * from tblImages where level=3 order by id",
};
// Whether pairs of this level are ever played: the game opens each level by an exact match, so a
// level of 0, 4 or 1.5 is stored but never shown.
constexpr bool isPlayedLevel(double level)
{
    return level >= 1 && level <= kLevelCount && double(int(level)) == level;
}
// The levels' names, as the game's difficulty buttons and the authoring tools say them.
inline constexpr std::array<const char*, kLevelCount> kLevelNames{"Easy", "Medium", "Hard"};

// The inner size of a picture box, in pixels: what a pair's pictures are shown in.
inline constexpr int kPictureWidth = 450;
inline constexpr int kPictureHeight = 459;

} // namespace format
