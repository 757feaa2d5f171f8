#pragma once
// A pair as the editor holds it: its numbers, its two pictures, and what check found in it.

#include "PairNumbers.h"
#include "Picture.h"
#include "pack/PairCheck.h"

#include <vector>

namespace editor {

struct EditorPair
{
    PairNumbers numbers;
    Picture original;
    Picture modified;
    // check's findings on the pictures and rectangles; valid when `checked`.
    std::vector<pack::Finding> findings;
    // How findable each difference is, measured with the findings.
    pack::DifferenceFindability findability;
    bool checked = false;
};

} // namespace editor
