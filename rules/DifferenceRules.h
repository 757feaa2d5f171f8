#pragma once
// The rules of a picture, apart from any window: when a press finds a difference, and when the
// picture is solved. The handlers of the game window call these; tests call them directly.

#include "format/PairTable.h"
#include "store/FieldValue.h"

#include <array>

namespace rules {

// The stored edges of one difference, in twips, both inclusive; any of them may be Null.
using DifferenceEdges = format::DifferenceRect<store::FieldValue>;

// True when the press at (x, y) twips lies within the edges. The stored numbers are compared
// exactly with the press, so an edge on a fraction of a twip is honoured; a Null edge compares as
// unordered and so never hits.
bool PressHits(const DifferenceEdges& edges, float x, float y);

// A picture is solved when all four of its differences have been found.
bool PictureSolved(const std::array<bool, format::kDifferenceCount>& found);

} // namespace rules
