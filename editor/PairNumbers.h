#pragma once
// What an author edits on a pair: everything but its pictures. Undo keeps these before and after.

#include "pack/Manifest.h"

#include <array>

namespace editor {

struct PairNumbers
{
    qint32 id = 0;
    qint32 level = 1;
    std::array<pack::Difference, format::kDifferenceCount> differences;

    bool operator==(const PairNumbers& other) const
    {
        if (id != other.id || level != other.level)
            return false;
        for (std::size_t k = 0; k < differences.size(); ++k)
            if (differences[k].corners != other.differences[k].corners)
                return false;
        return true;
    }
};

// True when all four corners of a difference are known.
inline bool isComplete(const pack::Difference& d)
{
    for (const auto& c : d.corners)
        if (!c)
            return false;
    return true;
}

} // namespace editor
